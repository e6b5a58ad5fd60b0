#include "records/MouseProfile.h"

#include <gtest/gtest.h>

#include <cstring>

#include "records/Text.h"
#include "support/TempDir.h"

namespace halvern {
namespace {

template <typename T>
T At(const MouseProfile& p, std::size_t offset) {
    T v;
    std::memcpy(&v, reinterpret_cast<const std::byte*>(&p) + offset, sizeof v);
    return v;
}

TEST(ProfileRecord, NewRecordHoldsExactlyTheInitialValuesAtTheirOffsets) {
    auto p = MouseProfile::Create(u"Profile1");
    auto bytes = test::BytesOf(*p);
    ASSERT_EQ(bytes.size(), 43936u);

    // Build the expected image independently from the offsets, then compare it whole:
    // any stray byte anywhere fails.
    std::vector<unsigned char> expected(43936, 0);
    auto put32 = [&](std::size_t off, std::int32_t v) { std::memcpy(&expected[off], &v, 4); };
    auto putRgb = [&](std::size_t off, int r, int g, int b) {
        expected[off] = static_cast<unsigned char>(r);
        expected[off + 1] = static_cast<unsigned char>(g);
        expected[off + 2] = static_cast<unsigned char>(b);
    };
    const char16_t name[] = u"Profile1";
    std::memcpy(&expected[0], name, 16);
    put32(2200, 420);
    put32(2204, 3);
    put32(2212, 6);
    const int dpi[] = {16, 32, 48, 64, 100, 280, 0, 0};
    const int enabled[] = {1, 1, 1, 1, 1, 1, 0, 0};
    for (int k = 0; k < 8; ++k) {
        put32(2244 + 4 * k, dpi[k]);
        put32(2276 + 4 * k, dpi[k]);
        put32(2308 + 4 * k, enabled[k]);
    }
    put32(2340, 8);
    put32(2344, 6);
    put32(2348, 10);
    put32(2352, 1);
    put32(2356, 1);
    put32(2360, 3);
    put32(2368, 1);
    put32(2376, 1);
    put32(2380, 7);
    put32(2384, 3);
    expected[2388] = 1;
    put32(2392, 4);
    putRgb(2396, 0, 255, 0);
    const int dpiColors[8][3] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},  {255, 255, 0},
                                 {0, 255, 255}, {255, 0, 255}, {255, 64, 0}, {255, 255, 255}};
    const int spare[8][3] = {{255, 0, 0},   {0, 255, 0},     {0, 0, 255},     {255, 0, 255},
                             {255, 255, 0}, {255, 255, 255}, {255, 255, 255}, {255, 128, 0}};
    for (int k = 0; k < 8; ++k) {
        putRgb(2400 + 4 * k, dpiColors[k][0], dpiColors[k][1], dpiColors[k][2]);
        putRgb(2432 + 4 * k, spare[k][0], spare[k][1], spare[k][2]);
    }
    const int function[18] = {1, 2, 3, 4, 5, 0, 0, 0, 121, 6, 0, 0, 0, 0, 0, 0, 12, 11};
    for (int i = 0; i < 18; ++i) {
        std::size_t e = 2464 + 1728 * static_cast<std::size_t>(i);
        expected[e] = static_cast<unsigned char>(i);
        expected[e + 1] = static_cast<unsigned char>(function[i]);
        expected[e + 8] = 562 & 0xFF;
        expected[e + 9] = 562 >> 8;
        put32(e + 1072, -1);
        put32(e + 1076, -1);
    }
    EXPECT_EQ(bytes, expected);
}

TEST(ProfileRecord, RestoreKeepsTheNameAndResetsEverythingElse) {
    auto p = MouseProfile::Create(u"Mine");
    p->dpiValue[2] = 250;
    p->spareText1[0] = u'x';
    p->buttons[3].assignKey(0x04, kModCtrl);
    MacroRecord m;
    m.setName(u"M");
    m.actionCount = 1;
    m.actions[0] = {0x04, 1, 10};
    p->buttons[0].assignMacro(m, 1, 3, 0);
    p->buttons[20].function = 9;  // a stray value in the always-zero entries

    p->initialiseDefaults();

    auto fresh = MouseProfile::Create(u"Mine");
    EXPECT_EQ(test::BytesOf(*p), test::BytesOf(*fresh));
}

TEST(ProfileRecord, DpiConversionsBothWays) {
    EXPECT_EQ(DpiFromValue(16), 800);
    EXPECT_EQ(DpiFromValue(200), 10000);
    EXPECT_EQ(DpiFromValue(201), 10100);
    EXPECT_EQ(DpiFromValue(280), 18000);
    EXPECT_EQ(ValueFromDpi(10050), 200);
    EXPECT_EQ(ValueFromDpi(10100), 201);
    EXPECT_EQ(ValueFromDpi(99999), 280);
    EXPECT_EQ(ValueFromDpi(18000), 280);
    EXPECT_EQ(ValueFromDpi(0), 1);
    EXPECT_EQ(ValueFromDpi(50), 1);
    EXPECT_EQ(ValueFromDpi(99), 1);
    EXPECT_EQ(ValueFromDpi(820), 16);
    // Every value the page keeps survives the round trip through its DPI.
    for (int v = 1; v <= 280; ++v) EXPECT_EQ(ValueFromDpi(DpiFromValue(v)), v) << v;
}

