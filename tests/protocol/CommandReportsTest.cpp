#include "protocol/CommandReports.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "support/Hex.h"

namespace halvern {
namespace {

using test::Hex;
using test::Unspaced;

std::unique_ptr<MouseProfile> Default() { return MouseProfile::Create(u"P"); }

TEST(SensorReport, DefaultProfileGivesTheKnownBytes) {
    EXPECT_EQ(Hex(BuildSensorReport(*Default()).bytes()),
              Unspaced("04 38 01  00 01 3f 20 00  12 25 38 4b 75 d3 00 00  00 00 00 00 00 00 00 00  02"
                       "  ff0000 00ff00 0000ff ffff00 00ffff ff00ff ff4000 ffffff  01  0f 98  00 00 00 00"));
}

TEST(SensorReport, LevelsAboveTwoHundredUseTheRangeFlagOrTheHighRangeBit) {
    auto p = Default();
    p->dpiValue[6] = 201;
    p->dpiValue[7] = 221;
    p->dpiEnabled[6] = 1;
    p->dpiEnabled[7] = 0;
    Report r = BuildSensorReport(*p);
    EXPECT_EQ(r[5], 0x7F);
    EXPECT_EQ(r[6], 0x20 | 0x80);  // 221 and 280 are high-range; 201 is not
    EXPECT_EQ(r[14], 118);
    EXPECT_EQ(r[22], 1);
    EXPECT_EQ(r[15], 142);
    EXPECT_EQ(r[23], 0);
}

TEST(SensorReport, DpiEncodingAcrossEveryRowAndHostileValues) {
    struct Case {
        std::int32_t v;
        DpiEncoding expected;
    };
    for (const Case& c : std::vector<Case>{
             {0, {0, 0}},     {1, {1, 0}},     {16, {18, 0}},       {200, {235, 0}}, {201, {118, 1}},
             {220, {141, 1}}, {221, {142, 0}}, {280, {211, 0}},     {300, {235, 0}}, {301, {235, 1}},
             {302, {118, 1}}, {303, {118, 1}}, {304, {119, 1}},     {320, {129, 1}}, {340, {141, 1}},
             {341, {141, 1}}, {342, {141, 1}}, {INT_MAX, {141, 1}}, {-1, {0, 0}},    {INT_MIN, {0, 0}},
         })
        EXPECT_EQ(EncodeDpiLevel(c.v), c.expected) << c.v;
    for (std::size_t i = 201; i <= 220; ++i) EXPECT_EQ(kDpiRegister[i], kDpiRegister[i - 100]) << i;
}

TEST(SensorReport, OutOfRangeFieldsAreCutToTheirByteWithoutTouchingNeighbours) {
    auto p = Default();
    p->dpiStep = INT_MAX;  // sent as index + 1, wrapping instead of overflowing
    p->angleSnap = 0x1234;
    for (auto& v : p->dpiValue) v = INT_MIN;
    Report r = BuildSensorReport(*p);
    EXPECT_EQ(r.size(), kSensorReportSize);
    EXPECT_EQ(r[24], 0x00);
    EXPECT_EQ(r[3], 0x34);
    EXPECT_EQ(r[6], 0);
}

TEST(LightPowerReport, DefaultProfileAndTheEffectsThatCarryBrightness) {
    auto p = Default();
    EXPECT_EQ(Hex(BuildLightPowerReport(*p).bytes()), Unspaced("05 0f 01  70 03 a8  00 ff 00  01 04  02 1f  00 00"));

    p->lightEffect = 1;
    p->brightness = 5;
    p->breathSpeed = 2;
    p->sleepTimer = 0x35;
    Report r = BuildLightPowerReport(*p);
    EXPECT_EQ(r[3], 0x10);
    EXPECT_EQ(r[4], 0x30 | 7);
    EXPECT_EQ(r[5], 0x55);  // 0x35 x 16 keeps its low byte, or brightness
    p->lightEffect = 9;
    EXPECT_EQ(BuildLightPowerReport(*p)[5], 0x55);
    p->lightEffect = 2;
    EXPECT_EQ(BuildLightPowerReport(*p)[5], 0x58);  // other effects send brightness 8
}

TEST(LightPowerReport, HostileValuesWrapToBytes) {
    auto p = Default();
    p->lightEffect = INT_MAX;
    p->breathSpeed = INT_MIN;
    p->sleepTimer = INT_MIN;
    p->lightOffTimer = -1;
    Report r = BuildLightPowerReport(*p);
    EXPECT_EQ(r[3], 0xF0);
    EXPECT_EQ(r[4], 0x09);
    EXPECT_EQ(r[9], 0xFF);
    EXPECT_EQ(r.size(), kLightPowerReportSize);
}

TEST(PollingReport, CarriesTheIntervalAndItsComplement) {
    auto p = Default();
    const std::pair<std::int32_t, const char*> cases[] = {
        {3, "060901 01fe 00000000"}, {2, "060901 02fd 00000000"}, {1, "060901 04fb 00000000"},
        {0, "060901 08f7 00000000"}, {4, "060901 02fd 00000000"}, {-1, "060901 02fd 00000000"},
    };
    for (auto [rate, hex] : cases) {
        p->pollingRate = rate;
        EXPECT_EQ(Hex(BuildPollingReport(*p).bytes()), Unspaced(hex)) << rate;
    }
}

TEST(Preamble, IsFixed) { EXPECT_EQ(Hex(BuildPreamble().bytes()), "0c0a01fe01fe00000000"); }

TEST(ButtonReport, DefaultAssignments) {
    EXPECT_EQ(Hex(BuildButtonReport(*Default()).bytes()),
              Unspaced("08 3b 01  020000 030000 040000 060000 050000 010000 010000 010000 3c0000"
                       " 0d0000 010000 010000 010000 010000 010000 010000 0a0000 090000  00 79"));
}

TEST(ButtonReport, KeysMacrosAndCodesWithoutARow) {
    auto p = Default();
    p->buttons[0].assignKey(0x1D, kModCtrl | kModShift);
    MacroRecord m;
    m.actionCount = 1;
    p->buttons[2].assignMacro(m, 0, 1, 0);
    p->buttons[6].assignMacro(m, 0, 1, 0);  // no block range of its own
    p->buttons[9].assignMacro(m, 0, 1, 0);
    p->buttons[3].function = 51;
    p->buttons[4].function = 15;
    p->buttons[5].function = 22;
    p->buttons[7].function = 81;
    p->buttons[10].function = 255;
    Report r = BuildButtonReport(*p);
    auto entry = [&](std::size_t i) { return Hex(r.bytes().subspan(3 + 3 * i, 3)); };
    EXPECT_EQ(entry(0), "11031d");
    EXPECT_EQ(entry(2), "120009");
    EXPECT_EQ(entry(6), "120000");
    EXPECT_EQ(entry(9), "120019");
    EXPECT_EQ(entry(3), "000000");
    EXPECT_EQ(entry(4), "000000");
    EXPECT_EQ(entry(5), "100009");
    EXPECT_EQ(entry(7), "110312");
    EXPECT_EQ(entry(10), "000000");
    std::uint16_t sum = ReportChecksum(r.bytes().subspan(3, 54));
    EXPECT_EQ(r[57], sum >> 8);
    EXPECT_EQ(r[58], sum & 0xFF);
    // Entries 18..23 are never sent, whatever they hold.
    p->buttons[20].function = 1;
    EXPECT_EQ(BuildButtonReport(*p), r);
}

std::string Encoded(MacroAction a) {
    std::array<std::uint8_t, 8> out{};
    return Hex(std::span<const std::uint8_t>(out.data(), EncodeMacroAction(a, out)));
}

TEST(MacroAction, DelayEncodings) {
    EXPECT_EQ(Encoded({0x04, MacroAction::Press, 10}), "0a04");
    EXPECT_EQ(Encoded({0x04, MacroAction::Release, 10}), "8a04");
    EXPECT_EQ(Encoded({0x04, MacroAction::Press, 127}), "7f04");
    EXPECT_EQ(Encoded({0x04, MacroAction::Press, 128}), "1c040103");
    EXPECT_EQ(Encoded({0x04, MacroAction::Press, 0}), "0204");
    EXPECT_EQ(Encoded({0x04, MacroAction::Press, 1}), "0204");
    EXPECT_EQ(Encoded({0xF1, MacroAction::Release, 300}), "82f10303");    // 300 mod 100 = 0, sent as 2
    EXPECT_EQ(Encoded({0x05, MacroAction::Release, 65535}), "a3058f03");  // hundreds cut to 8 bits
    EXPECT_EQ(Encoded({0x05, 7, 5}), "8505");                             // any kind but press is a release
    EXPECT_EQ(Encoded({0x05, MacroAction::None, 5}), "000000000000");
    EXPECT_EQ(Encoded({0x05, MacroAction::None, 500}), "0000000000000503");
}

ButtonAssignment MacroButton(std::vector<MacroAction> actions, std::int32_t mode = 0, std::int32_t loops = 1) {
    ButtonAssignment b;
    b.function = ButtonFunction::Macro;
    b.macroMode = mode;
    b.macroLoopCount = loops;
    b.macroActionCount = static_cast<std::uint16_t>(actions.size());
    std::copy(actions.begin(), actions.end(), b.macroActions);
    return b;
}

std::vector<MacroAction> ShortActions(std::size_t n) {
    std::vector<MacroAction> a;
    for (std::size_t i = 0; i < n; ++i)
        a.push_back({static_cast<std::uint8_t>(4 + i % 20), static_cast<std::uint8_t>(i % 2 ? 2 : 1), 10});
    return a;
}

void ExpectChecksummed(const Report& chunk) {
    std::uint16_t sum = ReportChecksum(chunk.bytes().subspan(3, 126));
    EXPECT_EQ(chunk[129], sum >> 8);
    EXPECT_EQ(chunk[130], sum & 0xFF);
}

TEST(MacroChunks, SixtyShortActionsTakeTwoChunks) {
    ButtonAssignment b = MacroButton(ShortActions(60), 2, 7);
    b.macroHeader[0] = 0xA1;
    b.macroHeader[2] = 0xA3;
    std::vector<Report> chunks = BuildMacroChunks(b, 21);
    ASSERT_EQ(chunks.size(), 2u);

    const Report& first = chunks[0];
    EXPECT_EQ(Hex(first.bytes().first(8)),
              "098315"
              "02a100a3"
              "07");
    EXPECT_EQ(first[28], 50);
    for (std::size_t i = 0; i < 49; ++i)
        EXPECT_EQ(Hex(first.bytes().subspan(29 + 2 * i, 2)), Encoded(b.macroActions[i])) << i;
    EXPECT_EQ(first[127], 22);  // the next block
    EXPECT_EQ(first[128], 0xFE);
    ExpectChecksummed(first);

    const Report& second = chunks[1];
    EXPECT_EQ(Hex(second.bytes().first(8)), "0983160000000000");
    EXPECT_EQ(second[28], 11);
    for (std::size_t i = 0; i < 11; ++i)
        EXPECT_EQ(Hex(second.bytes().subspan(29 + 2 * i, 2)), Encoded(b.macroActions[49 + i])) << i;
    for (std::size_t i = 29 + 22; i < 129; ++i) EXPECT_EQ(second[i], 0) << i;
    ExpectChecksummed(second);
}

TEST(MacroChunks, EmptyMacroIsOneHeaderOnlyChunkAndLoopCountZeroIsSentAsOne) {
    ButtonAssignment b = MacroButton({}, 1, 256);
    std::vector<Report> chunks = BuildMacroChunks(b, 5);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(Hex(chunks[0].bytes().first(8)), "0983050100000001");
    EXPECT_EQ(chunks[0][28], 0);
    for (std::size_t i = 8; i < 129; ++i) EXPECT_EQ(chunks[0][i], 0) << i;
    ExpectChecksummed(chunks[0]);
}

// Reads chunks back the way the mouse would: follow the continuation pairs, collect the
// data bytes, check the counts and checksums on the way.
std::vector<std::uint8_t> Reassemble(const std::vector<Report>& chunks, std::uint8_t firstBlock) {
    std::vector<std::uint8_t> data;
    for (std::size_t c = 0; c < chunks.size(); ++c) {
        const Report& chunk = chunks[c];
        EXPECT_EQ(chunk.size(), kMacroChunkSize);
        EXPECT_EQ(chunk[2], static_cast<std::uint8_t>(firstBlock + c));
        ExpectChecksummed(chunk);
        std::size_t bytes = 2u * chunk[28];
        EXPECT_LE(bytes, 100u);
        bool last = c + 1 == chunks.size();
        if (!last) {
            EXPECT_EQ(chunk[29 + bytes - 2], static_cast<std::uint8_t>(firstBlock + c + 1));
            EXPECT_EQ(chunk[29 + bytes - 1], 0xFE);
            bytes -= 2;
        }
        data.insert(data.end(), chunk.bytes().begin() + 29,
                    chunk.bytes().begin() + 29 + static_cast<std::ptrdiff_t>(bytes));
        for (std::size_t i = 29 + 2u * chunk[28]; i < 129; ++i) EXPECT_EQ(chunk[i], 0);
    }
    return data;
}

TEST(MacroChunks, AnyMacroSurvivesChunkingByteForByte) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<MacroAction> actions(random() % 161);
        for (MacroAction& a : actions) {
            a.key = static_cast<std::uint8_t>(random());
            a.kind = static_cast<std::uint8_t>(random() % 4);
            a.delay = static_cast<std::uint16_t>(random() % 3 ? random() % 300 : random());
        }
        ButtonAssignment b = MacroButton(actions);
        std::vector<std::uint8_t> expected;
        for (const MacroAction& a : actions) {
            std::array<std::uint8_t, 8> out{};
            expected.insert(expected.end(), out.begin(),
                            out.begin() + static_cast<std::ptrdiff_t>(EncodeMacroAction(a, out)));
        }
        std::vector<Report> chunks = BuildMacroChunks(b, 9);
        ASSERT_FALSE(chunks.empty());
        EXPECT_EQ(Reassemble(chunks, 9), expected) << "round " << round;
    }
}

