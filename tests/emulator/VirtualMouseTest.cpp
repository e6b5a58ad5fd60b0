// The virtual mouse's firmware: every buffer is checked before it changes anything, and
// what it keeps is what the reports said. The reports here are built by hand from the
// report formats, not by the program's builders, so the firmware checks those.
#include <gtest/gtest.h>

#include <numeric>

#include "Scheduler.h"
#include "SettlingClock.h"
#include "VirtualMouse.h"

namespace halvern::emu {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Writes the 16-bit sum of bytes [3, at) high byte first at `at`.
Bytes WithSum(Bytes r, std::size_t at) {
    unsigned sum = std::accumulate(r.begin() + 3, r.begin() + static_cast<std::ptrdiff_t>(at), 0u) & 0xFFFF;
    r[at] = static_cast<std::uint8_t>(sum >> 8);
    r[at + 1] = static_cast<std::uint8_t>(sum);
    return r;
}

// The default profile's sensor report.
Bytes DefaultSensorReport() {
    Bytes r(56, 0);
    r[0] = 0x04, r[1] = 0x38, r[2] = 0x01;
    r[3] = 0, r[4] = 1, r[5] = 0x3F, r[6] = 0x20;
    const std::uint8_t regs[8] = {18, 37, 56, 75, 117, 211, 0, 0};
    for (int k = 0; k < 8; ++k) r[8 + static_cast<std::size_t>(k)] = regs[k];
    r[24] = 2;
    const std::uint8_t colors[24] = {255, 0,   0,   0,   255, 0,   0,   0,  255, 255, 255, 0,
                                     0,   255, 255, 255, 0,   255, 255, 64, 0,   255, 255, 255};
    std::copy(std::begin(colors), std::end(colors), r.begin() + 25);
    r[49] = 1;
    return WithSum(r, 50);
}

Bytes Polling(std::uint8_t interval) {
    return {0x06, 0x09, 0x01, interval, static_cast<std::uint8_t>(~interval), 0, 0, 0, 0};
}

// A chunk whose data area holds `units` (pairs of bytes), first of a macro when
// `loopCount` is not 0.
Bytes Chunk(std::uint8_t block, const std::vector<std::pair<std::uint8_t, std::uint8_t>>& units,
            std::uint8_t loopCount) {
    Bytes c(131, 0);
    c[0] = 0x09, c[1] = 0x83, c[2] = block;
    c[7] = loopCount;
    c[28] = static_cast<std::uint8_t>(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        c[29 + 2 * i] = units[i].first;
        c[30 + 2 * i] = units[i].second;
    }
    return WithSum(c, 129);
}

std::vector<Bytes> Split(const Bytes& chunk, bool receiverLastLength) {
    std::vector<Bytes> parts;
    for (int i = 0; i < 3; ++i) {
        Bytes p(64, 0);
        p[0] = 0x09;
        p[1] = (i == 2 && receiverLastLength) ? 0x0C : 0x40;
        p[2] = chunk[2];
        p[3] = static_cast<std::uint8_t>(i);
        for (std::size_t b = 0; b < 60 && 3 + 60 * static_cast<std::size_t>(i) + b < chunk.size(); ++b)
            p[4 + b] = chunk[3 + 60 * static_cast<std::size_t>(i) + b];
        parts.push_back(p);
    }
    return parts;
}

class Firmware : public ::testing::Test {
protected:
    Firmware() {
        mouse.setEventSink([this](Link link, DeviceEvent e) { events.emplace_back(link, e); });
    }
    SettlingClock clock;
    Scheduler scheduler{clock};
    VirtualMouse mouse{scheduler};
    std::vector<std::pair<Link, DeviceEvent>> events;
};

TEST_F(Firmware, ANewMouseHoldsTheDefaultProfile) {
    EXPECT_EQ(mouse.state(), ExpectedState(*MouseProfile::Create(u"x")));
}

TEST_F(Firmware, ADefaultSensorReportDecodesToTheDefaultLevels) {
    mouse.receive(Link::Receiver, Polling(8));  // something else first, so the sensor report is what restores
    ASSERT_TRUE(mouse.receive(Link::Receiver, DefaultSensorReport()));
    FirmwareState s = mouse.state();
    EXPECT_EQ(s.dpiValue, (std::array<int, 8>{16, 32, 48, 64, 100, 280, 0, 0}));
    EXPECT_EQ(s.dpiEnabled, (std::array<bool, 8>{true, true, true, true, true, true, false, false}));
    EXPECT_EQ(s.dpiLevel, 2);
    EXPECT_EQ(s.dpiColor[6], (RgbColor{255, 64, 0, 0}));
    EXPECT_EQ(mouse.commandsAccepted(), 2);
}

TEST_F(Firmware, DpiLevelsDecodeAcrossTheRanges) {
    EXPECT_EQ(DecodeDpiLevel(118, true, false), 201);
    EXPECT_EQ(DecodeDpiLevel(118, false, false), 101);
    EXPECT_EQ(DecodeDpiLevel(142, false, true), 221);
    EXPECT_EQ(DecodeDpiLevel(235, false, true), 300);
    EXPECT_EQ(DecodeDpiLevel(235, true, true), 300);
    EXPECT_EQ(DecodeDpiLevel(118, true, true), 302);
    EXPECT_EQ(DecodeDpiLevel(7, false, false), -1);  // no value has register 7
    EXPECT_EQ(DecodeDpiLevel(2, false, true), -1);   // nor a high-range register 2
}

TEST_F(Firmware, EveryMalformedReportIsRefusedAndAnsweredNegatively) {
    Bytes badSum = DefaultSensorReport();
    badSum[51] ^= 1;
    Bytes badLength = Polling(1);
    badLength[1] = 10;
    Bytes badComplement = Polling(1);
    badComplement[4] = 0xFF;
    Bytes badInterval = Polling(3);
    Bytes badRegister = DefaultSensorReport();
    badRegister[8] = 7;
    badRegister = WithSum(badRegister, 50);
    Bytes badStep = DefaultSensorReport();
    badStep[24] = 9;
    badStep = WithSum(badStep, 50);
    Bytes tail = Polling(1);
    tail[8] = 1;
    const Bytes cases[] = {badSum,      badLength, badComplement,  badInterval,
                           badRegister, badStep,   tail,           Bytes{0x07, 0x03, 0x01},
                           Bytes{0x04}, Bytes{},   Bytes(56, 0xFF)};
    for (const Bytes& r : cases) {
        events.clear();
        EXPECT_FALSE(mouse.receive(Link::Receiver, r));
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].second, DeviceEvent::Make(EventCode::Acknowledge, 1));
    }
    EXPECT_EQ(mouse.rejections().size(), std::size(cases));
    EXPECT_EQ(mouse.commandsAccepted(), 0);
    EXPECT_EQ(mouse.state(), ExpectedState(*MouseProfile::Create(u"x")));
}

