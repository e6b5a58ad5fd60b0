// A profile's settings in the names and units people use ("dpi.2=1600", "polling=1000",
// "button.4=key:ctrl+c"), both ways: what `profile show` prints as its settings object
// is what `profile set` and `profile from-json` read back.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/MouseProfile.h"

namespace halvern::cli {

// A macro button in full. A profile keeps its own copy of a macro's steps, so the
// settings carry them rather than a file name.
struct MacroButton {
    std::string name;
    int mode = 0;                    // 0: played `repeat` times; 1, 2: the other repeat modes
    int repeat = 1;                  // 1..255
    std::vector<std::string> steps;  // as `macro new` takes them
    friend bool operator==(const MacroButton&, const MacroButton&) = default;
};

struct Setting {
    std::string key;    // as typed
    std::string value;  // for a macro button, its value as text ("macro:NAME:repeat=N")
    std::optional<MacroButton> macro;
};

// Every setting of the profile, in a fixed order: name, the DPI levels, polling, light,
// timers, the sensor options, then the buttons.
std::vector<Setting> DescribeSettings(const MouseProfile& profile);

struct SettingResult {
    std::string error;  // one line naming the key and what it accepts; empty: applied
    std::string note;   // what the value became when the record could not hold it as given
    bool ok() const { return error.empty(); }
};

// Sets one setting. A value is taken as the record can hold it; where it had to be
// rounded (DPI), `note` says so. On error the profile is unchanged. A macro button
// reads its .macro file, relative to the working folder.
SettingResult ApplySetting(MouseProfile& profile, std::string_view key, std::string_view value);

// Makes button `key` ("button.N") play the macro. On error the profile is unchanged.
SettingResult ApplyMacroButton(MouseProfile& profile, std::string_view key, const MacroButton& macro);

// A key with its number read: "dpi.01.color" is "dpi.1.color", "button.007" "button.7".
// Other keys are returned as they are.
std::string CanonicalKey(std::string_view key);

// What ApplyAssignments does with an assignment that says what the profile holds already.
enum class Unchanged { Apply, Skip };

struct EditResult {
    std::string error;               // one line; empty: applied
    std::vector<std::string> notes;  // values taken as the record could hold them
    bool ok() const { return error.empty(); }
};

// Applies every assignment or, at the first refused one, none. Refused: a key given
// twice (compared after its number is read), an unknown key or value, and a change of
// the buttons the page refuses (storage/ProfileRules.h: buttons 13..18, a macro where no
// blocks are or that does not fit them, a key combination without a key, no left click
// left among buttons 1..16). With Unchanged::Skip an assignment whose value is what
// DescribeSettings says the profile holds is left out, so that reading back what `profile
// show` printed changes nothing (a macro copy keeps its list position, say).
EditResult ApplyAssignments(MouseProfile& profile, const std::vector<Setting>& assignments,
                            Unchanged unchanged = Unchanged::Apply);

// Whether a name holds a character that would break a line or a list: C0 and C1
// controls, DEL, and the line and paragraph separators.
bool HasControlCharacter(std::u16string_view text);

// The checks a new profile name passes: valid UTF-8, not empty, no control characters,
// and within the record's 99 UTF-16 units. Empty when it passes.
std::string CheckProfileName(std::string_view utf8);

}  // namespace halvern::cli
