#include "storage/FocusRules.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "records/MouseProfile.h"
#include "records/Text.h"
#include "storage/FileIo.h"

namespace halvern {

namespace {

constexpr std::string_view kEnabledKey = "Enabled";
constexpr std::string_view kFallbackKey = "Fallback";
constexpr std::string_view kAppPrefix = "App";
constexpr std::string_view kProfilePrefix = "Profile";

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameApplication(text.substr(0, prefix.size()), prefix);
}

// "App12" with prefix "App" gives 12; anything else (a sign, a leading zero, a number
// out of 1..kMaxRules, trailing text) gives nullopt.
std::optional<std::size_t> RuleNumber(std::string_view key, std::string_view prefix) {
    if (!StartsWithIgnoringCase(key, prefix)) return std::nullopt;
    const std::string_view digits = key.substr(prefix.size());
    if (digits.empty() || digits.front() == '0') return std::nullopt;
    std::size_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    if (number < 1 || number > FocusRules::kMaxRules) return std::nullopt;
    return number;
}

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
    return value;
}

std::string Quoted(std::string_view value) { return "\"" + std::string(value) + "\""; }

bool HasControlCharacter(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; });
}

// A profile name as the page and halvernctl accept one.
std::optional<std::u16string> ProfileNameOf(std::string_view utf8) {
    std::optional<std::u16string> name = Utf8ToUtf16(utf8);
    if (!name || name->empty() || name->size() >= kProfileNameUnits || HasControlCharacter(*name)) return std::nullopt;
    return name;
}

std::string Shown(std::string_view text) {
    constexpr std::size_t kShown = 40;
    std::string out;
    for (char c : text.substr(0, kShown)) out += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
    return text.size() > kShown ? out + "..." : out;
}

}  // namespace