TEST_F(Firmware, TheLightReportUnpacksItsFields) {
    Bytes r(15, 0);
    r[0] = 0x05, r[1] = 0x0F, r[2] = 0x01;
    r[3] = 0x90;            // effect 9
    r[4] = 0x10 | (9 - 6);  // sleep timer 0x1A's high nibble, breath speed 6
    r[5] = 0xA0 | 5;        // sleep timer's low nibble, brightness 5
    r[6] = 1, r[7] = 2, r[8] = 3, r[9] = 4, r[10] = 5;
    ASSERT_TRUE(mouse.receive(Link::Cable, WithSum(r, 11)));
    FirmwareState s = mouse.state();
    EXPECT_EQ(s.lightEffect, 9);
    EXPECT_EQ(s.breathSpeed, 6);
    EXPECT_EQ(s.sleepTimer, 0x1A);
    EXPECT_EQ(s.brightness, 5);
    EXPECT_EQ(s.lightColor, (RgbColor{1, 2, 3, 0}));
    EXPECT_EQ(s.lightOffTimer, 4);
    EXPECT_EQ(s.keyDebounce, 5);
    r[3] = 0x91;  // an effect byte that is no multiple of 16
    EXPECT_FALSE(mouse.receive(Link::Cable, WithSum(r, 11)));
}

