// Which groups of settings differ between the profile to apply and the one the mouse
// was last given. Each group maps to one report; a group counts as changed when any of
// its fields differs, including fields its report does not carry (`spareE`,
// `liftOffDistance`, `spareF`, `dpiValueCopy`, `lightEffectBle`), so that the page's
// edits of those still reach the mouse as a re-sent report.
//
//   DPI      spareE, liftOffDistance, spareF, rippleControl, angleSnap, dpiStep,
//            dpiValue, dpiValueCopy, dpiEnabled, dpiColor          -> sensor report
//   polling  pollingRate                                           -> polling report
//   light    lightEffect, lightEffectBle, breathSpeed, brightness, keyDebounce,
//            lightColor, sleepTimer, lightOffTimer                 -> light and power
//   button   any byte of all 24 button entries                    -> button report
//   macro i  entry i's macroMode, macroLoopCount, macroHeader and the byte after it,
//            the 160 macroActions, macroActionCount, and its function becoming 17
//                                                                  -> its macro chunks
//
// `name`, `moveMode` and the spare fields outside these lists belong to no group.
#pragma once

#include <array>

#include "records/MouseProfile.h"
#include "records/Settings.h"

namespace halvern {

struct ChangeFlags {
    bool dpi = false;
    bool polling = false;
    bool light = false;
    bool button = false;
    std::array<bool, kButtonPositions> macro{};

    static ChangeFlags All();
    // Every group set in either.
    ChangeFlags& operator|=(const ChangeFlags& other);
    friend ChangeFlags operator|(ChangeFlags a, const ChangeFlags& b) { return a |= b; }
    friend bool operator==(const ChangeFlags&, const ChangeFlags&) = default;
};

ChangeFlags DetectChanges(const MouseProfile& current, const MouseProfile& lastApplied);

// The groups a change of one setting of the table makes due (none for move mode).
ChangeFlags GroupsOf(const SettingRow& setting);

}  // namespace halvern
