// The cable, reached through the driver library exactly as on hardware, and the
// Bluetooth LE mouse: how each link comes up and goes down, and what that shows.
#include <gtest/gtest.h>

#include "device/HookLibrary.h"
#include "support/DeviceHarness.h"

namespace halvern::test {
namespace {

using namespace std::chrono_literals;

HarnessOptions WithDriver() {
    HarnessOptions o;
    o.driver = true;
    return o;
}

class OnCable : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(h.stack->driver().loaded()) << h.stack->driver().error();
        h.start();
        // The library's monitor runs on a thread of its own; it is watching once it
        // has reported the device it found.
        ASSERT_TRUE(h.runUntil([&] { return h.loop.count(UM_DRIVER_PLUG) == 1; }));
        h.settle();
    }
    int cable() { return h.world->deviceOf(Link::Cable); }
    void post(std::uint32_t message, std::uintptr_t w, std::intptr_t l = 0) {
        h.loop.post({message, w, l, {}});
        h.loop.turn();
    }
    DeviceHarness h{"cable", WithDriver()};
};

TEST_F(OnCable, ACablePresentAtStartIsLinkedAndCharging) {
    EXPECT_EQ(h.links.wiredLink, 1);
    EXPECT_EQ(h.links.anyLink, 1);
    EXPECT_TRUE(h.observer.saw("show wired"));
    EXPECT_TRUE(h.observer.saw("charging from 0"));
    // The monitor reported the device it found as an attach, which changed nothing.
    EXPECT_EQ(h.links.wiredLink, 1);
    EXPECT_FALSE(h.loop.armed(TimerId::CableSettle));
}

TEST_F(OnCable, ReportsWrittenThroughTheLibraryReachTheMouse) {
    const std::uint8_t polling[9] = {0x06, 0x09, 0x01, 0x02, 0xFD, 0, 0, 0, 0};
    Transports t = h.link().transports();
    ASSERT_NE(t.driver, nullptr);
    EXPECT_GT(t.driver->setFeature(polling), 0);
    EXPECT_EQ(h.mouse().state().pollingInterval, 2);
    EXPECT_EQ(h.mouse().received().back(), std::vector<std::uint8_t>(std::begin(polling), std::end(polling)));
}

TEST_F(OnCable, EventsOfTheCableDeviceArriveThroughTheLibrary) {
    h.mouse().pressDpiButton(Link::Cable);
    ASSERT_TRUE(h.runUntil([&] { return h.profiles.stores == 1; }));
    EXPECT_EQ(h.profiles.current->dpiStep, 2);
    EXPECT_TRUE(h.observer.saw("select dpi 3"));
    EXPECT_NE(std::find(h.observer.events.begin(), h.observer.events.end(), "event cable 10ee 0003"),
              h.observer.events.end());
}

TEST_F(OnCable, UnpluggingDetachesAndReplugAttachesAfterTheDeviceSettled) {
    h.observer.clear();
    ASSERT_TRUE(h.world->unplug(cable()));
    ASSERT_TRUE(h.runUntil([&] { return h.links.wiredLink == 2; }));
    EXPECT_EQ(h.links.anyLink, 0);
    EXPECT_EQ(h.observer.calls, (std::vector<std::string>{"hide wired", "update sections", "battery cleared"}));
    const std::uint8_t polling[9] = {0x06, 0x09, 0x01, 0x02, 0xFD, 0, 0, 0, 0};
    EXPECT_EQ(h.link().transports().driver->setFeature(polling), 0);

    h.observer.clear();
    const int eventsBefore = h.loop.count(UM_DRIVER_EVENT);
    ASSERT_TRUE(h.world->plug(cable()));
    ASSERT_TRUE(
        h.runUntil([&] { return h.loop.armed(TimerId::CableSettle) && h.loop.count(UM_DRIVER_EVENT) > eventsBefore; }));
    EXPECT_EQ(h.links.wiredLink, 2);
    h.loop.advance(999ms);
    EXPECT_EQ(h.links.wiredLink, 2);
    h.loop.advance(1ms);
    EXPECT_EQ(h.links.wiredLink, 1);
    EXPECT_EQ(h.links.anyLink, 1);
    // The mouse's battery report, sent as the library opened the device, counts once
    // the cable is linked: charging, not a 2.4 GHz link.
    EXPECT_EQ(h.observer.calls,
              (std::vector<std::string>{"show wired", "update sections", "charging from 0", "charging"}));
    EXPECT_EQ(h.links.wirelessLink, 0);
    EXPECT_GT(h.link().transports().driver->setFeature(polling), 0);
}