TEST(MacroChunks, AStepCountBeyondTheArrayReadsOnlyTheArray) {
    ButtonAssignment b = MacroButton(ShortActions(160));
    b.macroActionCount = 0xFFFF;
    std::vector<Report> chunks = BuildMacroChunks(b, 1);
    std::size_t units = 0;
    for (const Report& c : chunks) units += c[28];
    EXPECT_EQ(units, 160u + chunks.size() - 1);  // every step once, plus one pair per continuation
}

TEST(MacroChunks, SplitFormForTheTwoHidLinks) {
    ButtonAssignment b = MacroButton(ShortActions(60));
    Report chunk = BuildMacroChunks(b, 13)[0];
    for (SplitLink link : {SplitLink::Driver, SplitLink::Receiver}) {
        auto parts = SplitMacroChunk(chunk.bytes(), link);
        for (std::size_t i = 0; i < 3; ++i) {
            ASSERT_EQ(parts[i].size(), 64u);
            EXPECT_EQ(parts[i][0], 0x09);
            EXPECT_EQ(parts[i][1], (i == 2 && link == SplitLink::Receiver) ? 0x0C : 0x40);
            EXPECT_EQ(parts[i][2], 13);
            EXPECT_EQ(parts[i][3], i);
        }
        EXPECT_EQ(Hex(parts[0].bytes().subspan(4)), Hex(chunk.bytes().subspan(3, 60)));
        EXPECT_EQ(Hex(parts[1].bytes().subspan(4)), Hex(chunk.bytes().subspan(63, 60)));
        EXPECT_EQ(Hex(parts[2].bytes().subspan(4, 8)), Hex(chunk.bytes().subspan(123, 8)));
        EXPECT_EQ(Hex(parts[2].bytes().subspan(12)), std::string(104, '0'));
    }
    // A short buffer is split without reading past it.
    std::vector<std::uint8_t> shortChunk = {0x09, 0x05, 0x07, 0xAA, 0xBB};
    auto parts = SplitMacroChunk(shortChunk, SplitLink::Driver);
    EXPECT_EQ(Hex(parts[0].bytes().first(6)), "09400700aabb");
    EXPECT_EQ(parts[0][6], 0);
}