TEST_F(Firmware, ButtonsKeepTheirDeviceBytesAndMacroBlocksMustBeAButtonsFirst) {
    Bytes r(59, 0);
    r[0] = 0x08, r[1] = 0x3B, r[2] = 0x01;
    for (int i = 0; i < 18; ++i) r[3 + 3 * static_cast<std::size_t>(i)] = 0x01;
    r[3] = 0x11, r[4] = 0x03, r[5] = 0x04;  // Ctrl+Shift+A
    r[6] = 0x12, r[7] = 0x00, r[8] = 5;     // macro from block 5
    ASSERT_TRUE(mouse.receive(Link::Receiver, WithSum(r, 57)));
    EXPECT_EQ(mouse.state().buttons[0], (std::array<std::uint8_t, 3>{0x11, 0x03, 0x04}));
    r[8] = 6;
    EXPECT_FALSE(mouse.receive(Link::Receiver, WithSum(r, 57)));
    r[8] = 5;
    r[9] = 0x77;  // no assignment has this device code
    EXPECT_FALSE(mouse.receive(Link::Receiver, WithSum(r, 57)));
}

TEST_F(Firmware, AMacroIsReassembledFromChunksAndTheirContinuation) {
    // 49 presses of key 4 with 10 ms, then the pair to block 2; block 2 holds a release
    // with 250 ms (long form) and one with 1 ms, sent as 2.
    std::vector<std::pair<std::uint8_t, std::uint8_t>> first(49, {0x0A, 0x04});
    first.emplace_back(2, 0xFE);
    ASSERT_TRUE(mouse.receive(Link::Ble, Chunk(1, first, 3)));
    ASSERT_TRUE(mouse.receive(Link::Ble, Chunk(2, {{0x80 | 50, 0x05}, {2, 3}, {0x82, 0x06}}, 0)));
    Bytes buttons(59, 0);
    buttons[0] = 0x08, buttons[1] = 0x3B, buttons[2] = 0x01;
    buttons[3] = 0x12, buttons[5] = 1;
    ASSERT_TRUE(mouse.receive(Link::Ble, WithSum(buttons, 57)));

    FirmwareState s = mouse.state();
    ASSERT_EQ(s.macros.count(0), 1u);
    const FirmwareMacro& m = s.macros.at(0);
    EXPECT_TRUE(m.complete);
    EXPECT_EQ(m.loopCount, 3);
    ASSERT_EQ(m.steps.size(), 51u);
    EXPECT_EQ(m.steps[0], (MacroStep{0x04, 1, 10}));
    EXPECT_EQ(m.steps[49], (MacroStep{0x05, 2, 250}));
    EXPECT_EQ(m.steps[50], (MacroStep{0x06, 2, 2}));
}

TEST_F(Firmware, AChainWithAMissingBlockIsIncomplete) {
    std::vector<std::pair<std::uint8_t, std::uint8_t>> first(3, {0x0A, 0x04});
    first.emplace_back(10, 0xFE);
    ASSERT_TRUE(mouse.receive(Link::Ble, Chunk(9, first, 1)));
    Bytes buttons(59, 0);
    buttons[0] = 0x08, buttons[1] = 0x3B, buttons[2] = 0x01;
    buttons[9] = 0x12, buttons[11] = 9;
    ASSERT_TRUE(mouse.receive(Link::Ble, WithSum(buttons, 57)));
    EXPECT_FALSE(mouse.state().macros.at(2).complete);
}