// A detached cable (wiredLink 2) is no link: when the receiver then goes quiet, no
// link is left.
TEST(CableAndReceiver, ADetachedCableDoesNotCountAsALink) {
    DeviceHarness h("receiver and cable", WithDriver());
    ASSERT_TRUE(h.stack->driver().loaded()) << h.stack->driver().error();
    h.start();
    ASSERT_TRUE(h.runUntil([&] { return h.loop.count(UM_DRIVER_PLUG) == 1; }));
    h.settle();
    ASSERT_TRUE(h.world->unplug(h.world->deviceOf(Link::Cable)));
    ASSERT_TRUE(h.runUntil([&] { return h.links.wiredLink == 2; }));
    // The receiver's mouse speaks, so the 2.4 GHz link is up on its own.
    h.mouse().setBattery(Link::Receiver, 80, 1);
    ASSERT_TRUE(h.runUntil([&] { return h.links.wirelessLink == 1; }));
    h.settle();
    EXPECT_EQ(h.links.anyLink, 1);
    h.loop.advance(6000ms);
    EXPECT_EQ(h.links.wirelessLink, 0);
    EXPECT_EQ(h.links.wiredLink, 2);
    EXPECT_EQ(h.links.anyLink, 0);
}

TEST_F(OnCable, AnAttachOrDetachReportedTwiceActsOnce) {
    post(UM_DRIVER_PLUG, 0);
    post(UM_DRIVER_PLUG, 0);
    EXPECT_EQ(std::count(h.observer.calls.begin(), h.observer.calls.end(), "hide wired"), 1);
    h.observer.clear();
    post(UM_DRIVER_PLUG, 1);
    h.loop.advance(500ms);
    post(UM_DRIVER_PLUG, 1);
    h.loop.advance(1000ms);
    post(UM_DRIVER_PLUG, 1);
    h.loop.advance(2000ms);
    EXPECT_EQ(std::count(h.observer.calls.begin(), h.observer.calls.end(), "show wired"), 1);
    EXPECT_EQ(h.links.wiredLink, 1);
}

TEST_F(OnCable, MessagesOfTheLibraryWaitWhileTheCableSettles) {
    post(UM_DRIVER_PLUG, 0);
    post(UM_DRIVER_PLUG, 1);
    h.loop.advance(400ms);
    // A battery event and a detach come in while the attach waits: they take effect
    // after it, in order, as if the attach had held the main thread.
    post(UM_DRIVER_EVENT, 0x40EE, 0x5A01);
    post(UM_DRIVER_PLUG, 0);
    EXPECT_EQ(h.links.wiredLink, 2);
    EXPECT_EQ(h.links.wirelessLink, 0);
    h.observer.clear();
    h.loop.advance(600ms);
    EXPECT_EQ(h.links.wiredLink, 2);
    EXPECT_EQ(h.links.wirelessLink, 0);
    EXPECT_EQ(h.observer.calls,
              (std::vector<std::string>{"show wired", "update sections", "charging from 0", "charging", "hide wired",
                                        "update sections", "battery cleared"}));
    EXPECT_FALSE(h.loop.armed(TimerId::CableSettle));
}

TEST_F(OnCable, OtherPlugValuesAndEventHeadsOutsideTheRangeAreIgnored) {
    h.observer.clear();
    post(UM_DRIVER_PLUG, 7);
    post(UM_DRIVER_EVENT, 0x0FEE, 3);
    post(UM_DRIVER_EVENT, 0x90EF, 3);
    EXPECT_TRUE(h.observer.calls.empty());
    EXPECT_EQ(h.links.wiredLink, 1);
    post(UM_DRIVER_EVENT, 0x10EE, 0x10003);  // only the low 16 bits of the value count
    EXPECT_EQ(h.profiles.current->dpiStep, 2);
}

TEST_F(OnCable, AnAttachWhileBluetoothIsUpLeavesAnyLinkAlone) {
    post(UM_DRIVER_PLUG, 0);
    h.links.bleLink = 1;
    h.links.anyLink = 0;  // as the page would show it, for the test's sake
    h.loop.clearHistory();
    post(UM_DRIVER_PLUG, 1);
    h.loop.advance(1000ms);
    EXPECT_EQ(h.links.wiredLink, 1);
    EXPECT_EQ(h.links.anyLink, 0);
    EXPECT_EQ(h.loop.count(UM_LINK_CHANGED), 0);
}

