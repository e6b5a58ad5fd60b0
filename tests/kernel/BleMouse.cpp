// halvern-ble: the virtual mouse's firmware as a Bluetooth LE mouse. Run as root in
// the test guest beside BlueZ's controller emulator, it takes one emulated controller
// for itself (HciLink) and is, on it, what a real mouse is on its radio: it
// advertises, accepts the host's connection, pairs (Just Works) and bonds, and serves
// GATT: GAP, a Device Information service whose PnP ID names the mouse, a HID
// service (so that bluetoothd makes it an input device, the hidraw node halvern
// finds it by) and the mouse's own service, whose command characteristic (...fee3...)
// the firmware receives and whose event characteristic (...fee4...) notifies what the
// firmware raises. The firmware is the VirtualMouse of HALVERN_EMULATOR and
// halvern-uhid.
//
// One command per line on standard input, one answer line ("ok ..." or "error: ...")
// on standard output:
//   state                        "ok STATE ADDRESS": advertising, connected or encrypted,
//                                and the address the mouse is reached at
//   dpi | polling MS | battery LEVEL STATUS | light EFFECT    what a user does on the mouse
//   disconnect                   the mouse ends the connection, then advertises again
//   refuse on|off                writes to the command characteristic are answered
//                                with an ATT error (the firmware never sees them)
//   quit
// Every value written to the command characteristic is appended to --log FILE as a
// lowercase hex line, in arrival order.
//   halvern-ble [--hci N] [--log FILE]      controller hciN, 1 unless told
#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "GattServer.h"
#include "HciLink.h"
#include "LeSecurity.h"
#include "Scheduler.h"
#include "UhidDevice.h"
#include "VirtualMouse.h"
#include "device/DeviceEvent.h"
#include "device/DeviceNames.h"
#include "protocol/Clock.h"

namespace halvern::kernel {

namespace {

constexpr char kName[] = "halvern virtual mouse";
constexpr std::uint16_t kAppearanceMouse = 0x03C2;

std::string Hex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    for (std::uint8_t b : bytes) {
        s.push_back(kDigits[b >> 4]);
        s.push_back(kDigits[b & 0xF]);
    }
    return s;
}

std::vector<std::uint8_t> Le16(std::uint16_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}

// Flags (LE general discoverable, no BR/EDR), the HID service, the appearance of a
// mouse; the name in the scan response.
HciLink::Advertisement MouseAdvertisement() {
    HciLink::Advertisement a;
    a.data = {0x02, 0x01, 0x06, 0x03, 0x02, 0x12, 0x18, 0x03, 0x19};
    const auto appearance = Le16(kAppearanceMouse);
    a.data.insert(a.data.end(), appearance.begin(), appearance.end());
    a.response = {static_cast<std::uint8_t>(1 + std::strlen(kName)), 0x09};
    a.response.insert(a.response.end(), kName, kName + std::strlen(kName));
    return a;
}

// Single-threaded: the firmware acknowledges at once and its scheduler never runs, so
// it calls back only from within a write and the user's actions, on this thread.
class Mouse {
public:
    explicit Mouse(std::FILE* log) : scheduler_(clock_), firmware_(scheduler_), log_(log) {
        firmware_.setEventSink([this](Link link, DeviceEvent e) {
            if (link == Link::Ble) pending_.push_back(e);
        });
        firmware_.setReceiveLog([this](std::span<const std::uint8_t> b) {
            if (!log_) return;
            std::fprintf(log_, "%s\n", Hex(b).c_str());
            std::fflush(log_);
        });
        buildTable();
    }

    bool open(int index, std::string& error);
    int run();

private:
    void buildTable();
    std::string command(const std::string& line);
    void received(std::uint16_t channel, std::span<const std::uint8_t> payload);
    void flushEvents();

