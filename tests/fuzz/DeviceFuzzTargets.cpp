#include "DeviceFuzzTargets.h"

#include "FuzzRequire.h"

#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "EmulatedHidBackend.h"
#include "Scheduler.h"
#include "SettlingClock.h"
#include "VirtualMouse.h"
#include "device/WindowIds.h"
#include "device/DeviceNames.h"
#include "device/LinkController.h"
#include "device/ReaderThread.h"
#include "device/hid/UdevHotplugSource.h"

namespace halvern::fuzz {

namespace {

// A broken promise ends the run, naming the promise.
#define CHECK_PROMISE(condition) Require((condition), #condition)

// The main-thread side of the link with nothing behind it: timers remembered, posted
// messages queued, controls ignored.
class Rig final : public TimerService, public DeviceObserver, public ProfileHolder {
public:
    Rig() {
        window.context = this;
        window.post = [](void* c, std::uint32_t m, std::uintptr_t w, std::intptr_t l) {
            static_cast<Rig*>(c)->posted.push_back({m, w, l});
        };
    }

    void arm(int id, std::chrono::milliseconds) override { armed.push_back(id); }
    void kill(int) override {}
    void showIndicator(Indicator, bool) override {}
    void updateLinkSections() override {}
    void selectDpiLevel(int level) override { CHECK_PROMISE(level >= 1 && level <= 8); }
    void selectPollingRate(int rate) override { CHECK_PROMISE(rate >= 0 && rate <= 3); }
    void selectLightEffect(int effect) override { CHECK_PROMISE(effect >= 0 && effect <= 15); }
    void showCharged() override {}
    void showCharging(bool) override {}
    void showBatteryLevel(int level) override { CHECK_PROMISE(level >= 0 && level <= 100); }
    void clearBatteryDisplay() override {}
    void stopChargingAnimation() override {}
    void showFullBattery() override {}
    MouseProfile* currentProfile() override { return profile.get(); }
    void storeProfile() override {}

    // Delivers queued Bluetooth LE events as the main thread would.
    void deliver() {
        while (!posted.empty()) {
            auto [m, w, l] = posted.front();
            posted.pop_front();
            if (m == kUmBleEvent) controller.DispatchBleEvent({static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(l)});
        }
    }

    void checkState() const {
        CHECK_PROMISE(profile->dpiStep >= 0 && profile->dpiStep <= 7);
        CHECK_PROMISE(profile->pollingRate >= 0 && profile->pollingRate <= 3);
        CHECK_PROMISE(profile->lightEffect >= 0 && profile->lightEffect <= 15);
        CHECK_PROMISE(controller.batteryLevel() >= 0 && controller.batteryLevel() <= 100);
        CHECK_PROMISE(links.wiredLink >= 0 && links.wiredLink <= 2);
        CHECK_PROMISE(links.wirelessLink == 0 || links.wirelessLink == 1);
        CHECK_PROMISE(links.ackReceived == 0 || links.ackReceived == 1);
    }