TEST(DriverLibrary, AMissingLibraryLeavesTheCableUnlinked) {
    DeviceHarness h("cable");  // the library is not loaded
    h.start();
    EXPECT_EQ(h.links.wiredLink, 0);
    EXPECT_EQ(h.link().transports().driver, nullptr);
    DriverLibrary lib;
    EXPECT_FALSE(lib.load("/nonexistent"));
    EXPECT_FALSE(lib.error().empty());
    const std::uint8_t report[1] = {6};
    EXPECT_EQ(lib.openFeatureDevice(), 0);
    EXPECT_EQ(lib.setFeature(report), 0);
}

TEST(DriverLibrary, EveryEntryPointIsResolvedByName) {
    DriverLibrary lib;
    ASSERT_TRUE(lib.load(HALVERN_BIN_DIR)) << lib.error();
    for (const char* name : {"Set_HidApi", "Set_VIDPID", "Open_DevMonitor", "Open_FeatureDevice", "Close_FeatureDevice",
                             "Close_DevMonitor", "SetFeature", "GetFeature"})
        EXPECT_TRUE(lib.hasEntryPoint(name)) << name;
}

TEST(DriverLibrary, ALibraryWithoutSomeEntryPointsIsUsedForWhatItHas) {
    DriverLibrary lib;
    ASSERT_TRUE(lib.load(PARTIAL_LIBRARY_DIR)) << lib.error();
    EXPECT_TRUE(lib.hasEntryPoint("Open_FeatureDevice"));
    EXPECT_FALSE(lib.hasEntryPoint("Open_DevMonitor"));
    EXPECT_FALSE(lib.hasEntryPoint("SetFeature"));
    EXPECT_EQ(lib.openDevMonitor(nullptr, UM_DRIVER_EVENT, UM_DRIVER_PLUG), 0);
    EXPECT_EQ(lib.openFeatureDevice(), 1);
    const std::uint8_t report[1] = {6};
    EXPECT_EQ(lib.setFeature(report), 0);
}

TEST(HookLibrary, TheTableHoldsWhatTheLibraryHas) {
    HookLibrary hooks;
    ASSERT_TRUE(hooks.load(PARTIAL_LIBRARY_DIR)) << hooks.error();
    EXPECT_NE(hooks.table().installhook, nullptr);
    EXPECT_NE(hooks.table().removehook, nullptr);
    EXPECT_NE(hooks.table().enablehook, nullptr);
    EXPECT_EQ(hooks.table().installmousehook, nullptr);
    EXPECT_EQ(hooks.table().mousewheelenable, nullptr);
    EXPECT_EQ(hooks.table().enablehook(1), 1);
    hooks.free();
    EXPECT_EQ(hooks.table().installhook, nullptr);
    EXPECT_FALSE(hooks.loaded());

    HookLibrary missing;
    EXPECT_FALSE(missing.load("/nonexistent"));
    EXPECT_EQ(missing.table().removehook, nullptr);
}

TEST(HookLibrary, LoadedOnFirstUseOnlyWhenItsTableIsAskedFor) {
    HookLibrary hooks;
    ASSERT_TRUE(hooks.loadOnFirstUse(PARTIAL_LIBRARY_DIR)) << hooks.error();
    EXPECT_FALSE(hooks.opened());
    EXPECT_NE(hooks.table().installhook, nullptr);
    EXPECT_TRUE(hooks.opened());

    // Freed before anyone asked: nothing is loaded afterwards either.
    HookLibrary unused;
    ASSERT_TRUE(unused.loadOnFirstUse(PARTIAL_LIBRARY_DIR));
    unused.free();
    EXPECT_FALSE(unused.loaded());
    EXPECT_FALSE(unused.opened());

    HookLibrary missing;
    EXPECT_FALSE(missing.loadOnFirstUse("/nonexistent"));
    EXPECT_NE(missing.error().find("/nonexistent"), std::string::npos);
    EXPECT_FALSE(missing.loaded());
}

// ---- Bluetooth LE ----

