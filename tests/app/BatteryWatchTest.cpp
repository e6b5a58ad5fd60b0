// The battery is watched on its way to the page: the page gets every call as it came,
// and the warnings follow the calls the device link makes for a discharge on the
// receiver, a charge on the cable and a full battery on Bluetooth LE.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/BatteryWatch.h"

namespace halvern {
namespace {

using Warning = BatteryWarnings::Warning;

class CountingPage final : public QuietDeviceObserver {
public:
    void batteryChanged(BatteryState state) override { calls.push_back("battery " + std::to_string(state.level)); }
    void eventDispatched(Link, DeviceEvent) override { calls.push_back("event"); }
    std::vector<std::string> calls;
};

TEST(BatteryWatch, WarnsOncePerMarkInADischargeAndAgainAfterACharge) {
    CountingPage page;
    std::vector<std::string> warned;
    BatteryWatch watch(page, [&](Warning w, int level) {
        warned.push_back((w == Warning::Critical ? "critical " : "low ") + std::to_string(level));
    });
    // What the device link calls for one battery report of each kind.
    auto onReceiver = [&](int level) {
        watch.eventDispatched(Link::Receiver,
                              DeviceEvent::Make(EventCode::Battery, static_cast<std::uint16_t>(level << 8 | 1)));
        watch.batteryChanged(BatteryState::AtLevel(level));
    };
    auto fullOnBle = [&] {
        watch.eventDispatched(Link::Ble, DeviceEvent::Make(EventCode::Battery, 100 << 8 | BatteryStatus::Charged));
        watch.batteryChanged(BatteryState::Of(BatteryState::Kind::Charged));
    };
    for (int level : {40, 16, 15, 14, 15, 9, 5, 4, 5}) onReceiver(level);
    EXPECT_EQ(warned, (std::vector<std::string>{"low 15", "critical 5"}));
    watch.batteryChanged(BatteryState::Of(BatteryState::Kind::Plugged));  // the cable
    for (int level : {30, 15, 15}) onReceiver(level);
    fullOnBle();
    for (int level : {14, 14}) onReceiver(level);
    EXPECT_EQ(warned, (std::vector<std::string>{"low 15", "critical 5", "low 15", "low 14"}));
    // 14 reports, a charge and a full battery: all of it reached the page.
    EXPECT_EQ(page.calls.size(), 14u * 2 + 1 + 2);
    EXPECT_EQ(page.calls[1], "battery 40");
}

}  // namespace
}  // namespace halvern
