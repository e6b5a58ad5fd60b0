#include "protocol/SendPath.h"

#include <gtest/gtest.h>

#include "protocol/CommandReports.h"
#include "protocol/RecordingTransports.h"
#include "support/Hex.h"
#include "support/VirtualClock.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;
using test::VirtualClock;

// A mouse on whichever links a test switches on, a recorder behind every transport,
// and virtual time.
struct Bench {
    LinkState links;
    VirtualClock clock;
    RecordingTransports mouse{&links, &clock};
    SendPath path{links, mouse.transports(), clock};

    Bench() { mouse.acknowledgeAtOnce = false; }

    std::vector<Ms> writeTimes() const {
        std::vector<Ms> at;
        for (const WrittenBuffer& w : mouse.written()) at.push_back(w.at);
        return at;
    }
};

Report LightReport() { return BuildLightPowerReport(*MouseProfile::Create(u"P")); }
Report PollingReport() { return BuildPollingReport(*MouseProfile::Create(u"P")); }

Report Chunk() {
    ButtonAssignment b;
    b.function = ButtonFunction::Macro;
    b.macroActionCount = 3;
    return BuildMacroChunks(b, 5)[0];
}

std::vector<Ms> Times(std::initializer_list<int> ms) {
    std::vector<Ms> out;
    for (int m : ms) out.emplace_back(m);
    return out;
}

TEST(SendPathCable, AReportGoesOnceAndPausesWhateverTheLibrarySays) {
    for (int result : {1, 0, 7}) {
        Bench b;
        b.links.wiredLink = 1;
        b.mouse.driverResult = result;
        EXPECT_EQ(b.path.sendCommand(LightReport().bytes()), result != 0 ? Delivery::Written : Delivery::Failed);
        ASSERT_EQ(b.mouse.written().size(), 1u);
        EXPECT_EQ(test::Hex(b.mouse.written()[0].bytes), test::Hex(LightReport().bytes()));
        EXPECT_EQ(b.mouse.written()[0].link, TransportLink::Cable);
        EXPECT_EQ(b.clock.sleeps(), Times({200}));
    }
}

TEST(SendPathCable, MacroChunkGoesInThreePartsAndAFailedPartSkipsItsPause) {
    Bench b;
    b.links.wiredLink = 1;
    Report chunk = Chunk();
    EXPECT_EQ(b.path.sendCommand(chunk.bytes()), Delivery::Written);
    auto parts = SplitMacroChunk(chunk.bytes(), SplitLink::Driver);
    ASSERT_EQ(b.mouse.written().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(test::Hex(b.mouse.written()[i].bytes), test::Hex(parts[i].bytes()));
        EXPECT_EQ(b.mouse.written()[i].bytes[1], 0x40);
    }
    EXPECT_EQ(b.clock.sleeps(), Times({200, 200, 200}));

    // The library fails on one part: that part's pause is skipped, the parts after it
    // still go, and the chunk as a whole did not reach the mouse.
    struct Flaky final : DriverFeatureTransport {
        int calls = 0;
        int failOn = 0;
        int setFeature(std::span<const std::uint8_t>) override { return ++calls == failOn ? 0 : 1; }
    };
    for (int failOn : {1, 2, 3}) {
        VirtualClock clock;
        Flaky flaky;
        flaky.failOn = failOn;
        SendPath path(b.links, {&flaky, nullptr, nullptr}, clock);
        EXPECT_EQ(path.sendCommand(chunk.bytes()), Delivery::Failed) << failOn;
        EXPECT_EQ(flaky.calls, 3);
        EXPECT_EQ(clock.sleeps(), Times({200, 200}));
    }
}

TEST(SendPathCable, WinsOverTheReceiverWhenBothAreUp) {
    Bench b;
    b.links.wiredLink = 1;
    b.links.wirelessLink = 1;
    b.links.bleLink = 1;
    b.path.sendCommand(LightReport().bytes());
    b.path.sendCommand(Chunk().bytes());
    for (const WrittenBuffer& w : b.mouse.written()) EXPECT_EQ(w.link, TransportLink::Cable);
    EXPECT_EQ(b.mouse.written().size(), 4u);
}

TEST(SendPathReceiver, AnAcknowledgementDuringTheThirdAttemptEndsTheRetries) {
    Bench b;
    b.links.wirelessLink = 1;
    b.clock.at(1200ms, [&] { b.links.recordAcknowledgement(0x0000); });
    EXPECT_EQ(b.path.sendCommand(LightReport().bytes()), Delivery::Confirmed);
    EXPECT_EQ(b.writeTimes(), Times({0, 500, 1000}));
    EXPECT_EQ(b.clock.sleeps(), Times({500, 500, 500}));
    for (const WrittenBuffer& w : b.mouse.written()) EXPECT_EQ(w.link, TransportLink::Receiver);
}

