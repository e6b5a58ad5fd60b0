#include "ProfileSettings.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>

#include "MacroSteps.h"
#include "keys/KeyNames.h"
#include "records/ButtonFunctions.h"
#include "records/Settings.h"
#include "records/Text.h"
#include "storage/ProfileRules.h"
#include "storage/RecordFiles.h"

namespace halvern::cli {

namespace {

constexpr int kMaxLoopCount = 255;
constexpr int kMacroModes = 3;

std::string Text(int v) { return std::to_string(v); }

std::optional<int> ParseInt(std::string_view text) {
    int v = 0;
    if (text.empty()) return std::nullopt;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
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
                error = "unknown key " + QuoteForLine(part) +
                        "; keys are a..z, 0..9, f1..f12, enter, esc, space, "
                        "arrow-left, kp-1, left, ... (see 'halvernctl profile set --help')";
                return std::nullopt;
            }
            // What the page's key box can take: a key of the key table, or modifiers alone.
            if (!IsKeyCombination(combo.usage, combo.modifiers)) {
                error = (combo.usage == 0 ? std::string("a key combination needs a key, a modifier or both")
                                          : QuoteForLine(part) + " is no key a key combination can hold") +
                        " (see 'halvernctl profile set --help')";
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
            error = "unknown modifier " + QuoteForLine(part) + "; accepted: ctrl, shift, alt, win";
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
            if (!n) return QuoteForLine(option) + " is not a number";
            *target = *n;
            spec = spec.substr(0, colon);
        }
    }
    if (std::string error = CheckRepeat(mode, loops); !error.empty()) return error;
    RecordRead<MacroRecord> read = ReadMacroFile(std::string(spec));
    if (!read.record) return read.error;
    // The macro import's rules: a file the macro editor would refuse is refused here.
    if (const MacroProblem problem = CheckMacro(*read.record); !problem.ok())
        return QuoteForLine(spec) + ": the macro " + QuoteForLine(Utf16ToUtf8(read.record->nameText())) + " " +
               MacroProblemText(problem);
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
    if (value.starts_with("macro:")) return AssignMacro(b, value.substr(6));
    std::uint8_t code = 0;
    if (const ButtonFunctionRow* row = FindButtonFunctionByName(value)) {
        code = row->code;
    } else if (std::optional<int> n = value.starts_with("code:") ? ParseInt(value.substr(5)) : std::nullopt;
               n && *n >= 0 && *n <= 255 && *n != ButtonFunction::KeyCombination && *n != ButtonFunction::Macro) {
        code = static_cast<std::uint8_t>(*n);
    } else {
        return "unknown button function " + QuoteForLine(value) +
               "; accepted: left, right, middle, forward, back, dpi-cycle, ..., media:volume-up, key:KEYS, "
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

// "dpi.3.color" -> {"dpi.N.color", 3}; "polling" -> {"polling", 0}. The numbered
// families are the per-level rows of the settings table and the buttons.
Key SplitKey(std::string_view key) {
    for (std::string_view prefix : {"dpi.", "button."}) {
        if (!key.starts_with(prefix)) continue;
        std::string_view rest = key.substr(prefix.size());
        std::size_t dot = rest.find('.');
        std::optional<int> n = ParseInt(rest.substr(0, dot));
        if (!n) break;
        const std::string family =
            std::string(prefix) + "N" + std::string(dot == std::string_view::npos ? "" : rest.substr(dot));
        if (family == "button.N") return {"button.N", *n};
        for (const SettingRow& row : kSettings)
            if (row.perLevel && row.cliName == family) return {row.cliName, *n};
        break;
    }
    return {key, 0};
}

std::string Assignment(std::string_view key, std::string_view value) {
    return QuoteForLine(std::string(key) + "=" + std::string(value));
}

std::string OutOfRange(std::string_view key, std::string_view value, std::string_view accepted) {
    return Assignment(key, value) + " is out of range; accepted: " + std::string(accepted);
}

std::string NotValid(std::string_view key, std::string_view value, std::string_view accepted) {
    return Assignment(key, value) + " is not valid; accepted: " + std::string(accepted);
}

// The table's names, in its order: what `profile set` takes besides name and buttons.
std::string SettingNamesText() {
    std::string names;
    for (const SettingRow& row : kSettings) names += (names.empty() ? "" : ", ") + std::string(row.cliName);
    return names;
}

// One row's value from its text; the DPI a value was rounded to goes into `note`.
std::string SetFromText(MouseProfile& p, const SettingRow& row, int level, std::string_view key, std::string_view value,
                        std::string& note) {
    const SettingInput in = ParseSettingText(row, value);
    switch (in.problem) {
        case SettingInput::Problem::NotValid: return NotValid(key, value, AcceptedText(row));
        case SettingInput::Problem::OutOfRange: return OutOfRange(key, value, AcceptedText(row));
        case SettingInput::Problem::None: break;
    }
    StoreSetting(p, row, static_cast<std::size_t>(level), in);
    if (in.roundedDpi)
        note = std::string(key) + "=" + Text(*in.roundedDpi) + " (" + std::string(value) +
               " is not a step the mouse takes: 50 apart up to 10000, 100 apart above)";
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
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029) return true;
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
    auto add = [&s](std::string key, std::string value) {
        s.push_back({std::move(key), std::move(value), std::nullopt});
    };
    add("name", Utf16ToUtf8(p.nameText()));
    for (std::size_t i = 0; i < kDpiLevels; ++i) {
        for (const SettingRow& row : kSettings) {
            if (!row.perLevel) continue;
            std::string key(row.cliName);
            key.replace(key.find('N'), 1, Text(static_cast<int>(i + 1)));
            add(std::move(key), SettingText(row, p, i));
        }
    }
    for (const SettingRow& row : kSettings)
        if (!row.perLevel) add(std::string(row.cliName), SettingText(row, p));
    for (std::size_t i = 0; i < kButtonPositions; ++i) {
        const ButtonAssignment& b = p.buttons[i];
        Setting button{"button." + Text(static_cast<int>(i + 1)), ButtonText(b), std::nullopt};
        if (b.function == ButtonFunction::Macro) {
            MacroRecord copy;
            copy.setName(b.macroNameText());
            copy.actionCount = static_cast<std::int32_t>(b.validActionCount());
            std::copy(std::begin(b.macroActions), std::end(b.macroActions), copy.actions);
            button.macro =
                MacroButton{Utf16ToUtf8(b.macroNameText()), b.macroMode, b.macroLoopCount, DescribeMacroSteps(copy)};
        }
        s.push_back(std::move(button));
    }
    return s;
}

SettingResult ApplyMacroButton(MouseProfile& profile, std::string_view key, const MacroButton& macro) {
    SettingResult r;
    const Key k = SplitKey(key);
    if (k.family != "button.N") {
        r.error = QuoteForLine(key) + ": only a button (button.N) plays a macro";
        return r;
    }
    if (r.error = LevelOrButtonRange(k, kButtonPositions); !r.error.empty()) return r;
    const std::string where = QuoteForLine(key);
    auto record = std::make_unique<MacroRecord>();
    std::optional<std::u16string> name = Utf8ToUtf16(macro.name);
    if (!name || name->empty() || name->size() > kMacroNameUnits - 1 || HasControlCharacter(*name))
        r.error = where +
                  ": the macro name is empty, not UTF-8, longer than 23 UTF-16 units or holds "
                  "a control character";
    else if (std::string why = CheckRepeat(macro.mode, macro.repeat); !why.empty()) r.error = where + ": " + why;
    else if (std::string bad = ParseMacroSteps(macro.steps, *record); !bad.empty()) r.error = where + ": " + bad;
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
    if (k.family == "button.N") {
        r.error = LevelOrButtonRange(k, kButtonPositions);
        const std::size_t entry = static_cast<std::size_t>(k.number - 1);
        if (r.error.empty() && value.starts_with("macro:") && !CanPlayMacro(entry)) {
            ButtonProblem noBlocks;
            noBlocks.kind = ButtonProblem::Kind::NoMacroBlocks;
            noBlocks.entry = entry;
            r.error = ButtonProblemText(noBlocks);
        }
        if (r.error.empty()) {
            std::string why = AssignButton(p->buttons[static_cast<std::size_t>(k.number - 1)], value);
            if (!why.empty()) r.error = QuoteForLine(key) + ": " + why;
        }
    } else if (k.family == "name") {
        r.error = SetName(*p, value);
    } else if (const SettingRow* row = FindSettingByCliName(k.family)) {
        if (row->perLevel) r.error = LevelOrButtonRange(k, kDpiLevels);
        if (r.error.empty()) r.error = SetFromText(*p, *row, row->perLevel ? k.number - 1 : 0, key, value, r.note);
    } else {
        r.error = "unknown setting " + QuoteForLine(key) + "; accepted: name, " + SettingNamesText() + ", button.N";
    }
    if (r.ok()) profile = *p;
    return r;
}

std::string CanonicalKey(std::string_view key) {
    const Key k = SplitKey(key);
    if (k.number == 0) return std::string(key);
    std::string canonical(k.family);
    canonical.replace(canonical.find('N'), 1, Text(k.number));
    return canonical;
}

EditResult ApplyAssignments(MouseProfile& profile, const std::vector<Setting>& assignments, Unchanged unchanged) {
    EditResult result;
    std::vector<std::string> keys;
    for (const Setting& a : assignments) {
        std::string key = CanonicalKey(a.key);
        if (const auto same = std::find(keys.begin(), keys.end(), key); same != keys.end()) {
            const Setting& first = assignments[static_cast<std::size_t>(same - keys.begin())];
            result.error = QuoteForLine(a.key) + " is given twice" +
                           (first.key == a.key ? std::string() : " (as " + QuoteForLine(first.key) + ")");
            return result;
        }
        keys.push_back(std::move(key));
    }
    std::vector<Setting> held;
    if (unchanged == Unchanged::Skip) held = DescribeSettings(profile);
    const auto holds = [&held](const std::string& key, const Setting& a) {
        return std::any_of(held.begin(), held.end(), [&](const Setting& h) {
            return h.key == key && (a.macro ? h.macro && *h.macro == *a.macro : !h.macro && h.value == a.value);
        });
    };

    auto edited = std::make_unique<MouseProfile>(profile);
    for (std::size_t i = 0; i < assignments.size(); ++i) {
        const Setting& a = assignments[i];
        if (holds(keys[i], a)) continue;
        SettingResult r = a.macro ? ApplyMacroButton(*edited, a.key, *a.macro) : ApplySetting(*edited, a.key, a.value);
        if (!r.ok()) {
            result.error = r.error;
            return result;
        }
        if (!r.note.empty()) result.notes.push_back(r.note);
    }
    if (const ButtonProblem problem = CheckButtonEdits(profile, *edited); !problem.ok()) {
        result.error = ButtonProblemText(problem);
        return result;
    }
    profile = *edited;
    return result;
}

}  // namespace halvern::cli
