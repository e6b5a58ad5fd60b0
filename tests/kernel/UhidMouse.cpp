// halvern-uhid: the virtual mouse's firmware behind real kernel HID devices. Run as
// root in the test guest, it presents the receiver and the cable through /dev/uhid,
// so that halvernctl meets them through hidraw, hidapi and udev as it would meet
// hardware. One command per line on standard input, one answer line ("ok" or
// "error: ...") on standard output:
//   plug receiver|cable one|two   one node carrying both collections, or one node each;
//                                 the first node carries the mouse's pointer as well
//   unplug receiver|cable
//   dpi | polling MS | battery LEVEL STATUS | light EFFECT    what a user does on the mouse
//   announce                      the battery report the mouse sends when it comes up
//   move DX DY                    a pointer report on the device's first node
//   quit
// Every report the kernel hands the firmware is appended to --log FILE as a lowercase
// hex line, in arrival order. A device's mouse announces itself shortly after its
// input collection is first opened.
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Scheduler.h"
#include "UhidDevice.h"
#include "VirtualMouse.h"
#include "device/DeviceEvent.h"
#include "device/DeviceNames.h"
#include "protocol/Clock.h"
#include "protocol/CommandReports.h"

namespace halvern::kernel {

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kInputReportSize = 16;
// How long after its input collection is opened the mouse speaks: time for the
// reader to have its own descriptor on the node, as with a real receiver, whose mouse
// reports on its own a little later.
constexpr auto kAnnounceDelay = 100ms;

CollectionSpec CommandCollection() {
    return {kCommandUsagePage,
            0,
            {{ReportId::Sensor, kSensorReportSize},
             {ReportId::LightPower, kLightPowerReportSize},
             {ReportId::Polling, kPollingReportSize},
             {ReportId::Buttons, kButtonReportSize},
             {ReportId::MacroChunk, kMacroPartSize},
             {ReportId::Preamble, kPreambleSize}},
            {}};
}

CollectionSpec InputCollection() { return {kInputUsagePage, 0, {}, {{kEventReportId, kInputReportSize}}}; }

std::string Hex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    for (std::uint8_t b : bytes) {
        s.push_back(kDigits[b >> 4]);
        s.push_back(kDigits[b & 0xF]);
    }
    return s;
}

// Single-threaded: the firmware acknowledges at once and its scheduler never runs, so
// it calls back only from within receive() and the user's actions, on this thread.
class Guest {
public:
    explicit Guest(std::FILE* log) : scheduler_(clock_), mouse_(scheduler_), log_(log) {
        mouse_.setEventSink([this](Link link, DeviceEvent e) { pending_.push_back({link, e}); });
        mouse_.setReceiveLog([this](std::span<const std::uint8_t> b) {
            if (!log_) return;
            std::fprintf(log_, "%s\n", Hex(b).c_str());
            std::fflush(log_);
        });
    }

    int run();

private:
    struct Presented {
        Link link;
        std::vector<std::unique_ptr<UhidDevice>> devices;  // the last carries the input collection
    };
    std::string command(const std::string& line);
    std::string plug(Link link, bool oneNode);
    std::string unplug(Link link);
    std::string move(Link link, int dx, int dy);
    Presented& presented(Link link) { return link == Link::Cable ? cable_ : receiver_; }
    void flushEvents();
    void dueAnnouncements();

    SteadyClock clock_;
    emu::Scheduler scheduler_;
    emu::VirtualMouse mouse_;
    std::FILE* log_;
    Presented receiver_{Link::Receiver, {}};
    Presented cable_{Link::Cable, {}};
    struct Event {
        Link link;
        DeviceEvent event;
    };
    std::deque<Event> pending_;  // raised by the firmware, sent once its request is answered
    struct Announcement {
        Link link;
        std::chrono::milliseconds due;
    };
    std::vector<Announcement> announcements_;
};

std::string Guest::plug(Link link, bool oneNode) {
    Presented& p = presented(link);
    if (!p.devices.empty()) return "error: already plugged";
    const bool cable = link == Link::Cable;
    UhidIdentity id;
    id.name = cable ? "halvern virtual mouse" : "halvern virtual receiver";
    id.vendorId = cable ? kCableVendorId : kReceiverVendorId;
    id.productId = cable ? kCableProductId : kReceiverProductId;
    id.uniq = cable ? "cable" : "receiver";
    const std::string port = cable ? "usb-virtual-2" : "usb-virtual-1";
    // The pointer the mouse moves shares the first node with the command collection,
    // so that the node carries reports the link must pass over.
    std::vector<std::vector<CollectionSpec>> nodes;
    if (oneNode) nodes = {{CommandCollection(), InputCollection()}};
    else nodes = {{CommandCollection()}, {InputCollection()}};
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        id.phys = port + "/input" + std::to_string(i);
        const bool carriesInput = i + 1 == nodes.size();
        std::vector<std::uint8_t> descriptor = i == 0 ? PointerDescriptor() : std::vector<std::uint8_t>{};
        const std::vector<std::uint8_t> vendor = ReportDescriptor(nodes[i]);
        descriptor.insert(descriptor.end(), vendor.begin(), vendor.end());
        UhidDevice::Handlers handlers;
        // The transfer itself always succeeds, as with the mouse: what the firmware
        // makes of a report it says in its acknowledgement.
        handlers.received = [this, link](std::span<const std::uint8_t> report) {
            mouse_.receive(link, report);
            return true;
        };
        handlers.openChanged = [this, link, carriesInput](bool open) {
            if (open && carriesInput) announcements_.push_back({link, clock_.now() + kAnnounceDelay});
        };
        auto device = std::make_unique<UhidDevice>();
        std::string error;
        if (!device->create(id, descriptor, std::move(handlers), error)) {
            p.devices.clear();
            return "error: " + error;
        }
        p.devices.push_back(std::move(device));
    }
    if (cable) mouse_.setOnCable(true);
    return "ok";
}