TEST(SendPathReceiver, AMouseThatNeverAnswersGetsTenAttemptsAndCountsAsUnconfirmed) {
    Bench b;
    b.links.wirelessLink = 5;  // any non-zero value is a live receiver here
    // A negative answer is no answer: it clears an earlier success.
    b.clock.at(700ms, [&] {
        b.links.recordAcknowledgement(0x0000);
        b.links.recordAcknowledgement(0x0001);
    });
    EXPECT_EQ(b.path.sendCommand(LightReport().bytes()), Delivery::Unconfirmed);
    EXPECT_EQ(b.mouse.written().size(), 10u);
    EXPECT_EQ(b.clock.sleptInTotal(), 5000ms);
}

TEST(SendPathReceiver, AnEarlierAcknowledgementIsClearedSoOneAttemptIsAlwaysMade) {
    Bench b;
    b.links.wirelessLink = 1;
    b.links.ackReceived = 1;
    b.clock.at(0ms, [&] { b.links.recordAcknowledgement(0); });  // the mouse answers the first attempt
    EXPECT_EQ(b.path.sendCommand(LightReport().bytes()), Delivery::Confirmed);
    EXPECT_EQ(b.mouse.written().size(), 1u);
    EXPECT_EQ(b.clock.sleeps(), Times({500}));
}

TEST(SendPathReceiver, MacroChunkGoesInPassesOfThreePartsWithALongPauseAfterEach) {
    Bench b;
    b.links.wirelessLink = 1;
    Report chunk = Chunk();
    b.clock.at(3500ms, [&] { b.links.recordAcknowledgement(0); });  // during the second pass
    EXPECT_EQ(b.path.sendCommand(chunk.bytes()), Delivery::Confirmed);
    EXPECT_EQ(b.writeTimes(), Times({0, 1000, 2000, 3000, 4000, 5000}));
    EXPECT_EQ(b.clock.sleeps(), std::vector<Ms>(6, 1000ms));
    auto parts = SplitMacroChunk(chunk.bytes(), SplitLink::Receiver);
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(test::Hex(b.mouse.written()[i].bytes), test::Hex(parts[i % 3].bytes()));
    EXPECT_EQ(b.mouse.written()[2].bytes[1], 0x0C);

    Bench silent;
    silent.links.wirelessLink = 1;
    EXPECT_EQ(silent.path.sendCommand(chunk.bytes()), Delivery::Unconfirmed);
    EXPECT_EQ(silent.mouse.written().size(), 30u);
    EXPECT_EQ(silent.clock.sleptInTotal(), 30000ms);
}

TEST(SendPathReceiver, WriteErrorsStillCostTheirAttemptAndWithoutAWriteNothingWasSent) {
    Bench b;
    b.links.wirelessLink = 1;
    struct Failing final : ReceiverFeatureTransport {
        int writes = 0;
        int result = -1;
        int sendFeatureReport(std::span<const std::uint8_t>) override { return ++writes, writes == 4 ? result : -1; }
    } failing;
    SendPath path(b.links, {nullptr, &failing, nullptr}, b.clock);
    EXPECT_EQ(path.sendCommand(LightReport().bytes()), Delivery::Failed);
    EXPECT_EQ(failing.writes, 10);
    EXPECT_EQ(b.clock.sleptInTotal(), 5000ms);

    // One write of ten that went out makes the report unconfirmed rather than unsent.
    failing.writes = 0;
    failing.result = 15;
    EXPECT_EQ(path.sendCommand(LightReport().bytes()), Delivery::Unconfirmed);
    failing.writes = 0;
    failing.result = 0;  // nothing written is no write
    EXPECT_EQ(path.sendCommand(LightReport().bytes()), Delivery::Failed);
}

TEST(SendPathReceiver, AnAcknowledgementDuringTheLastPauseStillConfirms) {
    Bench b;
    b.links.wirelessLink = 1;
    b.clock.at(4700ms, [&] { b.links.recordAcknowledgement(0); });
    EXPECT_EQ(b.path.sendCommand(LightReport().bytes()), Delivery::Confirmed);
    EXPECT_EQ(b.mouse.written().size(), 10u);
}

