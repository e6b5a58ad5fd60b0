// The battery display: its states, the charging animation and the one timer behind it.
#include <gtest/gtest.h>

#include <map>

#include "ui/kit/Label.h"
#include "ui/kit/Slider.h"
#include "ui/page/BatteryDisplay.h"
#include "ui/page/PageTimers.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;

// Armed timers by id; a firing is a call to tick() by the test.
class Timers final : public TimerService {
public:
    void arm(int id, std::chrono::milliseconds delay) override {
        armed[id] = delay;
        ++arms;
    }
    void kill(int id) override { armed.erase(id); }
    bool running() const { return armed.count(TimerId::ChargingAnimation) != 0; }
    std::map<int, std::chrono::milliseconds> armed;
    int arms = 0;
};

class Battery : public ::testing::Test {
protected:
    QString label() const { return text.QLabel::text(); }
    std::vector<int> ticks(int n) {
        std::vector<int> values;
        for (int i = 0; i < n; ++i) {
            display.tick();
            values.push_back(bar.value());
        }
        return values;
    }

    Timers timers;
    kit::Progress bar;
    kit::Label text;
    BatteryDisplay display{timers, &bar, &text, QStringLiteral("Charging")};
};

TEST_F(Battery, LevelsShowAsPercentAndTooLargeALevelChangesNothing) {
    display.showBatteryLevel(57);
    EXPECT_EQ(bar.value(), 57);
    EXPECT_EQ(label(), QStringLiteral("57%"));
    EXPECT_EQ(display.batteryLevel(), 57);

    display.showBatteryLevel(101);
    EXPECT_EQ(bar.value(), 57);
    EXPECT_EQ(label(), QStringLiteral("57%"));
    EXPECT_EQ(display.batteryLevel(), 57);

    display.storeLevel(7);  // a level event is kept, not shown
    EXPECT_EQ(display.batteryLevel(), 7);
    EXPECT_EQ(label(), QStringLiteral("57%"));
}

// Each state the device link reports, met while charging with the bar at 18: what the
// display shows and whether the animation goes on.
TEST_F(Battery, EachReportedStateDecidesTheLabelTheBarAndTheAnimation) {
    using Kind = BatteryState::Kind;
    const struct {
        BatteryState state;
        const char* label;
        int bar;
        bool animating;
    } cases[] = {
        {BatteryState::Of(Kind::Plugged), "Charging", 18, true},
        {BatteryState::Of(Kind::Charging), "Charging", 18, true},
        {BatteryState::Of(Kind::Charged), "100%", 100, false},
        {BatteryState::AtLevel(35), "35%", 35, false},
        {BatteryState::Of(Kind::OnBattery), "Charging", 18, false},
        {BatteryState::Of(Kind::Unreported), "100%", 100, true},
        {BatteryState::Of(Kind::Unknown), "", 18, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.state.kind));
        display.showCharging(true);
        ticks(10);
        display.show(c.state);
        EXPECT_EQ(label(), QString::fromUtf8(c.label));
        EXPECT_EQ(bar.value(), c.bar);
        EXPECT_EQ(timers.running(), c.animating);
    }
    // Plugged starts the sweep over; Charging goes on where it stands.
    display.show(BatteryState::Of(Kind::Plugged));
    EXPECT_EQ(ticks(1), std::vector<int>{0});
    display.show(BatteryState::Of(Kind::Charging));
    EXPECT_EQ(ticks(1), std::vector<int>{2});
}

TEST_F(Battery, ChargingSweepsTheBarInStepsOfTwoAndWrapsAfterAHundred) {
    display.showCharging(true);
    EXPECT_EQ(label(), QStringLiteral("Charging"));
    ASSERT_TRUE(timers.running());
    EXPECT_EQ(timers.armed[TimerId::ChargingAnimation], 30ms);
    std::vector<int> values = ticks(52);
    EXPECT_EQ(values.front(), 0);
    EXPECT_EQ(values[1], 2);
    EXPECT_EQ(values[50], 100);
    EXPECT_EQ(values[51], 0);  // 102 wraps before it is shown

    // Charging again without a restart goes on where the animation stands.
    display.showCharging(false);
    EXPECT_EQ(ticks(1), std::vector<int>{2});
    display.showCharging(true);
    EXPECT_EQ(ticks(1), std::vector<int>{0});
}

TEST_F(Battery, EveryWayOutOfChargingStopsTheOneTimer) {
    display.showCharging(true);
    ticks(10);
    display.clearBatteryDisplay();  // cable detached while charging
    EXPECT_FALSE(timers.running());
    EXPECT_EQ(label(), QString());
    EXPECT_EQ(bar.value(), 18);                 // the bar stays where it stopped
    EXPECT_EQ(ticks(1), std::vector<int>{18});  // a late firing moves nothing

    display.showCharging(false);
    display.showCharged();
    EXPECT_FALSE(timers.running());
    EXPECT_EQ(bar.value(), 100);
    EXPECT_EQ(label(), QStringLiteral("100%"));

    display.showCharging(false);
    display.stopChargingAnimation();
    EXPECT_FALSE(timers.running());
    EXPECT_EQ(label(), QStringLiteral("Charging"));
}

TEST_F(Battery, AFullBatteryLeavesTheAnimationAsItIs) {
    display.showCharging(true);
    display.showFullBattery();
    EXPECT_EQ(bar.value(), 100);
    EXPECT_EQ(label(), QStringLiteral("100%"));
    EXPECT_TRUE(timers.running());
}

TEST_F(Battery, TheAnimationRestsWhileNobodyCanSeeIt) {
    display.setShown(false);
    display.showCharging(true);
    EXPECT_FALSE(timers.running());
    display.setShown(true);
    EXPECT_TRUE(timers.running());
    ticks(3);
    display.setShown(false);
    EXPECT_FALSE(timers.running());
    display.setShown(true);
    EXPECT_EQ(ticks(1), std::vector<int>{6});  // on from where it stood

    display.showCharged();
    display.setShown(false);
    display.setShown(true);
    EXPECT_FALSE(timers.running());  // nothing to animate
}

TEST(BatteryWithoutControls, AMissingControlLeavesItsHalfInert) {
    Timers timers;
    kit::Label text;
    BatteryDisplay display(timers, nullptr, &text, QStringLiteral("Charging"));
    display.showBatteryLevel(40);
    display.showCharging(true);
    display.tick();
    EXPECT_EQ(text.QLabel::text(), QStringLiteral("Charging"));
    BatteryDisplay none(timers, nullptr, nullptr, {});
    none.showCharged();
    none.showBatteryLevel(-5);
    EXPECT_EQ(none.batteryLevel(), 0);
}

}  // namespace
}  // namespace halvern
