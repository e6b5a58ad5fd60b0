// The one table of a profile's scalar settings: each row says once where the setting
// lives in the record, the range the mouse takes, the unit people speak of it in, the
// name halvernctl reads and prints, the language key of its text, the controls that
// show it on the page, and when the page sends a change of it. The page binds and
// repairs by this table, halvernctl sets, shows and reads JSON by it, and its --help
// lists and completion come from it; a new slider setting is a row here, its controls
// in the skin, its texts and its place in the virtual mouse's firmware.
//
// Buttons and the profile's name are not scalar settings and are not in the table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "records/MouseProfile.h"

namespace halvern {

struct SettingRange {
    std::int32_t min;
    std::int32_t max;
    constexpr bool contains(std::int32_t v) const { return v >= min && v <= max; }
};

enum class SettingId : std::uint8_t {
    DpiValue,
    DpiEnabled,
    DpiColor,
    DpiActive,
    Polling,
    LightEffect,
    LightEffectBle,
    Brightness,
    BreathSpeed,
    LightColor,
    SleepTimer,
    LightOffTimer,
    KeyDebounce,
    LiftOff,
    Ripple,
    AngleSnap,
    MoveMode,
};

// How a stored value reads as people speak of it.
enum class SettingUnit : std::uint8_t {
    Count,  // the number as stored ("light.brightness=7")
    Dpi,    // a level value v, spoken of as DPI: v x 50 up to 200, (v - 100) x 100 above; 0 is a level without a value
    Level,  // an index from 0, spoken of from 1 ("dpi.active=3")
    PollingHz,    // an index of 125, 250, 500, 1000 Hz
    Minutes,      // "10min"
    HalfMinutes,  // half minutes: 3 is "1.5min"
    TwoMs,        // 2 ms steps: 4 is "8ms"
    Switch,       // 0 or 1, spoken of by the row's two words
    LightEffect,  // an index of kLightEffects, spoken of by its name
    Color,        // R, G, B, 0, spoken of as "#rrggbb"
};

// The kind of control that shows the setting on the page.
enum class SettingControl : std::uint8_t {
    None,     // not on the page
    Slider,   // one slider ("%d" in the name for per-level rows)
    Options,  // a group of options "…_%d", the value's index + 1 selected
    Check,    // a check box: ticked is 1
    Combo,    // a drop-down list whose item index is the value
    Color,    // a button whose background is the colour; a click opens the picker
};

// When the page sends a change the user made.
enum class ApplyTiming : std::uint8_t {
    AtOnce,       // options, check boxes, colours
    AfterEffect,  // the light effect lists: 200 ms after the last choice
    AfterSlider,  // sliders: 500 ms after the last value, so a drag sends once
    OnRequest,    // DPI values: with the next apply asked for
};

struct SettingRow {
    SettingId id;
    std::string_view cliName;  // per-level rows: "dpi.N…", the level replacing N
    bool perLevel;             // one value per DPI level
    SettingRange range;        // in the record's units; colours have none
    SettingUnit unit;
    std::array<std::string_view, 2> words;  // Switch: the words for 0 and for 1
    std::string_view textKey;               // the language key of the setting's text
    SettingControl control;
    std::string_view controlName;  // "%d": the level (per-level rows) or the option's number
    std::string_view valueLabel;   // the label that shows the value as text, or empty
    ApplyTiming timing;
    std::int32_t MouseProfile::*scalar;
    std::int32_t (MouseProfile::*levels)[kDpiLevels];
    RgbColor MouseProfile::*color;
    RgbColor (MouseProfile::*levelColors)[kDpiLevels];
};

// A level value of 0 is a level the mouse skips (levels 7 and 8 after a DPI reset);
// the slider starts at 1.
inline constexpr SettingRange kDpiSliderRange{1, 280};

namespace detail {
using P = MouseProfile;
inline constexpr std::array<std::string_view, 2> kNoWords{};
constexpr SettingRow Scalar(SettingId id, std::string_view cli, SettingRange range, SettingUnit unit,
                            std::string_view key, SettingControl control, std::string_view name, std::string_view label,
                            ApplyTiming timing, std::int32_t P::*field,
                            std::array<std::string_view, 2> words = kNoWords) {
    return {id, cli, false, range, unit, words, key, control, name, label, timing, field, nullptr, nullptr, nullptr};
}
}  // namespace detail

// clang-format off
inline constexpr std::array<SettingRow, 17> kSettings = {{
    // Per DPI level, in the order halvernctl prints them for each level.
    {SettingId::DpiValue, "dpi.N", true, {0, 280}, SettingUnit::Dpi, detail::kNoWords, "section_dpi_text",
     SettingControl::Slider, "ms_1_slider_dpi_%d", "ms_1_label_dpi_%d", ApplyTiming::OnRequest, nullptr,
     &MouseProfile::dpiValue, nullptr, nullptr},
    {SettingId::DpiEnabled, "dpi.N.enabled", true, {0, 1}, SettingUnit::Switch, {"no", "yes"}, "", SettingControl::None,
     "", "", ApplyTiming::AtOnce, nullptr, &MouseProfile::dpiEnabled, nullptr, nullptr},
    {SettingId::DpiColor, "dpi.N.color", true, {0, 0}, SettingUnit::Color, detail::kNoWords, "dpi_color_tip_text",
     SettingControl::Color, "ms_1_btn_dpi_color_%d", "", ApplyTiming::AtOnce, nullptr, nullptr, nullptr, &MouseProfile::dpiColor},
    // Once per profile.
    detail::Scalar(SettingId::DpiActive, "dpi.active", {0, static_cast<std::int32_t>(kDpiLevels) - 1}, SettingUnit::Level,
                   "dpi_step_tip_text", SettingControl::Options, "ms_1_option_dpi_step_%d", "", ApplyTiming::AtOnce,
                   &MouseProfile::dpiStep),
    detail::Scalar(SettingId::Polling, "polling", {0, 3}, SettingUnit::PollingHz, "section_prate_text", SettingControl::Options,
                   "ms_1_btn_prate_%d", "ms_1_label_prate", ApplyTiming::AtOnce, &MouseProfile::pollingRate),
    detail::Scalar(SettingId::LightEffect, "light.effect", {0, 15}, SettingUnit::LightEffect, "light_effect_label_text",
                   SettingControl::Combo, "ms_1_combo_light", "", ApplyTiming::AfterEffect, &MouseProfile::lightEffect),
    detail::Scalar(SettingId::LightEffectBle, "light.effect-ble", {0, 15}, SettingUnit::LightEffect, "light_effect_ble_label_text",
                   SettingControl::Combo, "ms_1_combo_light_ble", "", ApplyTiming::AfterEffect,
                   &MouseProfile::lightEffectBle),
    detail::Scalar(SettingId::Brightness, "light.brightness", {1, 15}, SettingUnit::Count, "brightness_text",
                   SettingControl::Slider, "ms_1_slider_brightness", "", ApplyTiming::AfterSlider,
                   &MouseProfile::brightness),
    detail::Scalar(SettingId::BreathSpeed, "light.speed", {1, 8}, SettingUnit::Count, "breath_speed_text",
                   SettingControl::Slider, "ms_1_slider_breathspeed", "", ApplyTiming::AfterSlider,
                   &MouseProfile::breathSpeed),
    {SettingId::LightColor, "light.color", false, {0, 0}, SettingUnit::Color, detail::kNoWords, "light_color_text",
     SettingControl::Color, "ms_1_btn_light_color", "", ApplyTiming::AtOnce, nullptr, nullptr, &MouseProfile::lightColor,
     nullptr},
    detail::Scalar(SettingId::SleepTimer, "sleep", {1, 15}, SettingUnit::Minutes, "sleep_timer_3_text",
                   SettingControl::Slider, "ms_1_slider_sleep_timer", "ms_1_label_sleep_timer", ApplyTiming::AfterSlider,
                   &MouseProfile::sleepTimer),
    detail::Scalar(SettingId::LightOffTimer, "light-off", {1, 30}, SettingUnit::HalfMinutes, "sleep_timer_1_text",
                   SettingControl::Slider, "ms_1_slider_light_off", "ms_1_label_light_off", ApplyTiming::AfterSlider,
                   &MouseProfile::lightOffTimer),
    detail::Scalar(SettingId::KeyDebounce, "debounce", {1, 15}, SettingUnit::TwoMs, "section_debounce_text",
                   SettingControl::Slider, "ms_1_slider_key_debounce", "ms_1_label_key_debounce",
                   ApplyTiming::AfterSlider, &MouseProfile::keyDebounce),
    detail::Scalar(SettingId::LiftOff, "lift-off", {0, 1}, SettingUnit::Switch, "section_lift_text",
                   SettingControl::Options, "ms_1_option_lift_of_distance_%d", "", ApplyTiming::AtOnce,
                   &MouseProfile::liftOffDistance, {"low", "high"}),
    detail::Scalar(SettingId::Ripple, "ripple", {0, 1}, SettingUnit::Switch, "section_ripple_text",
                   SettingControl::Options, "ms_1_option_ripple_control_%d", "", ApplyTiming::AtOnce,
                   &MouseProfile::rippleControl, {"off", "on"}),
    detail::Scalar(SettingId::AngleSnap, "angle-snap", {0, 1}, SettingUnit::Switch, "section_angle_text",
                   SettingControl::Options, "ms_1_option_angle_snap_%d", "", ApplyTiming::AtOnce,
                   &MouseProfile::angleSnap, {"off", "on"}),
    detail::Scalar(SettingId::MoveMode, "move-mode", {0, 1}, SettingUnit::Switch, "move_mode_text",
                   SettingControl::Check, "ms_1_check_movemode", "", ApplyTiming::AtOnce, &MouseProfile::moveMode,
                   {"off", "on"}),
}};
// clang-format on

// The row of an id (every id has one), or of a name as halvernctl takes it ("dpi.N"
// for per-level rows); nullptr for an unknown name.
const SettingRow& Setting(SettingId id);
const SettingRow* FindSettingByCliName(std::string_view name);

// Where a row's value lives in a profile; `level` 0..7 for per-level rows, ignored
// otherwise. Colour rows have no integer field (nullptr) and integer rows no colour.
std::int32_t* IntField(MouseProfile& profile, const SettingRow& row, std::size_t level = 0);
const std::int32_t* IntField(const MouseProfile& profile, const SettingRow& row, std::size_t level = 0);
RgbColor* ColorField(MouseProfile& profile, const SettingRow& row, std::size_t level = 0);
const RgbColor* ColorField(const MouseProfile& profile, const SettingRow& row, std::size_t level = 0);

// How many values a row has in a profile: 8 for per-level rows, else 1.
constexpr std::size_t ValueCount(const SettingRow& row) { return row.perLevel ? kDpiLevels : 1; }

// Moves every setting of the table into its range and clears the unused fourth byte of
// the colours; the DPI levels' copies follow their ranges too. Names and buttons are
// left alone. Returns whether anything changed. What the page shows is then what it
// sends, and halvernctl writes nothing the page would not.
bool BringIntoRange(MouseProfile& profile);

// ---- The text forms halvernctl reads and prints ----

// "1600", "yes", "#ff8000", "1000", "static", "10min", "2.5min", "8ms", "high", "3".
// A value outside its range prints as the nearest thing that says so ("index 7" for
// a polling index the mouse does not have, the number for an unknown effect).
std::string SettingText(const SettingRow& row, const MouseProfile& profile, std::size_t level = 0);

struct SettingInput {
    enum class Problem { None, NotValid, OutOfRange };
    Problem problem = Problem::None;
    std::int32_t value = 0;  // integer rows
    RgbColor color{};        // colour rows
    // A DPI that is not a step of the mouse is taken at the nearest step below; this says
    // which DPI that is, so the caller can tell the user.
    std::optional<std::int32_t> roundedDpi;
};

// Reads a value as SettingText prints it (and the other forms the unit allows: "1000Hz",
// "30s", a plain number for minutes). A refused value leaves `problem` set; what the
// row accepts is AcceptedText(row).
SettingInput ParseSettingText(const SettingRow& row, std::string_view text);
std::string AcceptedText(const SettingRow& row);

// Writes one integer value (a value the mouse reported, say) into its field; level 0
// for rows with one value.
void SetValue(MouseProfile& profile, SettingId id, std::int32_t value, std::size_t level = 0);

// Writes a parsed value into its field.
void StoreSetting(MouseProfile& profile, const SettingRow& row, std::size_t level, const SettingInput& input);

}  // namespace halvern
