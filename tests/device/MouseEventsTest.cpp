// What the mouse's own events do: the settings it changes on itself reach the profile
// and the controls and are stored; battery events drive the battery display; an
// acknowledgement reaches the send path at once.
#include <gtest/gtest.h>

#include "support/DeviceHarness.h"

namespace halvern::test {
namespace {

using namespace std::chrono_literals;

// A receiver whose mouse has been heard: the link is up and every later event counts.
class OnReceiver : public ::testing::Test {
protected:
    void SetUp() override {
        h.start();
        ASSERT_TRUE(h.runUntil([&] { return h.links.wirelessLink == 1; }));
        h.settle();
        h.observer.clear();
        h.loop.clearHistory();
    }
    void raise(std::uint8_t code, std::uint16_t value) {
        h.mouse().raise(Link::Receiver, DeviceEvent::Make(code, value));
        h.settle();
    }
    DeviceHarness h{"receiver"};
};

TEST_F(OnReceiver, ADpiPressSelectsTheLevelShowsItsDpiAndStoresTheProfile) {
    h.profiles.current->dpiValue[2] = 48;
    h.mouse().pressDpiButton(Link::Receiver);  // level 2 -> 3
    h.settle();
    EXPECT_EQ(h.profiles.current->dpiStep, 2);
    EXPECT_TRUE(h.observer.saw("select dpi 3"));
    ASSERT_EQ(h.loop.count(UM_SHOW_DPI), 1);
    EXPECT_EQ(h.loop.history().back().message, static_cast<std::uint32_t>(UM_SHOW_DPI));
    EXPECT_EQ(h.loop.history().back().wParam, 0u);
    EXPECT_EQ(h.loop.history().back().lParam, 48);
    EXPECT_EQ(h.profiles.stores, 1);
    EXPECT_EQ(h.profiles.lastApplied.dpiStep, 2);
}

TEST_F(OnReceiver, DpiLevelsOutsideOneToEightAreIgnored) {
    raise(EventCode::DpiLevel, 0);
    raise(EventCode::DpiLevel, 9);
    EXPECT_EQ(h.profiles.current->dpiStep, 1);
    EXPECT_EQ(h.profiles.stores, 0);
    EXPECT_EQ(h.loop.count(UM_SHOW_DPI), 0);
}

TEST_F(OnReceiver, PollingIntervalsMapToRatesAndOthersAreIgnored) {
    const std::pair<int, int> cases[] = {{1, 3}, {2, 2}, {4, 1}, {8, 0}, {3, 0}};
    for (auto [interval, rate] : cases) {
        h.profiles.current->pollingRate = 9;
        raise(EventCode::PollingRate, static_cast<std::uint16_t>(interval));
        EXPECT_EQ(h.profiles.current->pollingRate, rate) << "interval " << interval;
        EXPECT_TRUE(h.observer.saw("select polling " + std::to_string(rate)));
    }
    EXPECT_EQ(h.profiles.stores, 5);
    h.profiles.current->pollingRate = 2;
    raise(EventCode::PollingRate, 9);
    raise(EventCode::PollingRate, 0);
    EXPECT_EQ(h.profiles.current->pollingRate, 2);
    EXPECT_EQ(h.profiles.stores, 5);
}

TEST_F(OnReceiver, ALightChangeTakesTheEffectFromTheHighNibble) {
    raise(EventCode::LightEffect, 0x00A5);
    EXPECT_EQ(h.profiles.current->lightEffect, 0x0A);
    EXPECT_TRUE(h.observer.saw("select light 10"));
    EXPECT_EQ(h.profiles.stores, 1);
}

TEST_F(OnReceiver, ASaveEventStoresOnlyForOneToFive) {
    raise(EventCode::Saved, 1);
    raise(EventCode::Saved, 5);
    raise(EventCode::Saved, 6);
    raise(EventCode::Saved, 0);
    EXPECT_EQ(h.profiles.stores, 2);
}

TEST_F(OnReceiver, TheBatteryLevelEventIsKeptButNotShown) {
    raise(EventCode::BatteryLevel, 7);
    EXPECT_EQ(h.link().controller().batteryLevel(), 7);
    raise(EventCode::BatteryLevel, 11);
    EXPECT_EQ(h.link().controller().batteryLevel(), 7);
    EXPECT_TRUE(h.observer.calls.empty());
}

TEST_F(OnReceiver, AnAcknowledgementIsRecordedOnTheReaderThreadAndAFailureClearsIt) {
    raise(EventCode::Acknowledge, 0x0000);
    EXPECT_EQ(h.links.ackReceived, 1);
    raise(EventCode::Acknowledge, 0x0001);
    EXPECT_EQ(h.links.ackReceived, 0);
    raise(EventCode::Acknowledge, 0x0100);  // only the low byte is the result
    EXPECT_EQ(h.links.ackReceived, 1);
}

TEST_F(OnReceiver, TheAcknowledgementIsThereBeforeTheMainThreadRuns) {
    h.links.ackReceived = 0;
    h.mouse().raise(Link::Receiver, DeviceEvent::Make(EventCode::Acknowledge, 0));
    ASSERT_TRUE(h.world->settle());
    // Nothing has been handed to the main thread yet, and the flag is already set.
    EXPECT_EQ(h.links.ackReceived, 1);
}

TEST_F(OnReceiver, BatteryOffCableShowsTheLevelAndKeepsTheLinkAlive) {
    raise(EventCode::Battery, 0x5A01);  // status 1, level 90
    EXPECT_EQ(h.observer.calls, (std::vector<std::string>{"battery 90"}));
    EXPECT_EQ(h.link().controller().batteryLevel(), 90);
    EXPECT_TRUE(h.loop.armed(TimerId::WirelessTimeout));
    EXPECT_EQ(h.loop.dueIn(TimerId::WirelessTimeout), 6000ms);

    h.observer.clear();
    raise(EventCode::Battery, 0xC801);  // level 200: the display stays at 100%
    EXPECT_EQ(h.observer.calls, (std::vector<std::string>{"charged"}));
    EXPECT_EQ(h.link().controller().batteryLevel(), 90);

    h.observer.clear();
    raise(EventCode::Battery, 0x3203);  // charging
    EXPECT_EQ(h.observer.calls, (std::vector<std::string>{"charging"}));
    h.observer.clear();
    raise(EventCode::Battery, 0x6402);  // charged, off cable: shows its level
    EXPECT_EQ(h.observer.calls, (std::vector<std::string>{"battery 100"}));
}

TEST_F(OnReceiver, BatteryOnCableShowsChargingAndDropsTheReceiverLink) {
    h.links.wiredLink = 1;
    const int levelBefore = h.link().controller().batteryLevel();
    raise(EventCode::Battery, 0x5A01);
    EXPECT_EQ(h.links.wirelessLink, 0);
    EXPECT_EQ(h.observer.calls, (std::vector<std::string>{"hide wireless", "update sections", "charging"}));
    h.observer.clear();
    // Every marked receiver report first brings the link up; the battery event on cable
    // then takes it down again.
    raise(EventCode::Battery, 0x6402);
    EXPECT_EQ(h.observer.calls, (std::vector<std::string>{"show wireless", "update sections", "hide wireless",
                                                          "update sections", "charged"}));
    EXPECT_EQ(h.links.wirelessLink, 0);
    EXPECT_EQ(h.link().controller().batteryLevel(), levelBefore);
}

TEST_F(OnReceiver, EventsWithAnotherMarkerReachNoDispatcher) {
    h.link().controller().DispatchDeviceEvent({0x10EF, 3}, Link::Receiver);
    h.link().controller().DispatchBleEvent({0x10EF, 3});
    EXPECT_EQ(h.profiles.current->dpiStep, 1);
    EXPECT_TRUE(h.observer.events.empty());
}

TEST_F(OnReceiver, WithoutACurrentProfileSettingsEventsChangeNothing) {
    h.profiles.current.reset();
    h.mouse().pressDpiButton(Link::Receiver);
    raise(EventCode::PollingRate, 1);
    raise(EventCode::LightEffect, 0x30);
    EXPECT_EQ(h.profiles.stores, 0);
    EXPECT_EQ(h.loop.count(UM_SHOW_DPI), 0);
}

// ---- Bluetooth LE ----

class OnBle : public ::testing::Test {
protected:
    void SetUp() override {
        h.start();
        ASSERT_EQ(h.links.bleLink, 1);
        h.loop.advance(2000ms);  // the subscription follows the arrival
        ASSERT_TRUE(h.link().controller().bleSubscribed());
        h.settle();
        h.observer.clear();
        h.loop.clearHistory();
    }
    void notify(std::uint8_t code, std::uint16_t value) {
        h.mouse().raise(Link::Ble, DeviceEvent::Make(code, value));
        h.settle();
    }
    DeviceHarness h{"ble"};
};

TEST_F(OnBle, ANotificationSelectsTheDpiLevelAsTheReceiverReportDoes) {
    notify(EventCode::DpiLevel, 2);
    EXPECT_EQ(h.profiles.current->dpiStep, 1);
    EXPECT_TRUE(h.observer.saw("select dpi 2"));
    EXPECT_EQ(h.loop.count(UM_SHOW_DPI), 1);
    EXPECT_EQ(h.profiles.stores, 1);
    EXPECT_EQ(h.observer.events, (std::vector<std::string>{"event ble 10ee 0002"}));
}

TEST_F(OnBle, BatteryNotificationsShowTheirStateWithoutTouchingTheLinks) {
    notify(EventCode::Battery, 0x0003);
    EXPECT_EQ(h.observer.calls, (std::vector<std::string>{"charging"}));
    h.observer.clear();
    notify(EventCode::Battery, 0x3C01);
    EXPECT_EQ(h.observer.calls, (std::vector<std::string>{"battery 60"}));
    h.observer.clear();
    notify(EventCode::Battery, 0x0002);
    EXPECT_EQ(h.observer.calls, (std::vector<std::string>{"charged"}));
    h.observer.clear();
    notify(EventCode::Battery, 0x6501);  // 101%: on battery, no level to show
    EXPECT_EQ(h.observer.calls, (std::vector<std::string>{"on battery"}));
    EXPECT_EQ(h.links.wirelessLink, 0);
    EXPECT_FALSE(h.loop.armed(TimerId::WirelessTimeout));
}

TEST_F(OnBle, APollingChangeIsStoredWithoutSelectingAnOption) {
    notify(EventCode::PollingRate, 2);
    EXPECT_EQ(h.profiles.current->pollingRate, 2);
    EXPECT_FALSE(h.observer.saw("select polling 2"));
    EXPECT_EQ(h.profiles.stores, 1);
}

TEST_F(OnBle, AnAcknowledgementIsRecordedOnTheNotifyingThread) {
    h.links.ackReceived = 0;
    h.mouse().raise(Link::Ble, DeviceEvent::Make(EventCode::Acknowledge, 0));
    EXPECT_EQ(h.links.ackReceived, 1);
}

TEST_F(OnBle, AnEmptyOrShortNotificationIsHarmless) {
    h.link().controller().onBleNotification({});
    const std::uint8_t shortValue[2] = {0xEE, 0x10};
    h.link().controller().onBleNotification(shortValue);  // level 0: ignored
    h.settle();
    EXPECT_EQ(h.profiles.current->dpiStep, 1);
    EXPECT_EQ(h.profiles.stores, 0);
}

}  // namespace
}  // namespace halvern::test