TEST(ProfileRecord, ColoursShowAsOpaqueArgbAndBack) {
    RgbColor c{255, 64, 0, 0};
    EXPECT_EQ(c.toArgb(), 0xFFFF4000u);
    EXPECT_EQ(RgbColor::fromArgb(0xFF12AB34u), (RgbColor{0x12, 0xAB, 0x34, 0}));
    EXPECT_EQ(RgbColor::fromArgb(0x0012AB34u).zero, 0);  // alpha never reaches the record
}

TEST(ProfileRecord, AssigningAMacroCopiesItWhole) {
    auto p = MouseProfile::Create(u"P");
    MacroRecord m;
    m.setName(u"A macro name of 23 chr!");
    m.actionCount = kMaxMacroActions;
    for (std::size_t i = 0; i < kMaxMacroActions; ++i)
        m.actions[i] = {static_cast<std::uint8_t>(4 + i % 30), static_cast<std::uint8_t>(1 + i % 2),
                        static_cast<std::uint16_t>(i * 7)};
    ButtonAssignment& b = p->buttons[2];
    b.assignMacro(m, 2, 255, 5);
    EXPECT_EQ(b.function, 17);
    EXPECT_EQ(b.macroMode, 2);
    EXPECT_EQ(b.macroLoopCount, 255);
    EXPECT_EQ(b.macroIndex, 5);
    EXPECT_EQ(b.macroActionCount, 160);
    EXPECT_EQ(b.macroNameText(), u"A macro name of 23 chr!");
    EXPECT_EQ(std::memcmp(b.macroActions, m.actions, 640), 0);
}

TEST(ProfileRecord, AssigningAKeyClearsTheKeyBytesOnlyWhenComingFromAnotherCode) {
    auto p = MouseProfile::Create(u"P");
    ButtonAssignment& b = p->buttons[5];
    b.zero4[1] = 0x77;  // left over by some earlier assignment
    b.assignKey(0x1D, kModCtrl | kModShift);
    EXPECT_EQ(b.function, 16);
    EXPECT_EQ(b.keyUsage, 0x1D);
    EXPECT_EQ(b.keyModifiers, 3);
    EXPECT_EQ(b.zero4[1], 0);

    b.zero4[1] = 0x77;
    b.assignKey(0x04, 0);
    EXPECT_EQ(b.zero4[1], 0x77);  // already a key combination: nothing cleared
    EXPECT_EQ(b.keyUsage, 0x04);
}

TEST(ProfileRecord, NamesAreCutToTheFieldAndAlwaysTerminated) {
    std::u16string longName(150, u'n');
    auto p = MouseProfile::Create(longName);
    EXPECT_EQ(p->nameText(), std::u16string(99, u'n'));
    EXPECT_EQ(p->name[99], u'\0');

    // A surrogate pair straddling the cut is not split.
    std::u16string emoji = std::u16string(98, u'a') + u"\U0001F600";
    p->setName(emoji);
    EXPECT_EQ(p->nameText(), std::u16string(98, u'a'));
}

TEST(ProfileRecord, RepairMakesHostileRecordsSafe) {
    auto p = MouseProfile::Create(u"P");
    std::fill(std::begin(p->name), std::end(p->name), u'x');
    p->buttons[4].macroActionCount = 5000;
    std::fill(std::begin(p->buttons[7].macroName), std::end(p->buttons[7].macroName), u'y');
    EXPECT_TRUE(RepairRecord(*p));
    EXPECT_EQ(p->nameText().size(), 99u);
    EXPECT_EQ(p->buttons[4].macroActionCount, 160);
    EXPECT_EQ(p->buttons[7].macroNameText().size(), 23u);
    EXPECT_FALSE(RepairRecord(*p));

    MacroRecord m;
    m.actionCount = -4;
    EXPECT_TRUE(RepairRecord(m));
    EXPECT_EQ(m.actionCount, 0);
    m.actionCount = 161;
    EXPECT_TRUE(RepairRecord(m));
    EXPECT_EQ(m.actionCount, 160);
}

TEST(ProfileRecord, ResetEntryGoesBackToItsInitialFunction) {
    auto p = MouseProfile::Create(u"P");
    MacroRecord m;
    m.setName(u"x");
    p->buttons[2].assignMacro(m, 1, 1, 0);
    p->buttons[2].resetToInitial(2);
    EXPECT_EQ(p->buttons[2].function, 3);
    EXPECT_EQ(p->buttons[2].macroIndex, -1);
    EXPECT_EQ(p->buttons[2].macroName[0], u'\0');
}

}  // namespace
}  // namespace halvern
