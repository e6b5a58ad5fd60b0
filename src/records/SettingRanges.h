// The range of each setting the page's controls offer, in the record's own units. The
// page keeps profiles inside them and halvernctl refuses values outside them, so both
// speak of the same settings.
#pragma once

#include <cstdint>

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

}  // namespace halvern
