#include "platform/XkbKeyboardLayout.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "keys/UsKeyboardLayout.h"
#include "support/KeyTextsFake.h"
#include "keys/KeyCodeTable.h"

namespace halvern {
namespace {

TEST(XkbLayout, UsKeymapAgreesWithTheFixedUsTable) {
    XkbKeyboardLayout xkb("us");
    ASSERT_TRUE(xkb.ok());
    UsKeyboardLayout us;
    test::BracketTexts texts;
    for (const KeyCodeRow& row : KeyCodeTable) {
        auto usage = static_cast<std::uint32_t>(row.usageId);
        EXPECT_EQ(UsageToKeyName(usage, xkb, texts), UsageToKeyName(usage, us, texts)) << std::hex << usage;
        EXPECT_EQ(VirtualKeyToUsage(row.virtualKey, xkb).usage, VirtualKeyToUsage(row.virtualKey, us).usage)
            << std::hex << row.virtualKey;
    }
}

TEST(XkbLayout, FrenchKeysAreNamedAndRecordedByPhysicalPosition) {
    XkbKeyboardLayout fr("fr");
    ASSERT_TRUE(fr.ok());
    test::BracketTexts texts;
    // The key with usage 04 (US "A") types "q" on AZERTY.
    EXPECT_EQ(UsageToKeyName(0x04, fr, texts), u"Q");
    EXPECT_EQ(UsageToKeyName(0x14, fr, texts), u"A");
    EXPECT_EQ(UsageToKeyName(0x1D, fr, texts), u"W");
    EXPECT_EQ(UsageToKeyName(0x33, fr, texts), u"M");
    EXPECT_EQ(UsageToKeyName(0x1E, fr, texts), u"&");  // the "1" key types "&" unshifted
    EXPECT_EQ(UsageToKeyName(0x1F, fr, texts), u"É");  // upper-cased
    EXPECT_EQ(UsageToKeyName(0x2F, fr, texts), u"^");  // a dead key reads as its accent
    EXPECT_EQ(UsageToKeyName(0x28, fr, texts), u"<key_Enter>");
    // Pressing "A" (virtual key 41) on AZERTY is the key at usage 14.
    EXPECT_EQ(VirtualKeyToUsage(0x41, fr).usage, 0x14u);
    EXPECT_EQ(VirtualKeyToUsage(0x51, fr).usage, 0x04u);
    EXPECT_EQ(VirtualKeyToUsage(0x4D, fr).usage, 0x33u);
    EXPECT_EQ(VirtualKeyToUsage(0x31, fr).usage, 0x1Eu);
    EXPECT_EQ(VirtualKeyToUsage(0x70, fr).usage, 0x3Au);
}

TEST(XkbLayout, EveryKeyOfTheTableGetsItsOwnVirtualKey) {
    for (const char* name : {"us", "fr", "de", "ru", "gb", "be"}) {
        XkbKeyboardLayout layout(name);
        ASSERT_TRUE(layout.ok()) << name;
        std::set<std::uint32_t> seen;
        for (const KeyCodeRow& row : KeyCodeTable) {
            if (row.scanCode == 0 || row.virtualKey == 0xDF) continue;
            std::uint32_t vk = layout.scanCodeToVirtualKey(static_cast<std::uint32_t>(row.scanCode));
            EXPECT_NE(vk, 0u) << name << " scan " << row.scanCode;
            EXPECT_TRUE(seen.insert(vk).second) << name << " vk " << vk << " twice";
            EXPECT_EQ(layout.virtualKeyToScanCode(vk), static_cast<std::uint32_t>(row.scanCode)) << name;
        }
    }
}

TEST(XkbLayout, RussianLettersKeepTheirUsPositions) {
    XkbKeyboardLayout ru("ru");
    ASSERT_TRUE(ru.ok());
    test::BracketTexts texts;
    EXPECT_EQ(VirtualKeyToUsage(0x41, ru).usage, 0x04u);
    EXPECT_EQ(UsageToKeyName(0x04, ru, texts), u"Ф");
}

TEST(XkbLayout, AnUnknownLayoutFallsBackToUs) {
    XkbKeyboardLayout bogus("no-such-layout-xyz");
    EXPECT_FALSE(bogus.ok());
    EXPECT_EQ(VirtualKeyToUsage(0x41, bogus).usage, 0x04u);
    setenv("XKB_DEFAULT_LAYOUT", "no-such-layout-xyz", 1);
    auto fromEnv = XkbKeyboardLayout::FromEnvironment();
    unsetenv("XKB_DEFAULT_LAYOUT");
    EXPECT_TRUE(fromEnv->ok());
    EXPECT_EQ(fromEnv->layoutName(), "us");
}

TEST(XkbLayout, EnvironmentPicksTheFirstLayout) {
    setenv("XKB_DEFAULT_LAYOUT", "fr,us", 1);
    auto layout = XkbKeyboardLayout::FromEnvironment();
    unsetenv("XKB_DEFAULT_LAYOUT");
    EXPECT_EQ(layout->layoutName(), "fr");
}

}  // namespace
}  // namespace halvern
