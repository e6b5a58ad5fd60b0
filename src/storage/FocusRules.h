// Profiles that follow the application in front: an ordered list of rules "application
// -> profile" and what every other application gets (a profile, or nothing: the profile
// is left as it is). They are kept in CONFIG.ini, section "AutoProfiles":
//
//   [AutoProfiles]
//   Enabled=1                  0 turns switching off; missing: on
//   Fallback="Desktop"         missing or empty: other applications leave the profile
//   App1="steam_app_730"       the rules in the order of their numbers, 1..kMaxRules;
//   Profile1="Shooter"         gaps are allowed and closed up on the next write
//
// The program and halvernctl both write the section, and anyone may edit the file, so
// reading it trusts nothing: a rule that is malformed, too long, given twice or past the
// limit is left out and named in the problems. A rule may name a profile that does not
// exist (any more): it is kept, and switches nothing until a profile of that name does.
// Values are written in double quotes so that blanks at their ends survive; a value read
// without them is taken as it stands.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/SettingsFile.h"

namespace halvern {

struct FocusRule {
    std::string application;  // as the desktop names it: UTF-8, see CheckApplicationName
    std::u16string profile;   // a profile's name, matched without regard to case

    bool operator==(const FocusRule&) const = default;
};

class FocusRules {
public:
    static constexpr const char* kSection = "AutoProfiles";
    static constexpr std::size_t kMaxRules = 100;
    static constexpr std::size_t kMaxApplicationBytes = 255;

    bool enabled = true;
    std::vector<FocusRule> rules;
    std::optional<std::u16string> fallback;  // nullopt: leave the profile as it is

    bool operator==(const FocusRules&) const = default;

    // The position of the rule for `application` (without regard to ASCII case).
    std::optional<std::size_t> find(std::string_view application) const;
    // The first rule, in list order, whose application is one of `names`; nullptr when
    // none is.
    const FocusRule* match(std::span<const std::string> names) const;
    // The profile a window named `names` asks for: its rule's, else the fallback;
    // nullopt when switching is off, the window has no name, or nothing applies.
    std::optional<std::u16string> profileFor(std::span<const std::string> names) const;

    // Adds a rule at the end, or gives an existing rule for the application the new
    // profile in its place. An error line when the application's name is refused or the
    // list is full.
    std::optional<std::string> set(std::string_view application, std::u16string_view profile);
    // False when there was no rule for it.
    bool remove(std::string_view application);
    // Moves the rule at `from` one place up (-1) or down (+1); false at either end.
    bool move(std::size_t from, int by);
    // Every rule and the fallback that name `from` name `to` afterwards; whether any did.
    bool renameProfile(std::u16string_view from, std::u16string_view to);
};

// Why a name cannot be an application of a rule, or nullopt when it can: 1 to
// kMaxApplicationBytes bytes of valid UTF-8, no control characters, no blank at either
// end (an INI value would lose it).
std::optional<std::string> CheckApplicationName(std::string_view name);

// Applications compare without regard to ASCII case, as desktops are not consistent
// about it ("Steam" in WM_CLASS, "steam" as an app id).
bool SameApplication(std::string_view a, std::string_view b);

struct FocusRulesRead {
    FocusRules rules;
    std::vector<std::string> problems;  // one line each, for the log
};

FocusRulesRead ParseFocusRules(const IniDocument& doc);
// Replaces the document's section with `rules`.
void WriteFocusRules(IniDocument& doc, const FocusRules& rules);

// CONFIG.ini in the data folder. A missing file or section gives no rules, switching on.
FocusRulesRead ReadFocusRules(const std::filesystem::path& dataFolder);
// Rewrites the section and keeps the rest of the file; the file is replaced only once
// the new one is complete. An error line, or nullopt.
std::optional<std::string> SaveFocusRules(const std::filesystem::path& dataFolder, const FocusRules& rules);

}  // namespace halvern