TEST(SendPathBle, ReportsGoWholeAndThePollingReportIsRefused) {
    Bench b;
    b.links.bleLink = 1;
    EXPECT_EQ(b.path.sendCommand(PollingReport().bytes()), Delivery::Refused);
    EXPECT_TRUE(b.mouse.written().empty());
    EXPECT_TRUE(b.clock.sleeps().empty());

    EXPECT_EQ(b.path.sendCommand(Chunk().bytes()), Delivery::Written);
    ASSERT_EQ(b.mouse.written().size(), 1u);
    EXPECT_EQ(b.mouse.written()[0].bytes.size(), 131u);
    EXPECT_EQ(b.mouse.written()[0].link, TransportLink::Ble);
    EXPECT_EQ(b.clock.sleeps(), Times({500}));

    b.mouse.bleResult = 0;
    EXPECT_EQ(b.path.sendCommand(LightReport().bytes()), Delivery::Failed);
    EXPECT_EQ(b.clock.sleeps(), Times({500, 500}));
}

TEST(SendPath, WithoutAUsableLinkNothingIsWritten) {
    Bench b;
    EXPECT_EQ(b.path.sendCommand(LightReport().bytes()), Delivery::NoLink);
    EXPECT_EQ(b.path.sendCommand({}), Delivery::Refused);
    b.links.wiredLink = 2;  // the cable counts only when exactly 1
    b.links.anyLink = 1;    // not a link of its own
    EXPECT_EQ(b.path.sendCommand(LightReport().bytes()), Delivery::NoLink);
    EXPECT_TRUE(b.mouse.written().empty());
    EXPECT_TRUE(b.clock.sleeps().empty());

    // A link whose transport is missing is passed over for the next one.
    b.links.wiredLink = 1;
    b.links.bleLink = 1;
    SendPath noDriver(b.links, {nullptr, nullptr, &b.mouse}, b.clock);
    EXPECT_EQ(noDriver.sendCommand(LightReport().bytes()), Delivery::Written);
    ASSERT_EQ(b.mouse.written().size(), 1u);
    EXPECT_EQ(b.mouse.written()[0].link, TransportLink::Ble);
}

// ---- stopping ----------------------------------------------------------------------

TEST(SendPathStop, AStopEndsAChunkToASilentMouseWithinThePauseInProgress) {
    Bench b;
    b.links.wirelessLink = 1;
    std::stop_source quit;
    b.clock.at(6500ms, [&] { quit.request_stop(); });  // in the pause after the seventh part
    EXPECT_EQ(b.path.sendCommand(Chunk().bytes(), quit.get_token()), Delivery::Stopped);
    EXPECT_EQ(b.mouse.written().size(), 7u);
    EXPECT_EQ(b.clock.now(), 6500ms);

    Bench report;
    report.links.wirelessLink = 1;
    std::stop_source quitReport;
    report.clock.at(1200ms, [&] { quitReport.request_stop(); });
    EXPECT_EQ(report.path.sendCommand(LightReport().bytes(), quitReport.get_token()), Delivery::Stopped);
    EXPECT_EQ(report.writeTimes(), Times({0, 500, 1000}));
    EXPECT_EQ(report.clock.now(), 1200ms);
}

TEST(SendPathStop, AStopRequestedBeforeTheSendWritesNothingOnAnyLink) {
    std::stop_source quit;
    quit.request_stop();
    for (TransportLink link : {TransportLink::Cable, TransportLink::Receiver, TransportLink::Ble}) {
        Bench b;
        b.links.flag(link) = 1;
        EXPECT_EQ(b.path.sendCommand(LightReport().bytes(), quit.get_token()), Delivery::Stopped);
        EXPECT_EQ(b.path.sendCommand(Chunk().bytes(), quit.get_token()), Delivery::Stopped);
        EXPECT_TRUE(b.mouse.written().empty());
        EXPECT_EQ(b.clock.now(), 0ms);
    }
}

TEST(SendPathStop, AWrittenReportKeepsItsResultAndLosesOnlyTheRestOfItsPause) {
    for (TransportLink link : {TransportLink::Cable, TransportLink::Ble}) {
        Bench b;
        b.links.flag(link) = 1;
        std::stop_source quit;
        b.clock.at(50ms, [&] { quit.request_stop(); });
        EXPECT_EQ(b.path.sendCommand(LightReport().bytes(), quit.get_token()), Delivery::Written);
        EXPECT_EQ(b.clock.now(), 50ms);
    }
    // The rest of a chunk's parts do not go.
    Bench b;
    b.links.wiredLink = 1;
    std::stop_source quit;
    b.clock.at(250ms, [&] { quit.request_stop(); });
    EXPECT_EQ(b.path.sendCommand(Chunk().bytes(), quit.get_token()), Delivery::Stopped);
    EXPECT_EQ(b.mouse.written().size(), 2u);
    EXPECT_EQ(b.clock.now(), 250ms);
}

}  // namespace
}  // namespace halvern