    SteadyClock clock_;
    emu::Scheduler scheduler_;
    emu::VirtualMouse firmware_;
    std::FILE* log_;
    GattServer gatt_;
    SmpResponder smp_;
    HciLink radio_;
    std::uint16_t eventHandle_ = 0;
    bool refuse_ = false;
    std::deque<DeviceEvent> pending_;  // raised by the firmware, notified once the write is answered
};

void Mouse::buildTable() {
    using namespace gatt;
    gatt_.addService(0x1800);  // GAP
    gatt_.addCharacteristic(0x2A00, kRead, std::vector<std::uint8_t>(kName, kName + std::strlen(kName)));
    gatt_.addCharacteristic(0x2A01, kRead, Le16(kAppearanceMouse));
    gatt_.addService(0x1801);  // GATT: service changed, never indicated (the table never changes)
    gatt_.addCharacteristic(0x2A05, kIndicate, {0x01, 0x00, 0xFF, 0xFF});
    gatt_.addService(0x180A);  // Device Information: PnP ID, vendor id from the USB-IF
    std::vector<std::uint8_t> pnp{0x02};
    for (std::uint16_t v : {kBleVendorId, kBleProductId, std::uint16_t{0x0001}}) {
        const auto b = Le16(v);
        pnp.insert(pnp.end(), b.begin(), b.end());
    }
    gatt_.addCharacteristic(0x2A50, kRead, pnp);
    gatt_.addService(0x1812);                                          // HID: the pointer
    gatt_.addCharacteristic(0x2A4A, kRead, {0x11, 0x01, 0x00, 0x02});  // HID 1.11, normally connectable
    gatt_.addCharacteristic(0x2A4B, kRead, PointerDescriptor());
    gatt_.addCharacteristic(0x2A4D, kRead | kNotify, {0x00, 0x00, 0x00});
    gatt_.addDescriptor(0x2908, {kPointerReportId, 0x01});  // report reference: input
    gatt_.addCharacteristic(0x2A4C, kWriteWithoutResponse, {0x00});
    gatt_.addCharacteristic(0x2A4E, kRead | kWriteWithoutResponse, {0x01});  // report protocol
    gatt_.addService(0xFEE0);                                                // the mouse's own
    gatt_.addCharacteristic(0xFEE3, kWrite, {}, [this](std::span<const std::uint8_t> value) -> std::uint8_t {
        if (refuse_) return att::kApplicationError;
        // What the firmware makes of the command it says in its acknowledgement; the
        // write itself succeeds.
        firmware_.receive(Link::Ble, value);
        return 0;
    });
    eventHandle_ = gatt_.addCharacteristic(0xFEE4, kNotify, {});
}

bool Mouse::open(int index, std::string& error) {
    HciLink::Handlers h;
    h.connected = [this](const LeAddress& host, const LeAddress& self) {
        std::fprintf(stderr, "halvern-ble: connected\n");
        smp_.connected(host, self);
    };
    h.disconnected = [this](std::uint8_t reason) {
        std::fprintf(stderr, "halvern-ble: disconnected (reason %02x)\n", reason);
        gatt_.disconnected();
        pending_.clear();
    };
    h.received = [this](std::uint16_t channel, std::span<const std::uint8_t> payload) { received(channel, payload); };
    h.keyRequested = [this](std::uint16_t ediv, std::uint64_t rand) {
        std::optional<Block> key = smp_.keyFor(ediv, rand);
        if (!key) std::fprintf(stderr, "halvern-ble: no key for the host's EDIV %04x\n", ediv);
        return key;
    };
    h.encrypted = [this] {
        std::fprintf(stderr, "halvern-ble: encrypted\n");
        for (const auto& pdu : smp_.encryptionStarted()) radio_.send(l2cap::kSmpChannel, pdu);
    };
    return radio_.open(index, MouseAdvertisement(), std::move(h), error);
}

void Mouse::received(std::uint16_t channel, std::span<const std::uint8_t> payload) {
    if (channel == l2cap::kAttChannel) {
        if (std::optional<GattServer::Pdu> answer = gatt_.receive(payload)) radio_.send(channel, *answer);
        flushEvents();
    } else if (channel == l2cap::kSmpChannel) {
        for (const auto& pdu : smp_.receive(payload)) radio_.send(channel, pdu);
    }
}

void Mouse::flushEvents() {
    while (!pending_.empty()) {
        const DeviceEvent e = pending_.front();
        pending_.pop_front();
        const std::uint8_t value[4] = {static_cast<std::uint8_t>(e.head), static_cast<std::uint8_t>(e.head >> 8),
                                       e.valueLow(), e.valueHigh()};
        // A mouse nobody listens to says nothing.
        if (std::optional<GattServer::Pdu> n = gatt_.notification(eventHandle_, value))
            radio_.send(l2cap::kAttChannel, *n);
    }
}

std::string Mouse::command(const std::string& line) {
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    int a = 0, b = 0;
    if (verb == "state") {
        const char* state = !radio_.connected() ? "advertising" : radio_.encrypted() ? "encrypted" : "connected";
        const auto& addr = radio_.address().bytes;
        char text[64];
        std::snprintf(text, sizeof text, "ok %s %02X:%02X:%02X:%02X:%02X:%02X", state, addr[5], addr[4], addr[3],
                      addr[2], addr[1], addr[0]);
        return text;
    } else if (verb == "disconnect") {
        return radio_.disconnect() ? "ok" : "error: not connected";
    } else if (verb == "refuse") {
        std::string how;
        in >> how;
        if (how != "on" && how != "off") return "error: refuse on|off";
        refuse_ = how == "on";
        return "ok";
    } else if (verb == "dpi") {
        firmware_.pressDpiButton(Link::Ble);
    } else if (verb == "polling" && in >> a) {
        firmware_.setPollingInterval(Link::Ble, a);
    } else if (verb == "battery" && in >> a >> b) {
        firmware_.setBattery(Link::Ble, a, b);
    } else if (verb == "light" && in >> a) {
        firmware_.setLightEffect(Link::Ble, a);
    } else {
        return "error: unknown command: " + line;
    }
    return "ok";
}

int Mouse::run() {
    std::string line;
    for (;;) {
        pollfd fds[2] = {{0, POLLIN, 0}, {radio_.fd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return 1;
        if (fds[1].revents & POLLIN) radio_.handle();
        if (fds[1].revents & (POLLERR | POLLHUP)) {
            std::fprintf(stderr, "halvern-ble: the controller went away\n");
            return 1;
        }
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            if (!std::getline(std::cin, line) || line == "quit") return 0;
            std::cout << command(line) << std::endl;
            flushEvents();
        }
    }
}

}  // namespace

}  // namespace halvern::kernel

int main(int argc, char** argv) {
    std::FILE* log = nullptr;
    int index = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--log") == 0 && i + 1 < argc) {
            log = std::fopen(argv[++i], "ae");
            if (!log) {
                std::fprintf(stderr, "halvern-ble: cannot open %s: %s\n", argv[i], std::strerror(errno));
                return 1;
            }
        } else if (std::strcmp(argv[i], "--hci") == 0 && i + 1 < argc) {
            index = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: halvern-ble [--hci N] [--log FILE]\n");
            return 2;
        }
    }
    halvern::kernel::Mouse mouse(log);
    std::string error;
    if (!mouse.open(index, error)) {
        std::fprintf(stderr, "halvern-ble: %s\n", error.c_str());
        return 1;
    }
    return mouse.run();
}
