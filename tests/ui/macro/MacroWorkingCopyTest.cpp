// The editor's action operations on the working copy, by behaviour.
#include <gtest/gtest.h>

#include "ui/macro/MacroWorkingCopy.h"

namespace halvern {
namespace {

MacroWorkingCopy CopyOf(std::initializer_list<MacroAction> actions, int selected = -1) {
    MacroWorkingCopy copy;
    for (const MacroAction& a : actions) copy.actions[static_cast<std::size_t>(copy.actionCount++)] = a;
    copy.iActionIndex = selected;
    return copy;
}

MacroWorkingCopy Filled(int count, std::uint16_t delay) {
    MacroWorkingCopy copy;
    for (int i = 0; i < count; ++i)
        copy.actions[static_cast<std::size_t>(i)] = {0x04, static_cast<std::uint8_t>(i % 2 ? 2 : 1), delay};
    copy.actionCount = count;
    return copy;
}

const MacroAction kA{0x04, 1, 30}, kB{0x05, 2, 40}, kC{0x06, 1, 50};

TEST(MacroActionMoves, AnActionMovesWithItsDelayAndTheSelectionFollows) {
    MacroWorkingCopy copy = CopyOf({kA, kB, kC}, 1);
    ASSERT_TRUE(copy.moveUp());
    EXPECT_EQ(copy.actions[0], kB);
    EXPECT_EQ(copy.actions[1], kA);
    EXPECT_EQ(copy.iActionIndex, 0);
    ASSERT_TRUE(copy.moveDown());
    ASSERT_TRUE(copy.moveDown());
    EXPECT_EQ(copy.actions[2], kB);
    EXPECT_EQ(copy.iActionIndex, 2);
}

TEST(MacroActionMoves, UpOnTheFirstRowAndDownOnTheLastDoNothing) {
    MacroWorkingCopy first = CopyOf({kA, kB}, 0);
    EXPECT_FALSE(first.moveUp());
    MacroWorkingCopy last = CopyOf({kA, kB}, 1);
    EXPECT_FALSE(last.moveDown());
    MacroWorkingCopy none = CopyOf({kA, kB}, -1);
    EXPECT_FALSE(none.moveDown());
    EXPECT_EQ(first.actions[0], kA);
    EXPECT_EQ(last.actions[1], kB);
}

TEST(MacroActionDelete, TheSelectionStaysOnItsRowOrGoesToTheNewLast) {
    MacroWorkingCopy copy = CopyOf({kA, kB, kC}, 1);
    ASSERT_TRUE(copy.deleteSelected());
    EXPECT_EQ(copy.actionCount, 2);
    EXPECT_EQ(copy.actions[1], kC);
    EXPECT_EQ(copy.actions[2], MacroAction{});
    EXPECT_EQ(copy.iActionIndex, 1);
    ASSERT_TRUE(copy.deleteSelected());
    EXPECT_EQ(copy.iActionIndex, 0);
    ASSERT_TRUE(copy.deleteSelected());
    EXPECT_EQ(copy.iActionIndex, -1);
    EXPECT_FALSE(copy.deleteSelected());
}

TEST(MacroActionClear, RemovesEveryActionAndLeavesInsertMode) {
    MacroWorkingCopy copy = CopyOf({kA, kB}, 1);
    copy.insertMode = true;
    copy.insertIndex = 2;
    copy.clear();
    EXPECT_EQ(copy.actionCount, 0);
    EXPECT_EQ(copy.iActionIndex, -1);
    EXPECT_EQ(copy.insertIndex, -1);
    EXPECT_FALSE(copy.insertMode);
    EXPECT_EQ(copy.actions[0], MacroAction{});
}

TEST(MacroInsertClick, WithNothingSelectedThePressAndReleaseGoToTheTop) {
    MacroWorkingCopy copy = CopyOf({kA});
    ASSERT_TRUE(copy.insertClick(kMouseMiddle, 25));
    EXPECT_EQ(copy.actionCount, 3);
    EXPECT_EQ(copy.actions[0], (MacroAction{kMouseMiddle, 1, 25}));
    EXPECT_EQ(copy.actions[1], (MacroAction{kMouseMiddle, 2, 25}));
    EXPECT_EQ(copy.actions[2], kA);
    EXPECT_EQ(copy.iActionIndex, 1);
    EXPECT_EQ(copy.insertIndex, 2);
}

TEST(MacroInsertClick, GoesAfterTheSelectedAction) {
    MacroWorkingCopy copy = CopyOf({kA, kB}, 0);
    ASSERT_TRUE(copy.insertClick(kMouseLeft, 10));
    EXPECT_EQ(copy.actions[0], kA);
    EXPECT_EQ(copy.actions[1].key, kMouseLeft);
    EXPECT_EQ(copy.actions[2].key, kMouseLeft);
    EXPECT_EQ(copy.actions[3], kB);
    EXPECT_EQ(copy.iActionIndex, 2);
}

TEST(MacroInsertClick, FillsTo160AndNoFurther) {
    MacroWorkingCopy copy = Filled(158, 10);
    ASSERT_TRUE(copy.insertClick(kMouseLeft, 10));
    EXPECT_EQ(copy.actionCount, 160);
    MacroWorkingCopy full = Filled(159, 10);
    EXPECT_FALSE(full.insertClick(kMouseLeft, 10));
    EXPECT_EQ(full.actionCount, 159);
}

TEST(MacroCapacity, DelaysAbove128CountTwice) {
    EXPECT_EQ(CopyOf({{4, 1, 128}, {4, 2, 129}, {4, 1, 0}}).totalNum(), 4);
    EXPECT_EQ(Filled(160, 10).totalNum(), 160);
    EXPECT_TRUE(Filled(160, 10).storable());
    MacroWorkingCopy over = Filled(160, 10);
    over.actions[0].delay = 200;
    over.actions[1].delay = 200;
    EXPECT_EQ(over.totalNum(), 162);
    EXPECT_FALSE(over.storable());
}

TEST(MacroCapacity, AMacroTooLongForOneButtonsBlocksIsNotStorableThoughItsCountIsLow) {
    // 128 ms counts once but takes the long form on the mouse.
    MacroWorkingCopy copy = Filled(96, 128);
    EXPECT_EQ(copy.totalNum(), 96);
    EXPECT_TRUE(copy.fitsOneButton());
    copy.actions[96] = {4, 1, 128};
    copy.actionCount = 97;
    EXPECT_FALSE(copy.fitsOneButton());
    EXPECT_FALSE(copy.storable());
}

TEST(MacroDelays, TypedDelaysAreKeptBetween1And25000) {
    EXPECT_EQ(ClampDelay(0), 1);
    EXPECT_EQ(ClampDelay(1), 1);
    EXPECT_EQ(ClampDelay(2), 2);
    EXPECT_EQ(ClampDelay(25000), 25000);
    EXPECT_EQ(ClampDelay(99999999), 25000);
}

TEST(MacroMouseCodes, ComboItemsAndCodesMapBothWays) {
    const std::uint8_t codes[] = {0xF1, 0xF2, 0xF3, 0xF5, 0xF4};
    for (int item = 0; item < 5; ++item) {
        EXPECT_EQ(kMouseCodeOfItem[static_cast<std::size_t>(item)], codes[item]);
        EXPECT_EQ(ItemOfMouseCode(codes[item]), item);
    }
    EXPECT_EQ(ItemOfMouseCode(0x04), -1);
}

}  // namespace
}  // namespace halvern