TEST_F(Firmware, ChunkChecksCoverTheHeaderTheCountAndTheContinuation) {
    Bytes header = Chunk(2, {{0x0A, 0x04}}, 0);
    header[3] = 1;  // a mode without a loop count: not a first chunk, not a continuation
    EXPECT_FALSE(mouse.receive(Link::Ble, WithSum(header, 129)));
    Bytes units = Chunk(1, {{0x0A, 0x04}}, 1);
    units[28] = 51;
    EXPECT_FALSE(mouse.receive(Link::Ble, WithSum(units, 129)));
    EXPECT_FALSE(mouse.receive(Link::Ble, Chunk(1, {{0x0A, 0x04}, {7, 0xFE}}, 1)));  // continues at 7, not 2
    Bytes stray = Chunk(1, {{0x0A, 0x04}}, 1);
    stray[40] = 9;  // data past the counted units
    EXPECT_FALSE(mouse.receive(Link::Ble, WithSum(stray, 129)));
    EXPECT_TRUE(mouse.receive(Link::Ble, Chunk(1, {{0x0A, 0x04}}, 1)));
}

TEST_F(Firmware, SplitPartsAreJoinedAndAnsweredOnceTheThirdArrives) {
    Bytes chunk = Chunk(5, {{0x0A, 0x04}, {0x8A, 0x04}}, 1);
    for (bool receiver : {true, false}) {
        events.clear();
        std::vector<Bytes> parts = Split(chunk, receiver);
        EXPECT_TRUE(mouse.receive(Link::Receiver, parts[0]));
        EXPECT_TRUE(mouse.receive(Link::Receiver, parts[1]));
        EXPECT_TRUE(events.empty());
        EXPECT_TRUE(mouse.receive(Link::Receiver, parts[2]));
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].second, DeviceEvent::Make(EventCode::Acknowledge, 0));
    }
    std::vector<Bytes> parts = Split(chunk, true);
    EXPECT_FALSE(mouse.receive(Link::Receiver, parts[1]));  // out of order
    parts[2][20] = 1;                                       // past the chunk's end
    EXPECT_TRUE(mouse.receive(Link::Receiver, parts[0]));
    EXPECT_TRUE(mouse.receive(Link::Receiver, Split(chunk, true)[1]));
    EXPECT_FALSE(mouse.receive(Link::Receiver, parts[2]));
    Bytes wrongLength = Split(chunk, true)[0];
    wrongLength[1] = 0x0C;  // only the third part may say 12
    EXPECT_FALSE(mouse.receive(Link::Receiver, wrongLength));
}

TEST_F(Firmware, AcknowledgementsFollowTheMode) {
    mouse.setAckMode(AckMode::Never);
    mouse.receive(Link::Receiver, Polling(1));
    EXPECT_TRUE(events.empty());

    mouse.setAckMode(AckMode::Negative);
    mouse.receive(Link::Receiver, Polling(1));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].second, DeviceEvent::Make(EventCode::Acknowledge, 1));

    events.clear();
    mouse.setAckMode(AckMode::Late, 1200ms);
    mouse.receive(Link::Cable, Polling(1));
    clock.advance(1199ms);
    scheduler.runDue();
    EXPECT_TRUE(events.empty());
    clock.advance(1ms);
    scheduler.runDue();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].first, Link::Cable);
    EXPECT_EQ(events[0].second, DeviceEvent::Make(EventCode::Acknowledge, 0));
}

TEST_F(Firmware, TheDpiButtonCyclesThroughEnabledLevelsOnly) {
    std::vector<int> levels;
    for (int i = 0; i < 7; ++i) {
        mouse.pressDpiButton(Link::Receiver);
        levels.push_back(events.back().second.value);
    }
    EXPECT_EQ(levels, (std::vector<int>{3, 4, 5, 6, 1, 2, 3}));
    EXPECT_EQ(mouse.state().dpiLevel, 3);
}

