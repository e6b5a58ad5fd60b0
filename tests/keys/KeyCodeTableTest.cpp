#include "keys/KeyCodeTable.h"

#include <gtest/gtest.h>

#include "keys/UsKeyboardLayout.h"
#include "support/KeyTextsFake.h"

namespace halvern {
namespace {

class KeyTables : public ::testing::Test {
protected:
    std::uint32_t Usage(std::int32_t vk) const { return VirtualKeyToUsage(vk, us_).usage; }
    std::u16string Name(std::uint32_t usage) const { return UsageToKeyName(usage, us_, texts_); }

    UsKeyboardLayout us_;
    test::BracketTexts texts_;
};

TEST_F(KeyTables, TableHasItsTellingRows) {
    EXPECT_EQ(KeyCodeTable.size(), 112u);
    EXPECT_EQ(KeyCodeTable[0].virtualKey, 0x41);
    EXPECT_EQ(KeyCodeTable[51].virtualKey, 0xBF);
    EXPECT_EQ(KeyCodeTable[52].virtualKey, 0xDF);
    EXPECT_EQ(KeyCodeTable[51].usageId, KeyCodeTable[52].usageId);
    EXPECT_EQ(KeyCodeTable[65].scanCode, 0x58);  // F12
    EXPECT_EQ(KeyCodeTable[111].virtualKey, 0xF8);
    for (std::size_t i = 105; i < 112; ++i) EXPECT_EQ(KeyCodeTable[i].virtualKey, KeyCodeTable[i].usageId);
    for (std::size_t i = 66; i < 112; ++i) EXPECT_EQ(KeyCodeTable[i].scanCode, 0);
    for (const auto& row : KeyCodeTable) {
        EXPECT_NE(row.usageId, 0x32);
        EXPECT_NE(row.usageId, 0x64);
        EXPECT_NE(row.virtualKey, 0x10);
        EXPECT_NE(row.virtualKey, 0x11);
        EXPECT_NE(row.virtualKey, 0x12);
    }
}

// Every row checked against sources that do not come from the table: the names kept
// for virtual keys and for usages must agree, and in the typing block the usage must
// sit on the scan code the kernel's HID keyboard table gives it.
TEST_F(KeyTables, EveryRowAgreesWithTheNameListsAndTheKernelsUsageTable) {
    // Evdev key code of HID usages 0x04..0x45 (the kernel's hid_keyboard table).
    constexpr std::uint8_t kEvdevOfUsage[] = {
        30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50, 49, 24, 25, 16, 19, 31, 20, 22, 47,  // a..v
        17, 45, 21, 44, 2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 28, 1,  14, 15, 57, 12, 13, 26,  // w..[
        27, 43, 43, 39, 40, 41, 51, 52, 53, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 87, 88,  // ]..F12
    };
    for (std::size_t i = 0; i < KeyCodeTable.size(); ++i) {
        const KeyCodeRow& row = KeyCodeTable[i];
        SCOPED_TRACE(testing::Message() << "row " << i << std::hex << " vk 0x" << row.virtualKey);
        const auto usage = static_cast<std::uint32_t>(row.usageId);
        if (usage >= 0x04 && usage <= 0x45) {
            EXPECT_EQ(row.scanCode, kEvdevOfUsage[usage - 0x04]);
        } else {
            EXPECT_EQ(row.scanCode, 0);
        }
        // Row 52 is a second virtual key for the "/" position; rows 105.. are
        // input-mode keys and mouse buttons whose names exist on one side only.
        if (i == 52 || i >= 105) continue;
        EXPECT_EQ(VirtualKeyToKeyName(static_cast<std::uint32_t>(row.virtualKey), us_, texts_), Name(usage));
        EXPECT_FALSE(Name(usage).empty());
    }
}

TEST_F(KeyTables, VirtualKeysToUsagesOnUs) {
    EXPECT_EQ(Usage(0x41), 0x04u);
    EXPECT_EQ(Usage(0xA1), 0xE5u);
    EXPECT_EQ(Usage(0x0D), 0x28u);
    EXPECT_EQ(Usage(0x6C), 0x58u);
    EXPECT_EQ(Usage(0xDF), 0x38u);
    EXPECT_EQ(Usage(0x7B), 0x45u);
    EXPECT_EQ(Usage(0x2C), 0x46u);
    for (std::int32_t vk : {0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF7, 0xF8}) EXPECT_EQ(Usage(vk), std::uint32_t(vk));
    UsageLookup shift = VirtualKeyToUsage(0x10, us_);
    EXPECT_FALSE(shift.found);
    EXPECT_EQ(shift.usage, 0u);
    EXPECT_TRUE(VirtualKeyToUsage(0x41, us_).found);
}

TEST_F(KeyTables, UsageNamesOnUs) {
    EXPECT_EQ(Name(0x04), u"A");
    EXPECT_EQ(Name(0x1E), u"1");
    EXPECT_EQ(Name(0x2D), u"-");
    EXPECT_EQ(Name(0x38), u"/");
    EXPECT_EQ(Name(0x28), u"<key_Enter>");
    EXPECT_EQ(Name(0x39), u"<key_Caplk>");
    EXPECT_EQ(Name(0x2C), u"<key_Space>");
    EXPECT_EQ(Name(0x2A), u"<key_BackSpace>");
    EXPECT_EQ(Name(0x3A), u"<key_F1>");
    EXPECT_EQ(Name(0x45), u"<key_F12>");
    EXPECT_EQ(Name(0x58), u"<key_Num_Enter>");
    EXPECT_EQ(Name(0x59), u"<key_Num_1>");
    EXPECT_EQ(Name(0x61), u"<key_Num_9>");
    EXPECT_EQ(Name(0x62), u"<key_Num_0>");
    EXPECT_EQ(Name(0x64), u"<key_\\>");
    EXPECT_EQ(Name(0x82), u"<Sleep>");
    EXPECT_EQ(Name(0x88), u"<Kana/Roma>");
    EXPECT_EQ(Name(0xDD), u"<`>");
    EXPECT_EQ(Name(0xE3), u"<key_LWin>");
    EXPECT_EQ(Name(0xF1), u"<L_Button>");
    EXPECT_EQ(Name(0xF4), u"<Backward_Button>");
    EXPECT_EQ(Name(0xF5), u"<Forward_Button>");
}

TEST_F(KeyTables, UsagesWithoutANameGiveEmptyText) {
    for (std::uint32_t u : {0x00u, 0x03u, 0x32u, 0x66u, 0x67u, 0x68u, 0x81u, 0x83u, 0xDCu, 0xDEu, 0xDFu, 0xE8u, 0xEFu,
                            0xF0u, 0xF6u, 0xF7u, 0xF8u, 0xFFu, 0x1234u})
        EXPECT_EQ(Name(u), u"") << std::hex << u;
}

TEST_F(KeyTables, VirtualKeyNamesPreferTheFixedList) {
    EXPECT_EQ(VirtualKeyToKeyName(0x10, us_, texts_), u"<key_LShift>");
    EXPECT_EQ(VirtualKeyToKeyName(0x2A, us_, texts_), u"<key_Print Scr>");
    EXPECT_EQ(VirtualKeyToKeyName(0xF0, us_, texts_), u"<key_Caplk>");
    EXPECT_EQ(VirtualKeyToKeyName(0x5A, us_, texts_), u"Z");
    EXPECT_EQ(VirtualKeyToKeyName(0xDE, us_, texts_), u"'");
    EXPECT_EQ(VirtualKeyToKeyName(0xFF, us_, texts_), u"");
}

}  // namespace
}  // namespace halvern