    struct Posted {
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    HalvernHostWindow window{};
    std::deque<Posted> posted;
    std::vector<int> armed;
    std::unique_ptr<MouseProfile> profile = MouseProfile::Create(u"fuzz");
    LinkState links;
    emu::EmulatedHidBackend hid;
    LinkController controller{{links, *this, window, *this, *this, hid, nullptr, nullptr}};
};

// Splits `data` into records that each start with a length byte.
std::vector<std::span<const std::uint8_t>> LengthPrefixed(const std::uint8_t* data, std::size_t size, std::size_t header = 1) {
    std::vector<std::span<const std::uint8_t>> out;
    std::size_t at = 0;
    while (at + header <= size) {
        std::size_t length = data[at];
        std::size_t start = at + header;
        std::size_t n = std::min(length, size - start);
        out.emplace_back(data + start - header, n + header);
        at = start + n;
    }
    return out;
}

}  // namespace

void InputReportsInput(const std::uint8_t* data, std::size_t size) {
    Rig rig;
    ReaderState reader{true};
    for (std::span<const std::uint8_t> record : LengthPrefixed(data, size)) {
        // As the reader reads: a zero-filled buffer of its size, the report cut to it.
        std::array<std::uint8_t, kInputReportBuffer> buffer{};
        std::span<const std::uint8_t> report = record.subspan(1);
        std::copy_n(report.begin(), std::min(report.size(), buffer.size()), buffer.begin());
        ReportOutcome outcome = ReadReport(reader, buffer);
        if (outcome.event) {
            CHECK_PROMISE(outcome.event->isMouseEvent() && buffer[0] == kEventReportId && reader.accepted);
            LinkController::RecordAcknowledgement(rig.links, *outcome.event);
            rig.controller.OnReceiverEvent(*outcome.event);
        }
        rig.checkState();
    }
}

void BleNotificationsInput(const std::uint8_t* data, std::size_t size) {
    Rig rig;
    rig.controller.SetBleLink(true);
    for (std::span<const std::uint8_t> record : LengthPrefixed(data, size)) {
        rig.controller.onBleNotification(record.subspan(1));
        rig.deliver();
        rig.checkState();
    }
}

void DriverMessagesInput(const std::uint8_t* data, std::size_t size) {
    Rig rig;
    for (std::size_t at = 0; at + 9 <= size; at += 9) {
        auto word = [&](std::size_t o) {
            return static_cast<std::uint32_t>(data[at + o]) | static_cast<std::uint32_t>(data[at + o + 1]) << 8 |
                   static_cast<std::uint32_t>(data[at + o + 2]) << 16 | static_cast<std::uint32_t>(data[at + o + 3]) << 24;
        };
        switch (data[at] % 4) {
            case 0: rig.controller.OnDriverPlug(word(1)); break;
            case 1: rig.controller.OnDriverMessage(word(1), static_cast<std::int32_t>(word(5))); break;
            case 2: rig.controller.onTimer(TimerId::CableSettle); break;
            default: rig.controller.onTimer(TimerId::WirelessTimeout); break;
        }
        rig.checkState();
    }
}

void HotplugNamesInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) parts.emplace_back();
        else parts.back().push_back(static_cast<char>(data[i]));
    }
    while (parts.size() < 3) parts.emplace_back();
    DeviceChange change;
    std::string name;
    if (DeviceChangeFromUdev(parts[0], parts[1], parts[2], change, name)) {
        CHECK_PROMISE(change == DeviceChange::Arrival || change == DeviceChange::RemoveComplete);
        CHECK_PROMISE(name.rfind("\\\\?\\HID#", 0) == 0);
    }
    CHECK_PROMISE(ExtractInstanceKey(parts[1]).size() <= kMaxPathUnits);
    CHECK_PROMISE(!InterfaceNameMatchesPath(parts[2], ""));
    std::string upper = UpperCased(parts[2]);
    CHECK_PROMISE(upper.size() == parts[2].size());
    Rig rig;
    rig.controller.OnBleDeviceChange(DeviceChange::Arrival, parts[2]);
    rig.controller.OnBleDeviceChange(DeviceChange::RemoveComplete, parts[1]);
    rig.checkState();
}

void FirmwareInput(const std::uint8_t* data, std::size_t size) {
    emu::SettlingClock clock;
    emu::Scheduler scheduler(clock);
    emu::VirtualMouse mouse(scheduler);
    int acknowledgements = 0;
    mouse.setEventSink([&](Link, DeviceEvent e) { acknowledgements += e.code() == EventCode::Acknowledge ? 1 : 0; });
    std::size_t buffers = 0;
    for (std::span<const std::uint8_t> record : LengthPrefixed(data, size, 2)) {
        Link link = static_cast<Link>(record[1] % 3);
        bool accepted = mouse.receive(link, record.subspan(2));
        ++buffers;
        if (!accepted) CHECK_PROMISE(!mouse.rejections().empty() && !mouse.rejections().back().reason.empty());
        emu::FirmwareState s = mouse.state();
        CHECK_PROMISE(s.dpiLevel >= 1 && s.dpiLevel <= 8);
        CHECK_PROMISE(s.pollingInterval == 1 || s.pollingInterval == 2 || s.pollingInterval == 4 || s.pollingInterval == 8);
        CHECK_PROMISE(s.lightEffect >= 0 && s.lightEffect <= 15);
        for (int v : s.dpiValue) CHECK_PROMISE(v >= 0 && v <= 340);
    }
    CHECK_PROMISE(mouse.received().size() == buffers);
    CHECK_PROMISE(acknowledgements <= static_cast<int>(buffers));
}

}  // namespace halvern::fuzz