std::string Guest::unplug(Link link) {
    Presented& p = presented(link);
    if (p.devices.empty()) return "error: not plugged";
    p.devices.clear();
    if (link == Link::Cable) mouse_.setOnCable(false);
    std::erase_if(announcements_, [link](const Announcement& a) { return a.link == link; });
    return "ok";
}

std::string Guest::command(const std::string& line) {
    std::istringstream in(line);
    std::string verb, what, how;
    in >> verb;
    Link link = Link::Receiver;
    if (verb == "plug" || verb == "unplug") {
        in >> what >> how;
        if (what != "receiver" && what != "cable") return "error: plug receiver|cable";
        link = what == "cable" ? Link::Cable : Link::Receiver;
        if (verb == "unplug") return unplug(link);
        if (how != "one" && how != "two") return "error: plug " + what + " one|two";
        return plug(link, how == "one");
    }
    // What the user does reaches the host on the link carrying commands.
    link = cable_.devices.empty() ? Link::Receiver : Link::Cable;
    int a = 0, b = 0;
    if (verb == "dpi") mouse_.pressDpiButton(link);
    else if (verb == "polling" && in >> a) mouse_.setPollingInterval(link, a);
    else if (verb == "battery" && in >> a >> b) mouse_.setBattery(link, a, b);
    else if (verb == "light" && in >> a) mouse_.setLightEffect(link, a);
    else if (verb == "announce") mouse_.announce(link);
    else if (verb == "move" && in >> a >> b) return move(link, a, b);
    else return "error: unknown command: " + line;
    return "ok";
}

std::string Guest::move(Link link, int dx, int dy) {
    Presented& p = presented(link);
    if (p.devices.empty()) return "error: not plugged";
    const std::uint8_t report[] = {kPointerReportId, 0, static_cast<std::uint8_t>(dx), static_cast<std::uint8_t>(dy)};
    return p.devices.front()->input(report) ? "ok" : "error: input report refused";
}

void Guest::flushEvents() {
    while (!pending_.empty()) {
        Event e = pending_.front();
        pending_.pop_front();
        Presented& p = presented(e.link);
        if (p.devices.empty()) continue;
        std::vector<std::uint8_t> report(kInputReportSize, 0);
        report[0] = kEventReportId;
        report[1] = e.event.marker();
        report[2] = e.event.code();
        report[3] = e.event.valueLow();
        report[4] = e.event.valueHigh();
        p.devices.back()->input(report);
    }
}

void Guest::dueAnnouncements() {
    const auto now = clock_.now();
    std::vector<Announcement> due;
    std::erase_if(announcements_, [&](const Announcement& a) {
        if (a.due > now) return false;
        due.push_back(a);
        return true;
    });
    for (const Announcement& a : due) mouse_.announce(a.link);
}

int Guest::run() {
    std::string line;
    for (;;) {
        std::vector<pollfd> fds{{0, POLLIN, 0}};
        for (Presented* p : {&receiver_, &cable_})
            for (auto& d : p->devices) fds.push_back({d->fd(), POLLIN, 0});
        int timeout = -1;
        for (const Announcement& a : announcements_) {
            auto left = std::max<long long>(0, (a.due - clock_.now()).count());
            timeout = timeout < 0 ? static_cast<int>(left) : std::min(timeout, static_cast<int>(left));
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) return 1;
        for (Presented* p : {&receiver_, &cable_})
            for (auto& d : p->devices) d->handle();
        dueAnnouncements();
        flushEvents();
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
    if (argc == 3 && std::strcmp(argv[1], "--log") == 0) {
        log = std::fopen(argv[2], "ae");
        if (!log) {
            std::fprintf(stderr, "halvern-uhid: cannot open %s: %s\n", argv[2], std::strerror(errno));
            return 1;
        }
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: halvern-uhid [--log FILE]\n");
        return 2;
    }
    halvern::kernel::Guest guest(log);
    return guest.run();
}
