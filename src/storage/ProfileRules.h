// What a profile or a macro may hold, one set of rules for every door: the page and
// the macro editor, the .pro and .macro imports, and halvernctl. The ranges of the
// scalar settings are the table's (records/Settings.h); the rest is here: a macro's
// steps, pauses and keys and its fit in one button's blocks, which buttons take what,
// the left click that must stay, and the repair a record read from outside gets.
//
// Two kinds of check. A record read from outside (a file, a store) is repaired where a
// repair loses nothing a user chose (names, counts, settings out of range) and refused
// where it would (a macro the mouse cannot hold as it is). An edit (a menu choice, a
// typed value, `halvernctl profile set`) is refused when it breaks a rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/CommandReports.h"
#include "records/MacroRecord.h"
#include "records/MouseProfile.h"

namespace halvern {

// ---- Macros ----

// A pause as the editor takes it, typed or recorded, in milliseconds. A stored step may
// also hold 0: no pause given (steps written without a wait); the mouse then waits its
// shortest.
inline constexpr std::uint16_t kMinPause = 1;
inline constexpr std::uint16_t kMaxPause = 25000;

// A key a macro step may press: a key of the key code table or a mouse button.
bool IsMacroKey(std::uint8_t code);

struct MacroProblem {
    enum class Kind : std::uint8_t {
        None,
        StepCount,  // `value` steps, outside 0..160
        StepKind,   // step `step` is neither a press nor a release; `value` its kind byte
        Key,        // step `step` holds code `value`, neither a key nor a mouse button
        Pause,      // step `step` pauses `value` ms, more than kMaxPause
        TooLong,    // the steps take `fit.blocks` blocks, more than one button owns
    };
    Kind kind = Kind::None;
    std::size_t step = 0;  // from 1
    std::int64_t value = 0;
    MacroFit fit;
    bool ok() const { return kind == Kind::None; }
};

// The steps of a macro against every macro rule, in this order: the count, then each
// step's kind, key and pause, then the fit in one button's blocks (FitMacro: the
// apply's own chunking decides). The first problem found, or None.
MacroProblem CheckMacroSteps(std::int64_t count, std::span<const MacroAction, kMaxMacroActions> actions);
MacroProblem CheckMacro(const MacroRecord& macro);
MacroProblem CheckMacro(const ButtonAssignment& button);  // the button's copy

// The reason in words, one line without the macro's name: "does not fit one button's
// 4 blocks on the mouse: it takes 5 ...". For halvernctl and the log.
std::string MacroProblemText(const MacroProblem& problem);

// The language key of the message the windows show for it: "%1" stands for the macro's
// name, "%2" for MacroProblemNumber (the steps it claims, the step that is wrong, or
// the blocks it takes).
std::string_view MacroProblemTextKey(const MacroProblem& problem);
std::int64_t MacroProblemNumber(const MacroProblem& problem);

// ---- Buttons ----

// Buttons 1..12 can be given another function; 13..18 keep the one they have.
inline constexpr std::size_t kAssignableButtons = 12;
// Buttons 1..16 count when one of them must stay a left click.
inline constexpr std::size_t kLeftClickGuardButtons = 16;

// Whether button entry `entry` owns macro blocks on the mouse; a macro anywhere else is
// never sent.
bool CanPlayMacro(std::size_t entry);
// A key combination a button can send: a key of the key code table, or no key with at
// least one modifier.
bool IsKeyCombination(std::uint8_t usage, std::uint8_t modifiers);
// Whether one of buttons 1..16 is a left click once entry `entry` does `code`.
bool LeavesALeftClick(const MouseProfile& profile, std::size_t entry, std::uint8_t code);
bool HasLeftClick(const MouseProfile& profile);

struct ButtonProblem {
    enum class Kind : std::uint8_t {
        None,
        NotAssignable,  // one of buttons 13..18 was changed
        NoMacroBlocks,  // a macro on a button without macro blocks
        NoKey,          // a key combination without a key the table knows, or nothing at all
        Macro,          // the macro breaks a macro rule (`macro`)
        NoLeftClick,    // no left click is left among buttons 1..16
    };
    Kind kind = Kind::None;
    std::size_t entry = 0;
    std::int64_t value = 0;    // NoKey: the key code
    MacroProblem macro;        // Macro: what is wrong with it
    std::u16string macroName;  // Macro: its name
    bool ok() const { return kind == Kind::None; }
};

// The buttons of `after` that differ from `before`, each checked as the page checks a
// choice of its menu, then the left click among them all. The first problem, or None.
ButtonProblem CheckButtonEdits(const MouseProfile& before, const MouseProfile& after);
std::string ButtonProblemText(const ButtonProblem& problem);

// ---- Records read from outside ----

// What a profile read from a file or a store needs before anything uses it: names
// terminated, macro step counts within 160, every setting of the table within its
// range (BringIntoRange, as the page brings what it loads). Returns what changed, in
// the table's names ("polling", "dpi.7", "name", "button.3 macro"), or nothing.
std::vector<std::string> RepairProfile(MouseProfile& profile);

// The first button among entries 0..17 that plays a macro (function 17) whose copy
// breaks a macro rule: such a record is refused whole, as its macro would be cut on the
// mouse or, imported, would enter the macro list beyond its rules.
struct ProfileMacroProblem {
    std::size_t entry = 0;
    std::u16string name;  // the macro's
    MacroProblem problem;
    bool ok() const { return problem.ok(); }
};
ProfileMacroProblem CheckProfileMacros(const MouseProfile& profile);

// "button 2's macro 'Burst' does not fit ..." for halvernctl and the log.
std::string ProfileMacroProblemText(const ProfileMacroProblem& problem);

}  // namespace halvern
