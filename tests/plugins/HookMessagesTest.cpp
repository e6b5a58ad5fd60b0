#include <gtest/gtest.h>

#include "HookMessages.h"
#include "keys/EvdevKeys.h"
#include "keys/UsKeyboardLayout.h"

namespace halvern::hook {
namespace {

const UsKeyboardLayout kUs;

TEST(HookKeyTranslation, TypingKeysTakeTheVirtualKeyTheLayoutGivesThem) {
    EXPECT_EQ(VirtualKeyOfEvdevCode(30, kUs), 0x41u);  // A
    EXPECT_EQ(VirtualKeyOfEvdevCode(44, kUs), 0x5Au);  // Z
    EXPECT_EQ(VirtualKeyOfEvdevCode(2, kUs), 0x31u);   // 1
    EXPECT_EQ(VirtualKeyOfEvdevCode(12, kUs), 0xBDu);  // -
}

TEST(HookKeyTranslation, KeysThatTypeNothingHaveFixedVirtualKeys) {
    EXPECT_EQ(VirtualKeyOfEvdevCode(42, kUs), 0xA0u);   // left shift
    EXPECT_EQ(VirtualKeyOfEvdevCode(97, kUs), 0xA3u);   // right control
    EXPECT_EQ(VirtualKeyOfEvdevCode(103, kUs), 0x26u);  // up
    EXPECT_EQ(VirtualKeyOfEvdevCode(111, kUs), 0x2Eu);  // delete
    EXPECT_EQ(VirtualKeyOfEvdevCode(82, kUs), 0x60u);   // keypad 0
    EXPECT_EQ(VirtualKeyOfEvdevCode(96, kUs), 0x0Du);   // keypad enter
    EXPECT_EQ(VirtualKeyOfEvdevCode(88, kUs), 0x7Bu);   // F12
    EXPECT_EQ(VirtualKeyOfEvdevCode(1, kUs), 0x1Bu);    // escape
}

TEST(HookKeyTranslation, XKeyCodesAreEvdevCodesPlusEight) {
    EXPECT_EQ(KeyMessage(38, true, kUs), (HookMessage{0x41, 0, false}));
    EXPECT_EQ(KeyMessage(38, false, kUs), (HookMessage{0x41, 1, false}));
}

TEST(HookKeyTranslation, KeysWithoutAVirtualKeyPostNothing) {
    EXPECT_FALSE(KeyMessage(3, true, kUs).has_value());        // below the evdev range
    EXPECT_FALSE(KeyMessage(240 + 8, true, kUs).has_value());  // KEY_UNKNOWN
}

TEST(HookButtonTranslation, TheThreeMainButtonsGiveTheirDownAndUpMessages) {
    EXPECT_EQ(ButtonMessage(1, true), (HookMessage{0x201, 0, true}));
    EXPECT_EQ(ButtonMessage(1, false), (HookMessage{0x202, 0, true}));
    EXPECT_EQ(ButtonMessage(3, true), (HookMessage{0x204, 0, true}));
    EXPECT_EQ(ButtonMessage(3, false), (HookMessage{0x205, 0, true}));
    EXPECT_EQ(ButtonMessage(2, true), (HookMessage{0x207, 0, true}));
    EXPECT_EQ(ButtonMessage(2, false), (HookMessage{0x208, 0, true}));
}

TEST(HookButtonTranslation, SideButtonsSayWhichInTheSecondParameter) {
    EXPECT_EQ(ButtonMessage(8, true), (HookMessage{0x20B, 2, true}));  // back
    EXPECT_EQ(ButtonMessage(8, false), (HookMessage{0x20C, 2, true}));
    EXPECT_EQ(ButtonMessage(9, true), (HookMessage{0x20B, 1, true}));  // forward
    EXPECT_EQ(ButtonMessage(9, false), (HookMessage{0x20C, 1, true}));
}

TEST(HookButtonTranslation, TheWheelAndUnknownButtonsPostNothing) {
    for (unsigned button : {4u, 5u, 6u, 7u, 10u, 0u}) EXPECT_FALSE(ButtonMessage(button, true).has_value()) << button;
}

}  // namespace
}  // namespace halvern::hook
