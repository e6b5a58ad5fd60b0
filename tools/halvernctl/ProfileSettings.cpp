#include "ProfileSettings.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

#include "MacroSteps.h"
#include "keys/KeyNames.h"
#include "protocol/CommandReports.h"
#include "records/ButtonFunctions.h"
#include "records/LightEffects.h"
#include "records/SettingRanges.h"
#include "records/Text.h"
#include "storage/RecordFiles.h"

namespace halvern::cli {

namespace {

using namespace PageRange;

constexpr std::int32_t kMinDpi = 50;
constexpr std::int32_t kMaxDpi = 18000;
constexpr int kMaxLoopCount = 255;
constexpr int kMacroModes = 3;

// Polling index to Hz, in the record's order.
constexpr int kPollingHz[] = {125, 250, 500, 1000};

std::string Text(int v) { return std::to_string(v); }

std::optional<int> ParseInt(std::string_view text) {
    int v = 0;
    if (text.empty()) return std::nullopt;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

bool CutSuffix(std::string_view& text, std::string_view suffix) {
    if (!text.ends_with(suffix)) return false;
    text.remove_suffix(suffix.size());
    return true;
}

std::string ColorText(const RgbColor& c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
    return text;
}

std::optional<RgbColor> ParseColor(std::string_view text) {
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    std::uint32_t rgb = 0;
    auto [end, ec] = std::from_chars(text.data() + 1, text.data() + 7, rgb, 16);
    if (ec != std::errc() || end != text.data() + 7) return std::nullopt;
    return RgbColor::fromArgb(rgb);
}

std::optional<bool> ParseSwitch(std::string_view text, std::string_view yes, std::string_view no) {
    if (text == yes) return true;
    if (text == no) return false;
    return std::nullopt;
}

// Half minutes as "0.5min", "1min", "1.5min".
std::string HalfMinutesText(int halves) { return Text(halves / 2) + (halves % 2 ? ".5" : "") + "min"; }

std::optional<int> ParseHalfMinutes(std::string_view text) {
    if (CutSuffix(text, "s")) {
        std::optional<int> seconds = ParseInt(text);
        if (!seconds || *seconds % 30 != 0) return std::nullopt;
        return *seconds / 30;
    }
    CutSuffix(text, "min");
    bool half = CutSuffix(text, ".5");
    CutSuffix(text, ".0");
    std::optional<int> whole = ParseInt(text);
    if (!whole || *whole < 0 || *whole > 1000) return std::nullopt;
    return *whole * 2 + (half ? 1 : 0);
}

// ---- Buttons ----

std::string KeyCombinationText(const ButtonAssignment& b) {
    std::string text = "key:";
    static constexpr std::pair<std::uint8_t, const char*> kMods[] = {
        {kModCtrl, "ctrl"}, {kModShift, "shift"}, {kModAlt, "alt"}, {kModWin, "win"}};
    for (auto [bit, name] : kMods)
        if (b.keyModifiers & bit) text += std::string(name) + "+";
    std::string_view key = KeyNameOf(b.keyUsage);
    return text + (key.empty() ? "code" + Text(b.keyUsage) : std::string(key));
}

std::string ButtonText(const ButtonAssignment& b) {
    if (b.function == ButtonFunction::KeyCombination) return KeyCombinationText(b);
    if (b.function == ButtonFunction::Macro) {
        std::string text = "macro:" + Utf16ToUtf8(b.macroNameText());
        return text + (b.macroMode == 0 ? ":repeat=" + Text(b.macroLoopCount) : ":mode=" + Text(b.macroMode));
    }
    const ButtonFunctionRow* row = FindButtonFunction(b.function);
    return row && !row->name.empty() ? std::string(row->name) : "code:" + Text(b.function);
}

// The buttons the mouse keeps macro blocks for; a macro on any other is never sent.
std::string MacroButtonsText() {
    std::string list;
    for (std::size_t i = 0; i < macroBlockBase.size(); ++i)
        if (macroBlockBase[i] != 0) list += (list.empty() ? "" : ", ") + Text(static_cast<int>(i + 1));
    return "buttons " + list + " can";
}

struct KeyCombination {
    std::uint8_t usage = 0;
    std::uint8_t modifiers = 0;
};

// "ctrl+shift+k": modifiers first, one key last.
std::optional<KeyCombination> ParseKeyCombination(std::string_view text, std::string& error) {
    KeyCombination combo;
    for (;;) {
        std::size_t plus = text.find('+');
        std::string_view part = text.substr(0, plus);
        if (plus == std::string_view::npos) {
            std::optional<int> code = part.starts_with("code") ? ParseInt(part.substr(4)) : std::nullopt;
            if (code && *code >= 0 && *code <= 255) combo.usage = static_cast<std::uint8_t>(*code);
            else if (!KeyUsageOf(part, combo.usage)) {
                error = "unknown key '" + std::string(part) + "'; keys are a..z, 0..9, f1..f12, enter, esc, space, "
                        "arrow-left, kp-1, left, ... (see 'halvernctl profile set --help')";
                return std::nullopt;
            }
            return combo;
        }
        static constexpr std::pair<std::string_view, std::uint8_t> kMods[] = {
            {"ctrl", kModCtrl}, {"shift", kModShift}, {"alt", kModAlt}, {"win", kModWin}};
        bool known = false;
        for (auto [name, bit] : kMods)
            if (part == name) {
                combo.modifiers |= bit;
                known = true;
            }
        if (!known) {
            error = "unknown modifier '" + std::string(part) + "'; accepted: ctrl, shift, alt, win";
            return std::nullopt;
        }
        text.remove_prefix(plus + 1);
    }
}

std::string CheckRepeat(int mode, int repeat) {
    if (mode < 0 || mode >= kMacroModes) return "mode=" + Text(mode) + " is out of range; accepted: 0..2";
    if (repeat < 1 || repeat > kMaxLoopCount) return "repeat=" + Text(repeat) + " is out of range; accepted: 1..255";
    return {};
}

// "FILE.macro", "FILE.macro:repeat=3" or "FILE.macro:mode=1".
std::string AssignMacro(ButtonAssignment& b, std::string_view spec) {
    int mode = 0;
    int loops = 1;
    std::size_t colon = spec.rfind(':');
    if (colon != std::string_view::npos) {
        std::string_view option = spec.substr(colon + 1);
        int* target = option.starts_with("repeat=") ? &loops : option.starts_with("mode=") ? &mode : nullptr;
        if (target) {
            std::string_view number = option.substr(option.find('=') + 1);
            std::optional<int> n = ParseInt(number);
            if (!n) return std::string(option) + " is not a number";
            *target = *n;
            spec = spec.substr(0, colon);
        }
    }
    if (std::string error = CheckRepeat(mode, loops); !error.empty()) return error;
    RecordRead<MacroRecord> read = ReadMacroFile(std::string(spec));
    if (!read.record) return read.error;
    RepairRecord(*read.record);
    b.assignMacro(*read.record, mode, loops, -1);
    return {};
}

std::string AssignButton(ButtonAssignment& b, std::string_view value) {
    if (value.starts_with("key:")) {
        std::string error;
        std::optional<KeyCombination> combo = ParseKeyCombination(value.substr(4), error);
        if (!combo) return error;
        b.assignKey(combo->usage, combo->modifiers);
        return {};
    }
    if (value.starts_with("macro:")) {
        if (b.index >= kButtonPositions || macroBlockBase[b.index] == 0) return "this button cannot play a macro; " + MacroButtonsText();
        return AssignMacro(b, value.substr(6));
    }
    std::uint8_t code = 0;
    if (const ButtonFunctionRow* row = FindButtonFunctionByName(value)) {
        code = row->code;
    } else if (std::optional<int> n = value.starts_with("code:") ? ParseInt(value.substr(5)) : std::nullopt;
               n && *n >= 0 && *n <= 255 && *n != ButtonFunction::KeyCombination && *n != ButtonFunction::Macro) {
        code = static_cast<std::uint8_t>(*n);
    } else {
        return "unknown button function '" + std::string(value) +
               "'; accepted: left, right, middle, forward, back, dpi-cycle, ..., media:volume-up, key:KEYS, "
               "macro:FILE.macro (see 'halvernctl profile set --help')";
    }
    b.function = code;
    return {};
}

// ---- Keys ----

struct Key {
    std::string_view family;  // the key with its number replaced by "N"
    int number = 0;           // 1-based, 0 when the key has none
};

// "dpi.3.color" -> {"dpi.N.color", 3}; "polling" -> {"polling", 0}.
Key SplitKey(std::string_view key) {
    for (std::string_view prefix : {"dpi.", "button."}) {
        if (!key.starts_with(prefix)) continue;
        std::string_view rest = key.substr(prefix.size());
        std::size_t dot = rest.find('.');
        std::optional<int> n = ParseInt(rest.substr(0, dot));
        if (!n) break;
        static const std::string kFamilies[] = {"dpi.N", "dpi.N.enabled", "dpi.N.color", "button.N"};
        std::string family = std::string(prefix) + "N" + std::string(dot == std::string_view::npos ? "" : rest.substr(dot));
        for (const std::string& f : kFamilies)
            if (f == family) return {f, *n};
        break;
    }
    return {key, 0};
}

std::string OutOfRange(std::string_view key, std::string_view value, std::string_view accepted) {
    return std::string(key) + "=" + std::string(value) + " is out of range; accepted: " + std::string(accepted);
}

std::string NotValid(std::string_view key, std::string_view value, std::string_view accepted) {
    return std::string(key) + "=" + std::string(value) + " is not valid; accepted: " + std::string(accepted);
}

// A plain number within a page range, with an optional unit suffix.
std::string SetNumber(std::int32_t& field, std::string_view key, std::string_view value, SettingRange range,
                      std::string_view unit = {}) {
    std::string_view digits = value;
    if (!unit.empty()) CutSuffix(digits, unit);
    std::string accepted = Text(range.min) + ".." + Text(range.max) + std::string(unit);
    std::optional<int> n = ParseInt(digits);
    if (!n) return NotValid(key, value, accepted);
    if (*n < range.min || *n > range.max) return OutOfRange(key, value, accepted);
    field = *n;
    return {};
}

std::string SetSwitch(std::int32_t& field, std::string_view key, std::string_view value, std::string_view yes,
                      std::string_view no) {
    std::optional<bool> on = ParseSwitch(value, yes, no);
    if (!on) return NotValid(key, value, std::string(yes) + " or " + std::string(no));
    field = *on ? 1 : 0;
    return {};
}

std::string SetColor(RgbColor& field, std::string_view key, std::string_view value) {
    std::optional<RgbColor> c = ParseColor(value);
    if (!c) return NotValid(key, value, "#rrggbb");
    field = *c;
    return {};
}

std::string SetLightEffect(std::int32_t& field, std::string_view key, std::string_view value) {
    const LightEffectRow* row = FindLightEffectByName(value);
    if (!row) {
        std::optional<int> n = ParseInt(value);
        if (n) row = FindLightEffect(*n);
    }
    if (!row) {
        std::string names;
        for (const LightEffectRow& r : kLightEffects) names += (names.empty() ? "" : ", ") + std::string(r.name);
        return NotValid(key, value, names + " or 0..15");
    }
    field = row->index;
    return {};
}

std::string SetDpi(std::int32_t& field, std::string_view key, std::string_view value, std::string& note) {
    std::optional<int> dpi = ParseInt(value);
    constexpr const char* kAccepted = "50..18000, or 0 for a level without a value";
    if (!dpi) return NotValid(key, value, kAccepted);
    if (*dpi == 0) {
        field = 0;
        return {};
    }
    if (*dpi < kMinDpi || *dpi > kMaxDpi) return OutOfRange(key, value, kAccepted);
    field = ValueFromDpi(*dpi);
    if (DpiFromValue(field) != *dpi)
        note = std::string(key) + "=" + Text(DpiFromValue(field)) + " (" + std::string(value) +
               " is not a step the mouse takes: 50 apart up to 10000, 100 apart above)";
    return {};
}

std::string SetPolling(std::int32_t& field, std::string_view key, std::string_view value) {
    std::string_view digits = value;
    CutSuffix(digits, "Hz");
    std::optional<int> hz = ParseInt(digits);
    for (int i = 0; hz && i < 4; ++i)
        if (kPollingHz[i] == *hz) {
            field = i;
            return {};
        }
    return NotValid(key, value, "125, 250, 500 or 1000 (Hz)");
}

std::string SetDebounce(std::int32_t& field, std::string_view key, std::string_view value) {
    std::string_view digits = value;
    CutSuffix(digits, "ms");
    std::optional<int> ms = ParseInt(digits);
    constexpr const char* kAccepted = "2..30ms in steps of 2";
    if (!ms || *ms % 2 != 0) return NotValid(key, value, kAccepted);
    if (*ms / 2 < kKeyDebounce.min || *ms / 2 > kKeyDebounce.max) return OutOfRange(key, value, kAccepted);
    field = *ms / 2;
    return {};
}

std::string SetLightOff(std::int32_t& field, std::string_view key, std::string_view value) {
    std::optional<int> halves = ParseHalfMinutes(value);
    constexpr const char* kAccepted = "0.5..15min in steps of 0.5 (or 30s..900s)";
    if (!halves) return NotValid(key, value, kAccepted);
    if (*halves < kLightOffTimer.min || *halves > kLightOffTimer.max) return OutOfRange(key, value, kAccepted);
    field = *halves;
    return {};
}

std::string SetName(MouseProfile& p, std::string_view value) {
    std::string error = CheckProfileName(value);
    if (!error.empty()) return error;
    p.setName(*Utf8ToUtf16(value));
    return {};
}

std::string LevelOrButtonRange(const Key& k, std::size_t count) {
    if (k.number >= 1 && static_cast<std::size_t>(k.number) <= count) return {};
    return std::string(k.family.substr(0, k.family.find('.'))) + "." + Text(k.number) +
           " does not exist; accepted: 1.." + Text(static_cast<int>(count));
}

}  // namespace

bool HasControlCharacter(std::u16string_view text) {
    for (char16_t c : text)
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return true;
    return false;
}

std::string CheckProfileName(std::string_view utf8) {
    std::optional<std::u16string> name = Utf8ToUtf16(utf8);
    if (!name) return "the profile name is not valid UTF-8";
    if (name->empty()) return "the profile name is empty";
    if (HasControlCharacter(*name)) return "the profile name holds a control character (a newline, tab or the like)";
    const std::size_t limit = kProfileNameUnits - 1;
    if (name->size() > limit)
        return "the profile name takes " + std::to_string(name->size()) + " UTF-16 units; the record holds " +
               std::to_string(limit) + " (most characters take one, emoji and other characters beyond U+FFFF two)";
    return {};
}

std::vector<Setting> DescribeSettings(const MouseProfile& p) {
    std::vector<Setting> s;
    auto add = [&s](std::string key, std::string value) { s.push_back({std::move(key), std::move(value), std::nullopt}); };
    add("name", Utf16ToUtf8(p.nameText()));
    for (std::size_t i = 0; i < kDpiLevels; ++i) {
        const std::string level = "dpi." + Text(static_cast<int>(i + 1));
        add(level, Text(p.dpiValue[i] == 0 ? 0 : DpiFromValue(p.dpiValue[i])));
        add(level + ".enabled", p.dpiEnabled[i] ? "yes" : "no");
        add(level + ".color", ColorText(p.dpiColor[i]));
    }
    add("dpi.active", Text(p.dpiStep + 1));
    add("polling", p.pollingRate >= 0 && p.pollingRate < 4 ? Text(kPollingHz[p.pollingRate]) : "index " + Text(p.pollingRate));
    const LightEffectRow* effect = FindLightEffect(p.lightEffect);
    const LightEffectRow* effectBle = FindLightEffect(p.lightEffectBle);
    add("light.effect", effect ? std::string(effect->name) : Text(p.lightEffect));
    add("light.effect-ble", effectBle ? std::string(effectBle->name) : Text(p.lightEffectBle));
    add("light.brightness", Text(p.brightness));
    add("light.speed", Text(p.breathSpeed));
    add("light.color", ColorText(p.lightColor));
    add("sleep", Text(p.sleepTimer) + "min");
    add("light-off", HalfMinutesText(p.lightOffTimer));
    add("debounce", Text(p.keyDebounce * 2) + "ms");
    add("lift-off", p.liftOffDistance ? "high" : "low");
    add("ripple", p.rippleControl ? "on" : "off");
    add("angle-snap", p.angleSnap ? "on" : "off");
    for (std::size_t i = 0; i < kButtonPositions; ++i) {
        const ButtonAssignment& b = p.buttons[i];
        Setting button{"button." + Text(static_cast<int>(i + 1)), ButtonText(b), std::nullopt};
        if (b.function == ButtonFunction::Macro) {
            MacroRecord copy;
            copy.setName(b.macroNameText());
            copy.actionCount = static_cast<std::int32_t>(b.validActionCount());
            std::copy(std::begin(b.macroActions), std::end(b.macroActions), copy.actions);
            button.macro = MacroButton{Utf16ToUtf8(b.macroNameText()), b.macroMode, b.macroLoopCount,
                                       DescribeMacroSteps(copy)};
        }
        s.push_back(std::move(button));
    }
    return s;
}

SettingResult ApplyMacroButton(MouseProfile& profile, std::string_view key, const MacroButton& macro) {
    SettingResult r;
    const Key k = SplitKey(key);
    if (k.family != "button.N") {
        r.error = std::string(key) + ": only a button (button.N) plays a macro";
        return r;
    }
    if (r.error = LevelOrButtonRange(k, kButtonPositions); !r.error.empty()) return r;
    auto record = std::make_unique<MacroRecord>();
    std::optional<std::u16string> name = Utf8ToUtf16(macro.name);
    if (!name || name->empty() || name->size() > kMacroNameUnits - 1 || HasControlCharacter(*name))
        r.error = std::string(key) + ": the macro name is empty, not UTF-8, longer than 23 UTF-16 units or holds "
                                     "a control character";
    else if (std::string why = CheckRepeat(macro.mode, macro.repeat); !why.empty())
        r.error = std::string(key) + ": " + why;
    else if (std::string bad = ParseMacroSteps(macro.steps, *record); !bad.empty())
        r.error = std::string(key) + ": " + bad;
    if (!r.ok()) return r;
    record->setName(*name);
    profile.buttons[static_cast<std::size_t>(k.number - 1)].assignMacro(*record, macro.mode, macro.repeat, -1);
    return r;
}

SettingResult ApplySetting(MouseProfile& profile, std::string_view key, std::string_view value) {
    // Work on a copy so that a refused value leaves the profile as it was.
    auto p = std::make_unique<MouseProfile>(profile);
    SettingResult r;
    const Key k = SplitKey(key);
    const auto level = static_cast<std::size_t>(k.number - 1);
    const std::string_view f = k.family;
    if (f == "dpi.N" || f == "dpi.N.enabled" || f == "dpi.N.color") {
        r.error = LevelOrButtonRange(k, kDpiLevels);
        if (r.error.empty()) {
            if (f == "dpi.N") r.error = SetDpi(p->dpiValue[level], key, value, r.note);
            else if (f == "dpi.N.enabled") r.error = SetSwitch(p->dpiEnabled[level], key, value, "yes", "no");
            else r.error = SetColor(p->dpiColor[level], key, value);
        }
    } else if (f == "button.N") {
        r.error = LevelOrButtonRange(k, kButtonPositions);
        if (r.error.empty()) {
            std::string why = AssignButton(p->buttons[level], value);
            if (!why.empty()) r.error = std::string(key) + ": " + why;
        }
    } else if (f == "dpi.active") {
        r.error = SetNumber(p->dpiStep, key, value, {1, static_cast<std::int32_t>(kDpiLevels)});
        if (r.error.empty()) p->dpiStep -= 1;
    } else if (f == "polling") {
        r.error = SetPolling(p->pollingRate, key, value);
    } else if (f == "light.effect") {
        r.error = SetLightEffect(p->lightEffect, key, value);
    } else if (f == "light.effect-ble") {
        r.error = SetLightEffect(p->lightEffectBle, key, value);
    } else if (f == "light.brightness") {
        r.error = SetNumber(p->brightness, key, value, kBrightness);
    } else if (f == "light.speed") {
        r.error = SetNumber(p->breathSpeed, key, value, kBreathSpeed);
    } else if (f == "light.color") {
        r.error = SetColor(p->lightColor, key, value);
    } else if (f == "sleep") {
        r.error = SetNumber(p->sleepTimer, key, value, kSleepTimer, "min");
    } else if (f == "light-off") {
        r.error = SetLightOff(p->lightOffTimer, key, value);
    } else if (f == "debounce") {
        r.error = SetDebounce(p->keyDebounce, key, value);
    } else if (f == "lift-off") {
        r.error = SetSwitch(p->liftOffDistance, key, value, "high", "low");
    } else if (f == "ripple") {
        r.error = SetSwitch(p->rippleControl, key, value, "on", "off");
    } else if (f == "angle-snap") {
        r.error = SetSwitch(p->angleSnap, key, value, "on", "off");
    } else if (f == "name") {
        r.error = SetName(*p, value);
    } else {
        r.error = "unknown setting '" + std::string(key) +
                  "'; accepted: name, dpi.N, dpi.N.enabled, dpi.N.color, dpi.active, polling, light.effect, "
                  "light.effect-ble, light.brightness, light.speed, light.color, sleep, light-off, debounce, "
                  "lift-off, ripple, angle-snap, button.N";
    }
    if (r.ok()) profile = *p;
    return r;
}

}  // namespace halvern::cli