TEST(BleLink, AMousePresentAtStartIsTreatedAsJustArrived) {
    DeviceHarness h("ble");
    h.start();
    EXPECT_EQ(h.links.bleLink, 1);
    EXPECT_EQ(h.links.anyLink, 1);
    EXPECT_TRUE(h.link().controller().bleConnected());
    EXPECT_TRUE(h.observer.saw("show ble"));
    EXPECT_TRUE(h.observer.saw("battery full"));
    EXPECT_TRUE(h.loop.armed(TimerId::BleSubscribe));
    EXPECT_FALSE(h.link().controller().bleSubscribed());
    h.loop.advance(1999ms);
    EXPECT_FALSE(h.link().controller().bleSubscribed());
    h.loop.advance(1ms);
    EXPECT_TRUE(h.link().controller().bleSubscribed());
    EXPECT_FALSE(h.loop.armed(TimerId::BleSubscribe));
}

TEST(BleLink, CommandsAreWrittenWholeWhileConnectedOnly) {
    DeviceHarness h("ble");
    h.start();
    std::vector<std::uint8_t> chunk(131, 0);
    chunk[0] = 0x09;
    chunk[1] = 0x83;
    chunk[2] = 1;
    chunk[7] = 1;  // loop count of a first chunk; the checksum of bytes 3..128 is 1
    chunk[130] = 1;
    ASSERT_NE(h.link().transports().ble, nullptr);
    EXPECT_EQ(h.link().transports().ble->writeCommand(chunk), 1);
    EXPECT_EQ(h.mouse().received().back(), chunk);
    EXPECT_TRUE(h.mouse().rejections().empty());

    ASSERT_TRUE(h.world->unplug(h.world->deviceOf(Link::Ble)));
    h.settle();
    EXPECT_EQ(h.links.bleLink, 0);
    const std::size_t before = h.mouse().received().size();
    EXPECT_EQ(h.link().transports().ble->writeCommand(chunk), 0);
    EXPECT_EQ(h.mouse().received().size(), before);
}

TEST(BleLink, ARemovalDisconnectsAndUnsubscribes) {
    DeviceHarness h("ble");
    h.start();
    h.loop.advance(2000ms);
    ASSERT_TRUE(h.link().controller().bleSubscribed());
    h.observer.clear();
    h.loop.clearHistory();
    ASSERT_TRUE(h.world->unplug(h.world->deviceOf(Link::Ble)));
    h.settle();
    EXPECT_EQ(h.links.bleLink, 0);
    EXPECT_EQ(h.links.anyLink, 0);
    EXPECT_FALSE(h.link().controller().bleSubscribed());
    EXPECT_FALSE(h.link().controller().bleConnected());
    EXPECT_EQ(h.observer.calls, (std::vector<std::string>{"on battery", "hide ble"}));
    EXPECT_EQ(h.loop.count(UM_LINK_CHANGED), 1);
}

TEST(BleLink, ADisconnectBeforeTheSubscriptionDelayCancelsIt) {
    DeviceHarness h("ble");
    h.start();
    h.loop.advance(1500ms);
    ASSERT_TRUE(h.world->unplug(h.world->deviceOf(Link::Ble)));
    h.settle();
    EXPECT_FALSE(h.loop.armed(TimerId::BleSubscribe));
    h.loop.advance(5000ms);
    EXPECT_FALSE(h.link().controller().bleSubscribed());
}

TEST(BleLink, AnArrivalWhileConnectedDoesNothingAndAReconnectSubscribesAgain) {
    DeviceHarness h("ble");
    h.start();
    const int ble = h.world->deviceOf(Link::Ble);
    h.observer.clear();
    h.link().discovery().OnDeviceChange(DeviceChange::Arrival, h.world->interfaceNamesOf(ble).front());
    EXPECT_TRUE(h.observer.calls.empty());

    ASSERT_TRUE(h.world->unplug(ble));
    h.settle();
    ASSERT_TRUE(h.world->plug(ble));
    h.settle();
    EXPECT_EQ(h.links.bleLink, 1);
    h.loop.advance(2000ms);
    EXPECT_TRUE(h.link().controller().bleSubscribed());
}

TEST(BleLink, ConnectingDropsTheReceiverLink) {
    DeviceHarness h("receiver");
    h.start();
    ASSERT_TRUE(h.runUntil([&] { return h.links.wirelessLink == 1; }));
    h.settle();
    h.observer.clear();
    h.link().controller().SetBleLink(true);
    EXPECT_EQ(h.links.wirelessLink, 0);
    EXPECT_EQ(h.links.anyLink, 1);
    EXPECT_FALSE(h.loop.armed(TimerId::WirelessTimeout));
    EXPECT_TRUE(h.observer.saw("hide wireless"));
}

}  // namespace
}  // namespace halvern::test