// The bound every door checks (FitMacro) is the chunking the apply sends: for any macro
// the blocks it counts are the chunks built, and cut to one button's blocks the chunks
// carry exactly the steps it says fit, the last one ending the macro there.
TEST(MacroChunks, TheFitOfAMacroIsItsChunkingAndACutMacroEndsInItsOwnBlocks) {
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        std::vector<MacroAction> actions(random() % 161);
        for (MacroAction& a : actions) {
            a.key = static_cast<std::uint8_t>(random());
            a.kind = static_cast<std::uint8_t>(random() % 8 ? 1 + random() % 2 : 0);
            a.delay = static_cast<std::uint16_t>(random() % 2 ? random() % 128 : 128 + random() % 30000);
        }
        ButtonAssignment b = MacroButton(actions);
        const MacroFit fit = FitMacro(actions);
        ASSERT_EQ(fit.blocks, BuildMacroChunks(b, 5).size()) << "round " << round;
        EXPECT_EQ(fit.fits(), fit.blocks <= 4);
        EXPECT_EQ(fit.stepsThatFit == actions.size(), fit.fits());

        const std::vector<Report> cut = BuildMacroChunks(b, 5, kMacroBlocksPerButton);
        ASSERT_EQ(cut.size(), std::min<std::size_t>(fit.blocks, 4));
        for (const Report& chunk : cut) EXPECT_TRUE(chunk[2] >= 5 && chunk[2] <= 8) << int{chunk[2]};
        std::vector<std::uint8_t> expected;
        for (std::size_t i = 0; i < fit.stepsThatFit; ++i) {
            std::array<std::uint8_t, 8> out{};
            expected.insert(expected.end(), out.begin(),
                            out.begin() + static_cast<std::ptrdiff_t>(EncodeMacroAction(actions[i], out)));
        }
        EXPECT_EQ(Reassemble(cut, 5), expected) << "round " << round;
    }
}

TEST(MacroChunks, TheFitsBoundaryIsTheLastStepTheFourthBlockHolds) {
    // 49 short steps fill a block and leave room for the pair; 50 do not.
    struct Case {
        std::size_t shortSteps;
        std::size_t longSteps;  // after the short ones, each twice the room
        std::size_t blocks;
    };
    const Case cases[] = {
        {0, 0, 1}, {49, 0, 1}, {50, 0, 2}, {160, 0, 4}, {0, 96, 4}, {0, 97, 5}, {0, 120, 5}, {2, 95, 4}, {4, 95, 5},
    };
    for (const Case& c : cases) {
        std::vector<MacroAction> actions(c.shortSteps + c.longSteps, MacroAction{0x04, MacroAction::Press, 10});
        for (std::size_t i = c.shortSteps; i < actions.size(); ++i) actions[i].delay = 200;
        EXPECT_EQ(FitMacro(actions).blocks, c.blocks) << c.shortSteps << " + " << c.longSteps;
    }
}

}  // namespace
}  // namespace halvern