bool SameApplication(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::optional<std::string> CheckApplicationName(std::string_view name) {
    if (name.empty()) return "an application needs a name";
    if (name.size() > FocusRules::kMaxApplicationBytes)
        return "an application's name takes at most " + std::to_string(FocusRules::kMaxApplicationBytes) + " bytes";
    const std::optional<std::u16string> text = Utf8ToUtf16(name);
    if (!text) return "an application's name must be UTF-8 text";
    if (HasControlCharacter(*text)) return "an application's name holds a control character";
    if (name.front() == ' ' || name.back() == ' ') return "an application's name does not start or end with a blank";
    return std::nullopt;
}

std::optional<std::size_t> FocusRules::find(std::string_view application) const {
    for (std::size_t i = 0; i < rules.size(); ++i)
        if (SameApplication(rules[i].application, application)) return i;
    return std::nullopt;
}

const FocusRule* FocusRules::match(std::span<const std::string> names) const {
    for (const FocusRule& rule : rules)
        for (const std::string& name : names)
            if (SameApplication(rule.application, name)) return &rule;
    return nullptr;
}

std::optional<std::u16string> FocusRules::profileFor(std::span<const std::string> names) const {
    if (!enabled || names.empty()) return std::nullopt;
    if (const FocusRule* rule = match(names)) return rule->profile;
    return fallback;
}

std::optional<std::string> FocusRules::set(std::string_view application, std::u16string_view profile) {
    if (std::optional<std::string> refused = CheckApplicationName(application)) return refused;
    if (std::optional<std::size_t> at = find(application)) {
        rules[*at].profile = profile;
        return std::nullopt;
    }
    if (rules.size() >= kMaxRules) return "at most " + std::to_string(kMaxRules) + " rules are kept";
    rules.push_back({std::string(application), std::u16string(profile)});
    return std::nullopt;
}

bool FocusRules::remove(std::string_view application) {
    const std::optional<std::size_t> at = find(application);
    if (!at) return false;
    rules.erase(rules.begin() + static_cast<std::ptrdiff_t>(*at));
    return true;
}

bool FocusRules::move(std::size_t from, int by) {
    if (from >= rules.size() || (by < 0 && from == 0) || (by > 0 && from + 1 >= rules.size()) || by == 0) return false;
    const std::size_t to = by < 0 ? from - 1 : from + 1;
    std::swap(rules[from], rules[to]);
    return true;
}

bool FocusRules::renameProfile(std::u16string_view from, std::u16string_view to) {
    bool changed = false;
    for (FocusRule& rule : rules)
        if (EqualsIgnoreCase(rule.profile, from)) {
            rule.profile = to;
            changed = true;
        }
    if (fallback && EqualsIgnoreCase(*fallback, from)) {
        fallback = std::u16string(to);
        changed = true;
    }
    return changed;
}

FocusRulesRead ParseFocusRules(const IniDocument& doc) {
    FocusRulesRead read;
    std::map<std::size_t, std::string_view> apps;
    std::map<std::size_t, std::string_view> profiles;
    std::optional<std::string_view> enabled, fallback;
    const std::vector<IniDocument::Entry> entries = doc.entries(FocusRules::kSection);
    // The first of a key given twice counts, as for every other key of the file.
    for (const auto& [key, value] : entries) {
        if (SameApplication(key, kEnabledKey)) {
            if (!enabled) enabled = value;
        } else if (SameApplication(key, kFallbackKey)) {
            if (!fallback) fallback = value;
        } else if (std::optional<std::size_t> app = RuleNumber(key, kAppPrefix)) {
            apps.try_emplace(*app, value);
        } else if (std::optional<std::size_t> profile = RuleNumber(key, kProfilePrefix)) {
            profiles.try_emplace(*profile, value);
        } else {
            read.problems.push_back("unknown key '" + Shown(key) + "' left out");
        }
    }
    read.rules.enabled = !enabled || Unquoted(*enabled) != "0";
    if (fallback && !Unquoted(*fallback).empty()) {
        if (std::optional<std::u16string> name = ProfileNameOf(Unquoted(*fallback))) read.rules.fallback = *name;
        else read.problems.push_back("the fallback is not a profile name; other applications leave the profile");
    }
    for (const auto& [number, app] : apps) {
        const std::string label = "rule " + std::to_string(number);
        const auto profile = profiles.find(number);
        if (profile == profiles.end()) {
            read.problems.push_back(label + " names no profile and is left out");
            continue;
        }
        const std::string_view application = Unquoted(app);
        if (std::optional<std::string> refused = CheckApplicationName(application)) {
            read.problems.push_back(label + " is left out: " + *refused);
            continue;
        }
        const std::optional<std::u16string> name = ProfileNameOf(Unquoted(profile->second));
        if (!name) {
            read.problems.push_back(label + " is left out: its profile is not a profile name");
            continue;
        }
        if (read.rules.find(application)) {
            read.problems.push_back(label + " is left out: an earlier rule is for '" + Shown(application) + "'");
            continue;
        }
        read.rules.rules.push_back({std::string(application), *name});
    }
    for (const auto& [number, profile] : profiles)
        if (!apps.contains(number))
            read.problems.push_back("profile " + std::to_string(number) + " belongs to no application and is left out");
    return read;
}

void WriteFocusRules(IniDocument& doc, const FocusRules& rules) {
    std::vector<IniDocument::Entry> entries{{std::string(kEnabledKey), rules.enabled ? "1" : "0"}};
    if (rules.fallback) entries.emplace_back(std::string(kFallbackKey), Quoted(Utf16ToUtf8(*rules.fallback)));
    for (std::size_t i = 0; i < rules.rules.size() && i < FocusRules::kMaxRules; ++i) {
        const std::string number = std::to_string(i + 1);
        entries.emplace_back(std::string(kAppPrefix) + number, Quoted(rules.rules[i].application));
        entries.emplace_back(std::string(kProfilePrefix) + number, Quoted(Utf16ToUtf8(rules.rules[i].profile)));
    }
    doc.replaceSection(FocusRules::kSection, entries);
}

namespace {

struct SettingsText {
    FileContents file;
    std::string_view text() const { return {reinterpret_cast<const char*>(file.data.data()), file.data.size()}; }
};

}  // namespace

FocusRulesRead ReadFocusRules(const std::filesystem::path& dataFolder) {
    SettingsText settings{ReadFileBytes(dataFolder / SettingsFile::kFileName, SettingsFile::kMaxBytes)};
    if (!settings.file.ok()) {
        FocusRulesRead none;
        if (settings.file.exists) none.problems.push_back(settings.file.error);
        return none;
    }
    FocusRulesRead read = ParseFocusRules(IniDocument::Parse(settings.text()));
    if (settings.file.truncated) read.problems.push_back("CONFIG.ini is larger than 1 MiB; only its start was read");
    return read;
}

std::optional<std::string> SaveFocusRules(const std::filesystem::path& dataFolder, const FocusRules& rules) {
    const std::filesystem::path path = dataFolder / SettingsFile::kFileName;
    SettingsText settings{ReadFileBytes(path, SettingsFile::kMaxBytes)};
    // Rewriting a file we could not read whole would lose what else it holds.
    if (settings.file.exists && (!settings.file.ok() || settings.file.truncated))
        return PathForMessage(path) + ": cannot update a file that cannot be read whole";
    IniDocument doc = settings.file.ok() ? IniDocument::Parse(settings.text()) : IniDocument();
    WriteFocusRules(doc, rules);
    EnsureDirectory(dataFolder);
    const std::string text = doc.text();
    return WriteFileAtomically(path, std::as_bytes(std::span(text.data(), text.size())));
}

}  // namespace halvern
