// A device-layer test bench: the virtual mouse of a named scenario, the device link
// above it built as the program builds it, a main loop on virtual time, and
// recorders for what the link does to the controls and the profile.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SettlingClock.h"
#include "VirtualDevices.h"
#include "support/VirtualLoop.h"
#include "device/DeviceObserver.h"
#include "device/ProfileHolder.h"
#include "host/DeviceStack.h"
#include "protocol/LinkState.h"

#ifndef HALVERN_BIN_DIR
#error "HALVERN_BIN_DIR names the folder the driver library is built into"
#endif

namespace halvern::test {

// Every call, as a short line: "show wireless", "select dpi 3", "battery 90", ...
class RecordingObserver final : public DeviceObserver {
public:
    void showIndicator(Indicator which, bool visible) override {
        static const char* names[] = {"wired", "wireless", "ble"};
        add(std::string(visible ? "show " : "hide ") + names[static_cast<int>(which)]);
    }
    void updateLinkSections() override { add("update sections"); }
    void selectDpiLevel(int level) override { add("select dpi " + std::to_string(level)); }
    void selectPollingRate(int rate) override { add("select polling " + std::to_string(rate)); }
    void selectLightEffect(int effect) override { add("select light " + std::to_string(effect)); }
    void batteryChanged(BatteryState state) override {
        static const char* names[] = {"charging from 0", "charging",     "charged",        "battery ",
                                      "on battery",      "battery full", "battery cleared"};
        const auto kind = static_cast<std::size_t>(state.kind);
        add(state.kind == BatteryState::Kind::Level ? names[kind] + std::to_string(state.level) : names[kind]);
    }
    void eventDispatched(Link source, DeviceEvent e) override {
        char text[48];
        std::snprintf(text, sizeof text, "event %s %04x %04x", std::string(LinkName(source)).c_str(), e.head, e.value);
        events.push_back(text);
    }

    bool saw(const std::string& call) const { return std::find(calls.begin(), calls.end(), call) != calls.end(); }
    void clear() {
        calls.clear();
        events.clear();
    }

    std::vector<std::string> calls;
    std::vector<std::string> events;

private:
    void add(std::string s) { calls.push_back(std::move(s)); }
};

// One profile; what the mouse reports goes into it and into lastApplied, field by field.
class RecordingProfiles final : public ProfileHolder {
public:
    MouseProfile* currentProfile() override { return current.get(); }
    void settingReported(SettingId setting, std::int32_t value) override {
        SetValue(*current, setting, value);
        SetValue(lastApplied, setting, value);
        ++stores;
        if (onReported) onReported(setting, value);
    }
    void mouseSaved() override { ++stores; }
    std::unique_ptr<MouseProfile> current = MouseProfile::Create(u"test");
    // e.g. the apply worker's adoptReported
    std::function<void(SettingId, std::int32_t)> onReported;
    MouseProfile lastApplied = *current;
    int stores = 0;  // reports taken and saves the mouse asked for
};

struct HarnessOptions {
    bool driver = false;  // load the cable driver library from the build
    emu::VirtualDevices::Options world;
};

class DeviceHarness {
public:
    explicit DeviceHarness(const std::string& scenario, HarnessOptions options = {}) : loop(clock) {
        auto s = emu::NamedScenario(scenario);
        if (!s) ADD_FAILURE() << "no scenario named " << scenario;
        world = std::make_unique<emu::VirtualDevices>(s ? *s : emu::Scenario{}, clock, options.world);
        clock.setSettle([this] { world->settle(); });
        DeviceStack::Options o;
        o.libraryFolder = HALVERN_BIN_DIR;
        o.virtualDevices = world.get();
        o.loadDriver = options.driver;
        std::string error;
        stack = DeviceStack::Create(o, {loop, loop.window(), observer, profiles, links}, error);
        loop.onMessage([this](const PostedMessage& m) { stack->link().handleMessage(m.message, m.wParam, m.lParam); });
        loop.onTimer([this](int id) { stack->link().onTimer(id); });
    }

    ~DeviceHarness() {
        stack.reset();
        world.reset();
    }

    DeviceLink& link() { return stack->link(); }
    emu::VirtualMouse& mouse(int i = 0) { return world->mouse(i); }

    // The start-up of the program: start, then the profiles' Bluetooth LE step.
    void start() {
        link().start();
        loop.watch(link().hotplugFd(), [this] { link().dispatchHotplug(); });
        link().applyInitialBleLink();
        loop.turn();
    }

    bool runUntil(const std::function<bool()>& done) { return loop.runUntil(done); }

    // Until every report the mouse sent has been read and handed over, and the main
    // loop has nothing left.
    void settle() {
        for (int round = 0; round < 1000; ++round) {
            EXPECT_TRUE(world->settle());
            if (loop.turn() == 0) return;
        }
        ADD_FAILURE() << "the device link never came to rest";
    }

    emu::SettlingClock clock;
    std::unique_ptr<emu::VirtualDevices> world;
    VirtualLoop loop;
    RecordingObserver observer;
    RecordingProfiles profiles;
    LinkState links;
    std::unique_ptr<DeviceStack> stack;
};

// Descriptors and threads of this process, for leak checks.
inline int OpenDescriptors() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

inline int ThreadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    return -1;
}

}  // namespace halvern::test
