#include "SettingHelp.h"

#include <algorithm>
#include <array>
#include <utility>

#include "records/ButtonFunctions.h"
#include "records/Settings.h"
#include "storage/ProfileRules.h"

namespace halvern::cli {

namespace {

// What a setting is for, in a few words; "{}" stands for the values it takes, which
// come from the table.
constexpr std::pair<SettingId, std::string_view> kPurpose[] = {
    {SettingId::DpiValue,
     "level N (1..8): {}; a DPI between the mouse's steps (50 apart to 10000, 100 above) "
     "is taken to the step below, which is printed"},
    {SettingId::DpiEnabled, "whether the DPI button stops at level N: {}"},
    {SettingId::DpiColor, "the colour showing level N: {}"},
    {SettingId::DpiActive, "the level in use: {}"},
    {SettingId::Polling, "the polling rate: {}"},
    {SettingId::LightEffect, "the light effect: {}"},
    {SettingId::LightEffectBle, "the effect shown over Bluetooth LE, as light.effect"},
    {SettingId::Brightness, "the brightness of the static and breathing effects: {}"},
    {SettingId::BreathSpeed, "the breathing speed: {}"},
    {SettingId::LightColor, "the colour of the static and breathing effects: {}"},
    {SettingId::SleepTimer, "time without use before the mouse sleeps: {}"},
    {SettingId::LightOffTimer, "time without use before the light goes off: {}"},
    {SettingId::KeyDebounce, "key debounce: {}"},
    {SettingId::LiftOff, "lift-off distance: {}"},
    {SettingId::Ripple, "ripple control: {}"},
    {SettingId::AngleSnap, "angle snapping: {}"},
    {SettingId::MoveMode, "move mode: {}"},
};
static_assert(std::size(kPurpose) == kSettings.size(), "every setting of the table says what it is for");

constexpr std::string_view PurposeOf(SettingId id) {
    for (const auto& [setting, text] : kPurpose)
        if (setting == id) return text;
    return {};
}

// The form of a value in the synopsis of a key.
std::string ValueForm(const SettingRow& row) {
    switch (row.unit) {
        case SettingUnit::Count:
        case SettingUnit::Level: return "N";
        case SettingUnit::Dpi: return "DPI";
        case SettingUnit::PollingHz: return "HZ";
        case SettingUnit::Minutes:
        case SettingUnit::HalfMinutes: return "Mmin";
        case SettingUnit::TwoMs: return "Nms";
        case SettingUnit::Switch: return std::string(row.words[1]) + "|" + std::string(row.words[0]);
        case SettingUnit::LightEffect: return "NAME|N";
        case SettingUnit::Color: return "#RRGGBB";
    }
    return "VALUE";
}

// `words` as lines of at most `width` columns, each starting with `indent`.
std::string Wrapped(const std::vector<std::string>& words, std::size_t indent, std::size_t width) {
    std::string out;
    std::size_t column = 0;
    for (const std::string& w : words) {
        if (column > 0 && column + 1 + w.size() > width) {
            out += '\n';
            column = 0;
        }
        if (column == 0) {
            out += std::string(indent, ' ');
            column = indent;
        } else {
            out += ' ';
            ++column;
        }
        out += w;
        column += w.size();
    }
    return out + "\n";
}

std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        if (end > at) words.emplace_back(text.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

// "    KEY=FORM    what it is, and what it takes", the text wrapped under itself.
std::string KeyLine(const std::string& synopsis, std::string_view text) {
    constexpr std::size_t kTextColumn = 30;
    std::string line = "    " + synopsis;
    std::string rest = Wrapped(Words(text), kTextColumn, 88);
    if (line.size() + 1 < kTextColumn) return line + rest.substr(line.size());
    return line + "\n" + rest;
}

std::string Numbered(std::string_view name, std::size_t n) {
    std::string key(name);
    if (const std::size_t at = key.find('N'); at != std::string::npos) key.replace(at, 1, std::to_string(n));
    return key;
}

std::vector<std::string> FunctionNames() {
    std::vector<std::string> names;
    for (const ButtonFunctionRow& row : kButtonFunctions)
        if (!row.name.empty()) names.emplace_back(row.name);
    return names;
}

std::string MacroButtons() {
    std::string list;
    for (std::size_t i = 0; i < kButtonPositions; ++i)
        if (CanPlayMacro(i)) list += (list.empty() ? "" : ", ") + std::to_string(i + 1);
    const std::size_t last = list.rfind(", ");
    return last == std::string::npos ? list : list.replace(last, 2, " and ");
}

}  // namespace

std::string SettingKeysHelp() {
    std::string help =
        KeyLine("name=TEXT", "the profile's name (at most " + std::to_string(kProfileNameUnits - 1) + " UTF-16 units)");
    for (const SettingRow& row : kSettings) {
        std::string text(PurposeOf(row.id));
        if (const std::size_t at = text.find("{}"); at != std::string::npos) text.replace(at, 2, AcceptedText(row));
        help += KeyLine(std::string(row.cliName) + "=" + ValueForm(row), text);
    }
    help += KeyLine("button.N=FUNCTION", "what button N (1.." + std::to_string(kAssignableButtons) +
                                             ") does; buttons " + std::to_string(kAssignableButtons + 1) + ".." +
                                             std::to_string(kButtonPositions) + " keep theirs, and one of buttons 1.." +
                                             std::to_string(kLeftClickGuardButtons) + " stays a left click. One of:");
    help += Wrapped(FunctionNames(), 8, 88);
    help +=
        "        key:[ctrl+][shift+][alt+][win+]KEY   a key combination; KEY is a..z, 0..9,\n"
        "            f1..f12, enter, esc, backspace, tab, space, minus, equal, leftbracket,\n"
        "            rightbracket, backslash, semicolon, apostrophe, grave, comma, dot, slash,\n"
        "            capslock, printscreen, scrolllock, pause, insert, home, pageup, delete,\n"
        "            end, pagedown, arrow-left, arrow-right, arrow-up, arrow-down, numlock,\n"
        "            kp-0..kp-9, kp-slash, kp-asterisk, kp-minus, kp-plus, kp-enter, kp-dot,\n"
        "            menu, the mouse buttons left, right, middle and back, or codeN for a\n"
        "            HID usage N of the key table\n"
        "        macro:FILE.macro[:repeat=N|:mode=M]   plays the macro file's steps, N times\n" +
        Wrapped(Words("(1..255, default 1) or in repeat mode M (1 or 2); buttons " + MacroButtons() +
                      " can play a macro, which must fit the " + std::to_string(kMacroBlocksPerButton) +
                      " blocks each of them has on the mouse"),
                12, 88) +
        "        code:N                    a raw assignment code\n";
    return help;
}

std::vector<std::string> CompletionKeys() {
    std::vector<std::string> keys = {"name="};
    for (std::size_t level = 1; level <= kDpiLevels; ++level)
        for (const SettingRow& row : kSettings)
            if (row.perLevel) keys.push_back(Numbered(row.cliName, level) + "=");
    for (const SettingRow& row : kSettings)
        if (!row.perLevel) keys.push_back(std::string(row.cliName) + "=");
    for (std::size_t button = 1; button <= kButtonPositions; ++button)
        keys.push_back("button." + std::to_string(button) + "=");
    return keys;
}

std::vector<std::string> CompletionValues(std::string_view key) {
    if (key.ends_with('=')) key.remove_suffix(1);
    if (key.starts_with("button.")) {
        std::vector<std::string> words = FunctionNames();
        for (const char* composed : {"key:", "macro:", "code:"}) words.emplace_back(composed);
        return words;
    }
    // "dpi.3.enabled" is a row of "dpi.N.enabled".
    for (const SettingRow& row : kSettings) {
        bool matches = row.cliName == key;
        for (std::size_t level = 1; row.perLevel && !matches && level <= kDpiLevels; ++level)
            matches = Numbered(row.cliName, level) == key;
        if (!matches) continue;
        // Words rather than numbers: every value of the range as `profile show` prints it.
        if (row.unit != SettingUnit::Switch && row.unit != SettingUnit::PollingHz &&
            row.unit != SettingUnit::LightEffect)
            return {};
        std::vector<std::string> words;
        auto profile = MouseProfile::Create(u"");
        for (std::int32_t v = row.range.min; v <= row.range.max; ++v) {
            SetValue(*profile, row.id, v);
            words.push_back(SettingText(row, *profile));
        }
        return words;
    }
    return {};
}

}  // namespace halvern::cli
