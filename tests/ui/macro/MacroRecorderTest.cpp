// Recording on virtual time: what each hook event adds, and the pause each action
// carries in the three delay modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "keys/UsKeyboardLayout.h"
#include "ui/macro/MacroRecorder.h"

namespace halvern {
namespace {

constexpr std::uintptr_t kA = 0x41, kB = 0x42;

class Recording : public ::testing::Test {
protected:
    // Starts at t = 1000 ms.
    void start(DelayMode mode, std::uint16_t defaultDelay = 10) {
        MacroRecorder::Prepare(copy);
        recorder.start(1000, defaultDelay, mode);
    }
    MacroRecorder::Outcome event(std::uintptr_t w, std::intptr_t l, std::uint32_t at) {
        return recorder.onEvent(copy, w, l, at, us);
    }
    std::vector<std::uint16_t> delays() const {
        std::vector<std::uint16_t> out;
        for (int i = 0; i < copy.actionCount; ++i) out.push_back(copy.actions[static_cast<std::size_t>(i)].delay);
        return out;
    }

    UsKeyboardLayout us;
    RecordingMemory memory;
    MacroRecorder recorder{memory};
    MacroWorkingCopy copy;
};

TEST_F(Recording, MeasuredPausesGoOnTheActionBeforeAndTheLastCarries10) {
    start(DelayMode::Record);
    event(kA, 0, 1300);
    event(kA, 1, 1420);
    event(kB, 0, 2420);
    ASSERT_EQ(copy.actionCount, 3);
    EXPECT_EQ(copy.actions[0], (MacroAction{0x04, 1, 120}));
    EXPECT_EQ(copy.actions[1], (MacroAction{0x04, 2, 1000}));
    EXPECT_EQ(copy.actions[2], (MacroAction{0x05, 1, 10}));
}

TEST_F(Recording, APauseOf70SecondsIsStoredAs25000) {
    start(DelayMode::Record);
    event(kA, 0, 1000);
    event(kA, 1, 71000);
    EXPECT_EQ(delays(), (std::vector<std::uint16_t>{25000, 10}));
}

TEST_F(Recording, DefaultModeStoresTheDefaultDelayAndNoDelayModeStores1) {
    start(DelayMode::Default, 37);
    event(kA, 0, 1300);
    event(kA, 1, 9000);
    event(kB, 0, 9100);
    EXPECT_EQ(delays(), (std::vector<std::uint16_t>{37, 37, 10}));

    copy = {};
    recorder.stop();
    start(DelayMode::None);
    event(kB, 1, 1300);
    event(kA, 0, 9000);
    event(kA, 1, 9100);
    EXPECT_EQ(delays(), (std::vector<std::uint16_t>{1, 1, 10}));
}

TEST_F(Recording, AHeldKeysRepeatsAreDroppedButAPressedAgainKeyIsNot) {
    start(DelayMode::Default);
    EXPECT_EQ(event(kA, 0, 1100), MacroRecorder::Outcome::Added);
    EXPECT_EQ(event(kA, 0, 1130), MacroRecorder::Outcome::Ignored);
    EXPECT_EQ(event(kA, 0, 1160), MacroRecorder::Outcome::Ignored);
    event(kA, 1, 1200);
    event(kA, 0, 1300);
    event(kA, 1, 1400);
    EXPECT_EQ(copy.actionCount, 4);
}

TEST_F(Recording, MouseMessagesBecomeButtonCodesAndUnknownKeysBecome0) {
    start(DelayMode::Default);
    event(0x201, 0, 1100);
    event(0x205, 0, 1110);
    event(0x207, 0, 1120);
    event(0x20B, 2, 1130);
    event(0x20C, 1, 1140);
    event(0x20B, 3, 1150);  // no side button of that number: a key
    event(0x10, 0, 1160);   // the generic Shift key has no row
    const MacroAction want[] = {{0xF1, 1, 10}, {0xF2, 2, 10}, {0xF3, 1, 10}, {0xF4, 1, 10},
                                {0xF5, 2, 10}, {0x00, 2, 10}, {0x00, 1, 10}};
    ASSERT_EQ(copy.actionCount, 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(copy.actions[static_cast<std::size_t>(i)], want[i]) << i;
}

TEST_F(Recording, WithNothingSelectedTheRecordingReplacesTheActions) {
    copy.actions[0] = {0x09, 1, 300};
    copy.actionCount = 1;
    copy.iActionIndex = -1;
    start(DelayMode::Default);
    EXPECT_EQ(copy.actionCount, 0);
    event(kB, 0, 1100);
    EXPECT_EQ(copy.actions[0], (MacroAction{0x05, 1, 10}));
}

// Wherever a recording is inserted, the actions that were there keep their pauses: the
// pause since the start belongs to none of them, and each recorded action carries the
// pause after it, the last one 10 ms.
TEST_F(Recording, AnInsertedRecordingLeavesEveryPauseThatWasThere) {
    const MacroAction there[] = {{0x09, 1, 300}, {0x09, 2, 777}, {0x0A, 1, 5000}};
    struct Case {
        int selected;
        DelayMode mode;
        std::uint16_t pause;  // what the first recorded action carries
    };
    for (const Case& c : {Case{0, DelayMode::Record, 150}, Case{1, DelayMode::Default, 50}, Case{2, DelayMode::None, 1},
                          Case{0, DelayMode::None, 1}}) {
        SCOPED_TRACE("after action " + std::to_string(c.selected) + ", mode " +
                     std::to_string(static_cast<int>(c.mode)));
        memory = {};
        recorder.stop();
        copy = {};
        std::copy(std::begin(there), std::end(there), copy.actions.begin());
        copy.actionCount = 3;
        copy.iActionIndex = c.selected;
        start(c.mode, 50);
        event(kA, 0, 1100);
        event(kA, 1, 1250);
        std::vector<MacroAction> want(there, there + c.selected + 1);
        want.push_back({0x04, 1, c.pause});
        want.push_back({0x04, 2, 10});
        want.insert(want.end(), there + c.selected + 1, std::end(there));
        EXPECT_EQ(std::vector<MacroAction>(copy.actions.begin(), copy.actions.begin() + copy.actionCount), want);
        EXPECT_EQ(copy.insertIndex, c.selected + 3);
    }
}

TEST_F(Recording, AFullMacroEndsTheRecordingAtMost161) {
    start(DelayMode::Record);
    MacroRecorder::Outcome last = MacroRecorder::Outcome::Added;
    std::uint32_t t = 1000;
    for (int i = 0; i < 400 && last == MacroRecorder::Outcome::Added; ++i) {
        t += 200;  // every pause counts twice
        last = event(i % 2 ? kA : kB, i % 4 < 2 ? 0 : 1, t);
    }
    EXPECT_TRUE(last == MacroRecorder::Outcome::Full || last == MacroRecorder::Outcome::AddedFull);
    EXPECT_LE(copy.totalNum(), 161);
    EXPECT_GE(copy.totalNum(), 160);
}

TEST_F(Recording, TheLastEventIsRememberedAcrossRecordings) {
    start(DelayMode::Default);
    event(kA, 1, 1100);
    recorder.stop();
    copy = {};
    MacroRecorder another(memory);
    MacroRecorder::Prepare(copy);
    another.start(2000, 10, DelayMode::Default);
    EXPECT_EQ(another.onEvent(copy, kA, 1, 2100, us), MacroRecorder::Outcome::Ignored);
    EXPECT_EQ(memory.lastEventTime, 2000u);
}

}  // namespace
}  // namespace halvern