TEST_F(Firmware, UserActionsRaiseTheirEvents) {
    mouse.setPollingInterval(Link::Ble, 4);
    mouse.setLightEffect(Link::Ble, 5);
    mouse.setBattery(Link::Ble, 60, 1);
    mouse.reportBatteryLevel(Link::Ble, 7);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].second, DeviceEvent::Make(EventCode::PollingRate, 4));
    EXPECT_EQ(events[1].second, DeviceEvent::Make(EventCode::LightEffect, 0x50));
    EXPECT_EQ(events[2].second, DeviceEvent::Make(EventCode::Battery, 0x3C01));
    EXPECT_EQ(events[3].second, DeviceEvent::Make(EventCode::BatteryLevel, 7));
    EXPECT_EQ(mouse.state().pollingInterval, 4);
    EXPECT_EQ(mouse.state().lightEffect, 5);
}

TEST_F(Firmware, OnItsCableTheMouseReportsChargingUntilFullThenCharged) {
    mouse.setBattery(Link::Receiver, 85, 1);
    events.clear();
    mouse.setOnCable(true);
    mouse.announce(Link::Cable);
    mouse.announce(Link::Receiver);
    mouse.setBattery(Link::Cable, 100, 1);
    mouse.announce(Link::Cable);
    mouse.setOnCable(false);
    mouse.announce(Link::Receiver);
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].second, DeviceEvent::Make(EventCode::Battery, 0x5503));
    EXPECT_EQ(events[1].second, DeviceEvent::Make(EventCode::Battery, 0x5503))
        << "the receiver passes on the same state";
    EXPECT_EQ(events[3].second, DeviceEvent::Make(EventCode::Battery, 0x6402));
    EXPECT_EQ(events[4].second, DeviceEvent::Make(EventCode::Battery, 0x6401))
        << "off the cable it runs on its battery again";
}

TEST_F(Firmware, DifferencesNameEachFieldThatDiffers) {
    FirmwareState expected = ExpectedState(*MouseProfile::Create(u"x"));
    FirmwareState actual = expected;
    EXPECT_TRUE(Differences(actual, expected).empty());
    actual.dpiValue[3] = 70;
    actual.pollingInterval = 8;
    std::vector<std::string> d = Differences(actual, expected);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0], "dpiValue[3]: actual 70, expected 64");
    EXPECT_EQ(d[1], "pollingInterval: actual 8, expected 1");
}

TEST(FirmwareExpectation, FollowsWhatTheReportsCanCarry) {
    auto p = MouseProfile::Create(u"x");
    p->lightEffect = 2;
    p->brightness = 3;  // counts for effects 1 and 9 only
    p->dpiValue[0] = 301;
    p->buttons[2].assignKey(0x1B, kModCtrl);
    MacroRecord macro{};
    macro.actionCount = 3;
    macro.actions[0] = {0x04, 1, 0};
    macro.actions[1] = {0x04, 2, 128};
    macro.actions[2] = {0x05, 0, 50};  // no kind: not a step
    p->buttons[1].assignMacro(macro, 2, 0, 0);
    FirmwareState s = ExpectedState(*p);
    EXPECT_EQ(s.brightness, 8);
    EXPECT_EQ(s.dpiValue[0], 300);
    EXPECT_EQ(s.buttons[2], (std::array<std::uint8_t, 3>{0x11, kModCtrl, 0x1B}));
    EXPECT_EQ(s.buttons[1], (std::array<std::uint8_t, 3>{0x12, 0x00, 5}));
    ASSERT_EQ(s.macros.count(1), 1u);
    EXPECT_EQ(s.macros.at(1).loopCount, 1);
    EXPECT_EQ(s.macros.at(1).steps, (std::vector<MacroStep>{{0x04, 1, 2}, {0x04, 2, 128}}));
}

}  // namespace
}  // namespace halvern::emu
