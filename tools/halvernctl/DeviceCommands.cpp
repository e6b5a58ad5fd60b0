// halvernctl devices and monitor: the mouse's links and events, on hardware or on the
// virtual mouse (HALVERN_EMULATOR).
#include "DeviceCommands.h"

#include <chrono>
#include <iostream>
#include <map>
#include <optional>

#include "DeviceSession.h"
#include "EventText.h"
#include "device/DeviceNames.h"

namespace halvern::cli {

namespace {

using namespace std::chrono_literals;

// How long `devices` waits for the mouse behind a receiver to speak; it reports its
// battery every few seconds, and at once on the virtual mouse.
constexpr auto kReceiverAnswerWait = 1500ms;

// Prints each event and each change of a link as a line of its own.
//
// While the cable is attached the cable carries the commands, and each battery report
// the receiver passes on counts once as the receiver answering and at once as the
// mouse being on its cable: the program's receiver indicator blinks with every report.
// That blinking says nothing to a user, so it is not printed; the receiver's state is
// printed again once the cable is gone.
class PrintingObserver final : public QuietDeviceObserver {
public:
    explicit PrintingObserver(std::ostream& out) : out_(out) {}
    void showIndicator(Indicator which, bool visible) override {
        if (which == Indicator::Wired && visible) shown_[Indicator::Wireless] = false;
        if (which == Indicator::Wireless && onCable()) return;
        bool& shown = shown_[which];
        if (shown == visible) return;
        shown = visible;
        out_ << DescribeIndicator(which, visible) << std::endl;
    }
    void eventDispatched(Link source, DeviceEvent event) override {
        out_ << LinkName(source) << ": " << DescribeEvent(source, event, onCable()) << std::endl;
        ++events_;
    }
    int events() const { return events_; }

private:
    bool onCable() { return shown_[Indicator::Wired]; }

    std::ostream& out_;
    std::map<Indicator, bool> shown_;
    int events_ = 0;
};

// A profile of its own: what the mouse changes on itself is kept in memory only.
class ScratchProfile final : public ProfileHolder {
public:
    MouseProfile* currentProfile() override { return profile_.get(); }
    void settingReported(SettingId setting, std::int32_t value) override { SetValue(*profile_, setting, value); }
    void mouseSaved() override {}

private:
    std::unique_ptr<MouseProfile> profile_ = MouseProfile::Create(u"halvernctl");
};

bool ParseCount(const std::string& text, int& out) {
    try {
        std::size_t used = 0;
        out = std::stoi(text, &used);
        return used == text.size() && out > 0;
    } catch (...) { return false; }
}

}  // namespace

int Devices(const Invocation& call) {
    if (!call.args.empty()) return call.fail(kExitUsage, "usage: halvernctl devices");
    QuietDeviceObserver observer;
    ScratchProfile profile;
    DeviceSession session(observer, profile);
    std::string error;
    if (!session.start(error)) return call.fail(kExitFailure, error);
    LinkState& links = session.links();
    DeviceDiscovery& discovery = session.link().discovery();
    // The mouse has answered once its receiver became the active one.
    auto answered = [&] { return discovery.activeSlot().filled(); };
    if (discovery.inputCount() > 0) session.runUntil(answered, kReceiverAnswerWait);

    int found = 0;
    const DriverLibrary& driver = session.stack().driver();
    std::optional<DeniedDevice> denied = session.permissionProblem();
    auto deniedOn = [&](Link link) { return denied && denied->link == link; };
    if (links.wiredLink == 1) {
        call.out << "cable: linked\n";
        ++found;
    } else if (deniedOn(Link::Cable)) {
        call.out << "cable: " << denied->path << " (permission denied)\n";
    } else if (!driver.loaded()) {
        call.out << "cable: unavailable (" << driver.error() << ")\n";
    } else {
        call.out << "cable: not found\n";
    }
    if (discovery.featureCount() > 0 || discovery.inputCount() > 0) {
        const DeviceSlot& slot = discovery.featureCount() > 0 ? discovery.featureSlot(0) : discovery.inputSlot(0);
        bool answering = answered();
        call.out << "receiver: " << slot.devicePath
                 << (answering ? " (mouse answering)" : " (no answer from the mouse)") << '\n';
        found += answering ? 1 : 0;
    } else if (deniedOn(Link::Receiver)) {
        call.out << "receiver: " << denied->path << " (permission denied)\n";
    } else {
        call.out << "receiver: not found\n";
    }
    call.out << "bluetooth: " << (links.bleLink == 1 ? "connected" : "not found") << '\n';
    found += links.bleLink == 1 ? 1 : 0;

    if (denied) {
        call.err << "halvernctl: " << PermissionLine(*denied) << '\n';
        if (found == 0) return kExitFailure;
    }
    if (found == 0)
        return call.fail(kExitFailure, "no mouse is linked (no cable, answering receiver or Bluetooth LE mouse)");
    return kExitOk;
}

int Monitor(const Invocation& call) {
    int count = 0;
    int seconds = 0;
    for (std::size_t i = 0; i < call.args.size(); ++i) {
        const std::string& a = call.args[i];
        bool hasValue = i + 1 < call.args.size();
        if (a == "--count" && hasValue && ParseCount(call.args[i + 1], count)) ++i;
        else if (a == "--seconds" && hasValue && ParseCount(call.args[i + 1], seconds)) ++i;
        else return call.fail(kExitUsage, "usage: halvernctl monitor [--count N] [--seconds S]");
    }
    PrintingObserver observer(call.out);
    ScratchProfile profile;
    DeviceSession session(observer, profile);
    std::string error;
    if (!session.start(error)) return call.fail(kExitFailure, error);
    if (std::optional<DeniedDevice> denied = session.permissionProblem())
        call.err << "halvernctl: " << PermissionLine(*denied) << '\n';

    if (count == 0 && seconds == 0) {
        session.run();
    } else {
        auto limit = seconds > 0 ? std::chrono::milliseconds(seconds * 1000LL) : std::chrono::milliseconds::max();
        session.runUntil([&] { return count > 0 && observer.events() >= count; }, limit);
    }
    return kExitOk;
}

}  // namespace halvern::cli
