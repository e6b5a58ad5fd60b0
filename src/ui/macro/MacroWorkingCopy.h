// The macro editor's working copy of one macro and the operations on it: moves,
// deletes, inserted clicks and recorded events. Pure and free of the window, so the
// rules are tested on their own; the editor mirrors every change in its action list.
#pragma once

#include <array>
#include <cstdint>

#include "records/MacroRecord.h"
#include "storage/ProfileRules.h"

namespace halvern {

// Delays the editor puts on actions, in milliseconds; the bounds are every door's.
inline constexpr std::uint16_t kStandardDelay = 10;
inline constexpr std::uint16_t kMinDelay = kMinPause;
inline constexpr std::uint16_t kMaxDelay = kMaxPause;

// The capacity measure of a stored macro: one per action, one more for a delay above
// 128 ms. A stored macro never exceeds kMaxTotalNum.
inline constexpr int kMaxTotalNum = 161;

enum class DelayMode : std::int32_t { Record = 0, Default = 1, None = 2 };

struct MacroWorkingCopy {
    std::array<MacroAction, kMaxMacroActions> actions{};
    int actionCount = 0;
    int iActionIndex = -1;  // selected action, -1 none
    int insertIndex = -1;   // where the next action goes; -1 appends
    int insertStart = -1;   // insertIndex when the recording started
    bool insertMode = false;

    void load(const MacroRecord& macro);
    void storeInto(MacroRecord& macro) const;

    int totalNum() const;
    // Whether the actions fit the blocks one macro button owns on the mouse: the rule
    // every door to a macro follows (FitMacro), not one of the editor's own.
    bool fitsOneButton() const;
    // Both bounds of a stored macro hold.
    bool storable() const { return totalNum() <= kMaxTotalNum && fitsOneButton(); }

    // Swaps the selected action with its neighbour and moves the selection with it;
    // false (nothing changed) at the edge or without a selection.
    bool moveUp();
    bool moveDown();
    // Removes the selected action; the selection stays on its row, or on the new last.
    bool deleteSelected();
    // Removes every action and leaves insert mode.
    void clear();
    // A press and a release of a mouse button after the selected action (at the top
    // when none is selected), selecting the release; false when 160 would be exceeded.
    // Leaves insert mode on, so the list shows the inserted rows; the caller turns it
    // off once it has.
    bool insertClick(std::uint8_t code, std::uint16_t delay);

    // Inserts at insertIndex (advancing it) or appends when it is -1; the selection
    // follows. False when the macro is full.
    bool insert(const MacroAction& action);
};

// Mouse button codes in the order of the edit panel's combo items and of the insert
// buttons: left, right, middle, forward, back.
inline constexpr std::array<std::uint8_t, 5> kMouseCodeOfItem = {kMouseLeft, kMouseRight, kMouseMiddle, kMouseForward,
                                                                 kMouseBackward};
int ItemOfMouseCode(std::uint8_t code);  // -1 when not a mouse code

// A delay typed into an edit box, kept within what an action holds.
std::uint16_t ClampDelay(long long typed);

}  // namespace halvern
