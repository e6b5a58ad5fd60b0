// Conversations with the virtual mouse behind its 2.4 GHz receiver: how the link finds
// the receiver, follows it as it comes and goes, and which receiver becomes active.
#include <gtest/gtest.h>

#include "support/DeviceHarness.h"
#include "device/WindowIds.h"
#include "device/DeviceNames.h"

namespace halvern::test {
namespace {

using namespace std::chrono_literals;

int ReceiverDevice(DeviceHarness& h, int nth = 0) { return h.world->deviceOf(Link::Receiver, nth); }

// One receiver found: one feature slot, one input slot and one reader on it.
void ExpectOneReceiver(DeviceHarness& h) {
    EXPECT_EQ(h.link().discovery().featureCount(), 1);
    EXPECT_EQ(h.link().discovery().inputCount(), 1);
    EXPECT_EQ(h.link().discovery().readerCount(), 1);
}

// Runs until the mouse behind the receiver has spoken, then lets what it started settle.
::testing::AssertionResult MouseSpoke(DeviceHarness& h) {
    if (!h.runUntil([&] { return h.links.wirelessLink == 1; }))
        return ::testing::AssertionFailure() << "the mouse behind the receiver never spoke";
    h.settle();
    return ::testing::AssertionSuccess();
}

TEST(ReceiverLink, AReceiverWhoseMouseSpeaksBecomesTheActiveLink) {
    DeviceHarness h("receiver");
    h.start();
    ExpectOneReceiver(h);

    // The mouse reports its battery as the receiver opens: a live mouse.
    ASSERT_TRUE(MouseSpoke(h));
    EXPECT_EQ(h.links.anyLink, 1);
    EXPECT_TRUE(h.observer.saw("show wireless"));
    EXPECT_TRUE(h.observer.saw("battery 85"));
    EXPECT_GT(h.loop.count(UM_LINK_CHANGED), 0);
    EXPECT_EQ(h.link().discovery().activeSlot().devicePath, h.world->commandPathOf(ReceiverDevice(h)));
    ASSERT_TRUE(h.link().discovery().activeReceiver().featureHandle());
    EXPECT_TRUE(h.loop.armed(TimerId::WirelessTimeout));
}

TEST(ReceiverLink, CollectionsOfAnotherUsageArePassedOver) {
    DeviceHarness h("receiver with extra collections");
    h.start();
    ExpectOneReceiver(h);
    ASSERT_TRUE(MouseSpoke(h));
    EXPECT_EQ(h.link().discovery().activeSlot().devicePath, h.world->commandPathOf(ReceiverDevice(h)));
}

TEST(ReceiverLink, AReaderOfAnEarlierEnumerationCannotMakeItsSlotActive) {
    DeviceHarness h("quiet receiver");
    h.start();
    ASSERT_EQ(h.link().discovery().readerCount(), 1);
    const std::uint32_t generation = h.link().discovery().enumerations();
    // The reader's word arrives after the tables it speaks of were rebuilt.
    h.link().handleMessage(kUmReaderActive, 0, static_cast<std::intptr_t>(generation - 1));
    EXPECT_FALSE(h.link().discovery().activeReceiver().featureHandle());
    EXPECT_EQ(h.links.wirelessLink, 0);
    // The same word from this enumeration's reader is taken.
    h.link().handleMessage(kUmReaderActive, 0, static_cast<std::intptr_t>(generation));
    EXPECT_TRUE(h.link().discovery().activeReceiver().featureHandle());
}

TEST(ReceiverLink, WithoutEventsForSixSecondsTheLinkIsTakenAsLost) {
    DeviceHarness h("receiver");
    h.start();
    ASSERT_TRUE(MouseSpoke(h));
    h.loop.advance(5999ms);
    EXPECT_EQ(h.links.wirelessLink, 1);
    h.mouse().setBattery(Link::Receiver, 80, 1);  // an event re-arms the watchdog
    h.settle();
    h.loop.advance(5999ms);
    EXPECT_EQ(h.links.wirelessLink, 1);
    h.observer.clear();
    h.loop.advance(1ms);
    EXPECT_EQ(h.links.wirelessLink, 0);
    EXPECT_EQ(h.links.anyLink, 0);
    EXPECT_TRUE(h.observer.saw("hide wireless"));
    EXPECT_FALSE(h.loop.armed(TimerId::WirelessTimeout));
}

TEST(ReceiverLink, ABurstOfArrivalsGivesOneEnumerationASecondAfterTheLast) {
    DeviceHarness h("unplugged receiver");
    h.start();
    ASSERT_EQ(h.link().discovery().inputCount(), 0);
    const std::uint32_t before = h.link().discovery().enumerations();

    // Plugging a receiver announces each of its collections; here four in 600 ms.
    ASSERT_TRUE(h.world->plug(ReceiverDevice(h)));
    std::string name = h.world->interfaceNamesOf(ReceiverDevice(h)).back();
    h.loop.turn();
    h.loop.advance(300ms);
    h.link().discovery().OnDeviceChange(DeviceChange::Arrival, name);
    h.loop.advance(300ms);
    h.link().discovery().OnDeviceChange(DeviceChange::Arrival, name);
    h.loop.advance(999ms);
    EXPECT_EQ(h.link().discovery().enumerations(), before);
    h.loop.advance(1ms);
    EXPECT_EQ(h.link().discovery().enumerations(), before + 1);
    EXPECT_EQ(h.link().discovery().inputCount(), 1);
    h.loop.advance(5000ms);
    EXPECT_EQ(h.link().discovery().enumerations(), before + 1);
    ASSERT_TRUE(h.runUntil([&] { return h.links.wirelessLink == 1; }));
}

TEST(ReceiverLink, ArrivalsOfOtherDevicesChangeNothing) {
    DeviceHarness h("receiver");
    h.start();
    h.link().discovery().OnDeviceChange(DeviceChange::Arrival,
                                        ComposeInterfaceName(HidBus::Usb, 0x046D, 0xC52B, "/dev/hidraw9"));
    h.link().discovery().OnDeviceChange(DeviceChange::NodesChanged, "");
    EXPECT_FALSE(h.loop.armed(TimerId::Reenumerate));
    const std::uint32_t before = h.link().discovery().enumerations();
    h.link().discovery().OnDeviceChange(DeviceChange::RemoveComplete,
                                        ComposeInterfaceName(HidBus::Usb, 0x046D, 0xC52B, h.world->inputPathOf(0)));
    EXPECT_EQ(h.link().discovery().inputCount(), 1);
    EXPECT_EQ(h.link().discovery().enumerations(), before);
}

TEST(ReceiverLink, UnpluggingTheActiveReceiverClearsTheLinkAndClosesItsCollections) {
    DeviceHarness h("receiver");
    h.start();
    ASSERT_TRUE(MouseSpoke(h));
    h.observer.clear();
    h.loop.clearHistory();

    ASSERT_TRUE(h.world->unplug(ReceiverDevice(h)));
    h.settle();
    EXPECT_EQ(h.links.wirelessLink, 0);
    EXPECT_EQ(h.links.anyLink, 0);
    EXPECT_TRUE(h.observer.saw("hide wireless"));
    EXPECT_EQ(h.loop.count(UM_LINK_CHANGED), 1);
    EXPECT_FALSE(h.link().discovery().activeSlot().filled());
    EXPECT_FALSE(h.link().discovery().activeReceiver().featureHandle());
    EXPECT_EQ(h.link().discovery().readerCount(), 0);
    EXPECT_EQ(h.world->hid().openHandles(), 0);
}

TEST(ReceiverLink, AReplugLinksAgainAfterTheNextEnumeration) {
    DeviceHarness h("receiver");
    h.start();
    ASSERT_TRUE(h.runUntil([&] { return h.links.wirelessLink == 1; }));
    ASSERT_TRUE(h.world->unplug(ReceiverDevice(h)));
    h.settle();
    ASSERT_EQ(h.links.wirelessLink, 0);
    ASSERT_TRUE(h.world->plug(ReceiverDevice(h)));
    h.settle();
    EXPECT_TRUE(h.loop.armed(TimerId::Reenumerate));
    h.loop.advance(1000ms);
    ASSERT_TRUE(h.runUntil([&] { return h.links.wirelessLink == 1; }));
    EXPECT_EQ(h.link().discovery().activeSlot().devicePath, h.world->commandPathOf(ReceiverDevice(h)));
}

TEST(ReceiverLink, WithTwoReceiversTheLastToSpeakFirstIsActive) {
    DeviceHarness h("two receivers");
    h.start();
    ASSERT_EQ(h.link().discovery().inputCount(), 2);
    const std::string first = h.world->commandPathOf(ReceiverDevice(h, 0));
    const std::string second = h.world->commandPathOf(ReceiverDevice(h, 1));

    h.mouse(1).setBattery(Link::Receiver, 50, 1);
    h.settle();
    EXPECT_EQ(h.link().discovery().activeSlot().devicePath, second);
    h.mouse(0).setBattery(Link::Receiver, 60, 1);
    h.settle();
    EXPECT_EQ(h.link().discovery().activeSlot().devicePath, first);

    // Later events of the other receiver are read, but do not make it active again.
    h.mouse(1).pressDpiButton(Link::Receiver);
    h.settle();
    EXPECT_EQ(h.link().discovery().activeSlot().devicePath, first);
    EXPECT_EQ(h.profiles.current->dpiStep, 2);

    // Commands go to the active receiver's mouse only.
    const std::uint8_t polling[9] = {0x06, 0x09, 0x01, 0x01, 0xFE, 0, 0, 0, 0};
    EXPECT_EQ(h.link().discovery().activeReceiver().sendFeatureReport(polling), 9);
    EXPECT_EQ(h.mouse(0).commandsAccepted(), 1);
    EXPECT_EQ(h.mouse(1).commandsAccepted(), 0);
}

TEST(ReceiverLink, UnpluggingTheActiveOfTwoReceiversKeepsTheOtherOneRead) {
    DeviceHarness h("two receivers");
    h.start();
    h.mouse(0).setBattery(Link::Receiver, 60, 1);
    h.settle();
    h.mouse(1).setBattery(Link::Receiver, 50, 1);
    h.settle();
    ASSERT_EQ(h.link().discovery().activeSlot().devicePath, h.world->commandPathOf(ReceiverDevice(h, 1)));

    ASSERT_TRUE(h.world->unplug(ReceiverDevice(h, 1)));
    h.settle();
    EXPECT_EQ(h.links.wirelessLink, 0);
    EXPECT_EQ(h.link().discovery().readerCount(), 1);

    // The first receiver's reader still runs and its mouse is still heard.
    h.mouse(0).pressDpiButton(Link::Receiver);
    h.settle();
    EXPECT_EQ(h.links.wirelessLink, 1);
    EXPECT_EQ(h.profiles.current->dpiStep, 2);
}

TEST(ReceiverLink, AFirstReportWithoutTheMarkerLeavesTheReaderIgnoredUntilTheNextEnumeration) {
    DeviceHarness h("quiet receiver");
    h.start();
    const int receiver = ReceiverDevice(h);
    h.world->sendRaw(receiver, {0x03, 0x00, 0x10, 0x03, 0x00});
    h.settle();
    h.mouse().pressDpiButton(Link::Receiver);
    h.mouse().setBattery(Link::Receiver, 70, 1);
    h.settle();
    EXPECT_EQ(h.links.wirelessLink, 0);
    EXPECT_EQ(h.profiles.current->dpiStep, 1);
    EXPECT_EQ(h.profiles.stores, 0);
    EXPECT_TRUE(h.observer.events.empty());
    EXPECT_FALSE(h.link().discovery().activeSlot().filled());

    // A new enumeration gives the reader a new first report.
    h.link().discovery().OnDeviceChange(DeviceChange::Arrival, h.world->interfaceNamesOf(receiver).back());
    h.loop.advance(1000ms);
    h.mouse().pressDpiButton(Link::Receiver);
    h.settle();
    EXPECT_EQ(h.links.wirelessLink, 1);
    EXPECT_EQ(h.profiles.current->dpiStep, 3);
    EXPECT_TRUE(h.link().discovery().activeSlot().filled());
}

TEST(ReceiverLink, ReportsWithAnotherIdOrWithoutTheMarkerAreDropped) {
    DeviceHarness h("receiver");
    h.start();
    ASSERT_TRUE(MouseSpoke(h));
    h.observer.clear();
    const int receiver = ReceiverDevice(h);
    h.world->sendRaw(receiver, {0x04, 0xEE, 0x10, 0x05, 0x00});        // another report id
    h.world->sendRaw(receiver, {0x03, 0xEF, 0x10, 0x05, 0x00});        // another marker
    h.world->sendRaw(receiver, {0x03});                                // short
    h.world->sendRaw(receiver, std::vector<std::uint8_t>(300, 0xEE));  // longer than any report
    h.settle();
    EXPECT_TRUE(h.observer.events.empty());
    EXPECT_EQ(h.profiles.current->dpiStep, 1);
    EXPECT_EQ(h.links.wirelessLink, 1);
}

TEST(ReceiverLink, AReceiverPulledInTheMiddleOfATransferFailsTheRestAndIsDropped) {
    DeviceHarness h("receiver");
    h.start();
    ASSERT_TRUE(MouseSpoke(h));
    const std::uint8_t polling[9] = {0x06, 0x09, 0x01, 0x01, 0xFE, 0, 0, 0, 0};
    ActiveReceiver& active = h.link().discovery().activeReceiver();
    h.world->unplugAfter(ReceiverDevice(h), 2);
    EXPECT_EQ(active.sendFeatureReport(polling), 9);
    EXPECT_EQ(active.sendFeatureReport(polling), 9);
    EXPECT_EQ(active.sendFeatureReport(polling), -1);
    h.settle();
    EXPECT_FALSE(h.link().discovery().activeSlot().filled());
    EXPECT_EQ(h.link().discovery().readerCount(), 0);
    EXPECT_EQ(active.sendFeatureReport(polling), -1);
    EXPECT_EQ(h.mouse().commandsAccepted(), 2);
}

TEST(ReceiverLink, ACollectionThatCannotBeOpenedIsSkippedAndNamed) {
    DeviceHarness h("receiver");
    h.world->hid().setOpenError(h.world->inputPathOf(ReceiverDevice(h)), HidOpenError::PermissionDenied);
    h.start();
    EXPECT_EQ(h.link().discovery().featureCount(), 1);
    EXPECT_EQ(h.link().discovery().inputCount(), 0);
    EXPECT_EQ(h.link().discovery().readerCount(), 0);
    ASSERT_EQ(h.link().discovery().openFailures().size(), 1u);
    EXPECT_EQ(h.link().discovery().openFailures()[0].error, HidOpenError::PermissionDenied);
    EXPECT_EQ(h.link().discovery().openFailures()[0].path, h.world->inputPathOf(ReceiverDevice(h)));
}

std::array<std::uint8_t, kInputReportBuffer> Report(std::initializer_list<std::uint8_t> bytes) {
    std::array<std::uint8_t, kInputReportBuffer> r{};
    std::copy(bytes.begin(), bytes.end(), r.begin());
    return r;
}

TEST(ReaderDecision, OnlyAPairedReaderWhoseFirstReportIsMarkedIsHeard) {
    ReaderState unpaired;
    EXPECT_FALSE(ReadReport(unpaired, Report({0x03, 0xEE, 0x10, 0x02})).becameActive);
    EXPECT_FALSE(ReadReport(unpaired, Report({0x03, 0xEE, 0x10, 0x02})).event);

    ReaderState paired{true};
    ReportOutcome first = ReadReport(paired, Report({0x05, 0xEE, 0x10, 0x02}));
    EXPECT_TRUE(first.becameActive);
    EXPECT_FALSE(first.event);  // marked, but report id 5
    ReportOutcome second = ReadReport(paired, Report({0x03, 0xEE, 0x10, 0x02}));
    EXPECT_FALSE(second.becameActive);  // only the first report decides
    ASSERT_TRUE(second.event);
    EXPECT_EQ(*second.event, DeviceEvent::Make(EventCode::DpiLevel, 2));
    EXPECT_FALSE(ReadReport(paired, Report({0x03, 0x00, 0x10, 0x02})).event);

    ReaderState ignored{true};
    EXPECT_FALSE(ReadReport(ignored, Report({0x03, 0x00, 0x10, 0x02})).becameActive);
    EXPECT_FALSE(ReadReport(ignored, Report({0x03, 0xEE, 0x10, 0x02})).event);
}

}  // namespace
}  // namespace halvern::test
