// The light effects a profile's `lightEffect` and `lightEffectBle` index, row for row:
// the language key of the effect's text and the name halvernctl reads and prints.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace halvern {

struct LightEffectRow {
    std::int32_t index;
    std::string_view textKey;
    std::string_view name;
};

inline constexpr std::array<LightEffectRow, 16> kLightEffects = {{
    {0, "light_effect_0_text", "off"},
    {1, "light_effect_1_text", "static"},
    {2, "light_effect_2_text", "breathing"},
    {3, "light_effect_3_text", "spectrum"},
    {4, "light_effect_4_text", "wave"},
    {5, "light_effect_5_text", "flow"},
    {6, "light_effect_6_text", "neon"},
    {7, "light_effect_7_text", "rainbow"},
    {8, "light_effect_8_text", "reactive"},
    {9, "light_effect_9_text", "ripple"},
    {10, "light_effect_10_text", "marquee"},
    {11, "light_effect_11_text", "starlight"},
    {12, "light_effect_12_text", "follow-dpi"},
    {13, "light_effect_13_text", "pulse"},
    {14, "light_effect_14_text", "flash"},
    {15, "light_effect_15_text", "twinkle"},
}};

// The row of an index or of a name, or nullptr.
constexpr const LightEffectRow* FindLightEffect(std::int32_t index) {
    for (const LightEffectRow& row : kLightEffects)
        if (row.index == index) return &row;
    return nullptr;
}

constexpr const LightEffectRow* FindLightEffectByName(std::string_view name) {
    for (const LightEffectRow& row : kLightEffects)
        if (row.name == name) return &row;
    return nullptr;
}

}  // namespace halvern
