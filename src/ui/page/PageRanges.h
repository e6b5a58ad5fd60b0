// The ranges the page's controls offer, and the rule that brings a profile read from a
// file into them. A store or an imported file may hold anything; what the page shows
// is what it applies, so values outside these ranges are moved to the nearest one
// before they are shown or sent. The skin's sliders use the same ranges, and halvernctl
// refuses values outside them.
#pragma once

#include "records/MouseProfile.h"
#include "records/SettingRanges.h"

namespace halvern {

// Moves every setting into its range and clears the unused fourth byte of the
// colours; returns whether anything changed. Names and buttons are left alone.
bool MakeSettingsSane(MouseProfile& profile);

}  // namespace halvern
