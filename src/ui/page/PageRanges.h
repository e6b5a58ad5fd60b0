// The ranges the page's controls offer, and the rule that brings a profile read from a
// file into them. A store or an imported file may hold anything; what the page shows
// is what it applies, so values outside these ranges are moved to the nearest one
// before they are shown or sent. The skin's sliders use the same ranges.
#pragma once

#include "records/MouseProfile.h"

namespace halvern {

struct SettingRange {
    std::int32_t min;
    std::int32_t max;
};

namespace PageRange {
// A level value of 0 is a level the mouse skips (levels 7 and 8 after a DPI reset).
inline constexpr SettingRange kDpiValue{0, 280};
inline constexpr SettingRange kDpiSlider{1, 280};
inline constexpr SettingRange kDpiStep{0, static_cast<std::int32_t>(kDpiLevels) - 1};
inline constexpr SettingRange kLightEffect{0, 15};
inline constexpr SettingRange kBrightness{1, 15};
inline constexpr SettingRange kBreathSpeed{1, 8};
inline constexpr SettingRange kSleepTimer{1, 15};
inline constexpr SettingRange kLightOffTimer{1, 30};
inline constexpr SettingRange kKeyDebounce{1, 15};
inline constexpr SettingRange kPollingRate{0, 3};
inline constexpr SettingRange kOnOff{0, 1};
}  // namespace PageRange

// Moves every setting into its range and clears the unused fourth byte of the
// colours; returns whether anything changed. Names and buttons are left alone.
bool MakeSettingsSane(MouseProfile& profile);

}  // namespace halvern
