#include "storage/ProfileRules.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "keys/KeyCodeTable.h"
#include "records/Settings.h"
#include "records/Text.h"

namespace halvern {

namespace {

template <typename Int>
std::string Text(Int v) {
    return std::to_string(v);
}

MacroProblem Problem(MacroProblem::Kind kind, std::size_t step, std::int64_t value) {
    MacroProblem p;
    p.kind = kind;
    p.step = step;
    p.value = value;
    return p;
}

bool SameButton(const ButtonAssignment& a, const ButtonAssignment& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string ButtonName(std::size_t entry) { return "button." + Text(entry + 1); }

// "buttons 1, 2, 3, 4, 5, 9, 10"
std::string MacroButtonsText() {
    std::string list;
    for (std::size_t i = 0; i < macroBlockBase.size(); ++i)
        if (CanPlayMacro(i)) list += (list.empty() ? "" : ", ") + Text(i + 1);
    return "buttons " + list;
}

// The table's name of one value: "dpi.3.color" for level 2 of "dpi.N.color".
std::string SettingName(const SettingRow& row, std::size_t level) {
    std::string name(row.cliName);
    if (const std::size_t n = name.find('N'); row.perLevel && n != std::string::npos)
        name.replace(n, 1, Text(level + 1));
    return name;
}

void Note(std::vector<std::string>& what, std::string name) {
    if (std::find(what.begin(), what.end(), name) == what.end()) what.push_back(std::move(name));
}

}  // namespace

// ---- Macros ----

bool IsMacroKey(std::uint8_t code) { return IsMouseButtonCode(code) || (code != 0 && FindByUsage(code) != nullptr); }

MacroProblem CheckMacroSteps(std::int64_t count, std::span<const MacroAction, kMaxMacroActions> actions) {
    using Kind = MacroProblem::Kind;
    if (count < 0 || count > static_cast<std::int64_t>(kMaxMacroActions)) return Problem(Kind::StepCount, 0, count);
    const std::span<const MacroAction> steps = actions.first(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const MacroAction& a = steps[i];
        if (a.kind != MacroAction::Press && a.kind != MacroAction::Release)
            return Problem(Kind::StepKind, i + 1, a.kind);
        if (!IsMacroKey(a.key)) return Problem(Kind::Key, i + 1, a.key);
        if (a.delay > kMaxPause) return Problem(Kind::Pause, i + 1, a.delay);
    }
    const MacroFit fit = FitMacro(steps);
    if (fit.fits()) return {};
    MacroProblem p = Problem(Kind::TooLong, 0, static_cast<std::int64_t>(fit.blocks));
    p.fit = fit;
    return p;
}

MacroProblem CheckMacro(const MacroRecord& macro) { return CheckMacroSteps(macro.actionCount, macro.actions); }

MacroProblem CheckMacro(const ButtonAssignment& button) {
    return CheckMacroSteps(button.macroActionCount, button.macroActions);
}

std::string MacroProblemText(const MacroProblem& p) {
    const std::string step = "step " + Text(p.step);
    switch (p.kind) {
        case MacroProblem::Kind::None: return {};
        case MacroProblem::Kind::StepCount:
            return "holds " + Text(p.value) + " steps; a macro holds 0 to " + Text(kMaxMacroActions);
        case MacroProblem::Kind::StepKind:
            return step + " is neither a press nor a release (kind " + Text(p.value) + ")";
        case MacroProblem::Kind::Key:
            return step + " holds code " + Text(p.value) + ", which is neither a key nor a mouse button";
        case MacroProblem::Kind::Pause:
            return step + " pauses " + Text(p.value) + " ms; a pause is at most " + Text(kMaxPause) + " ms";
        case MacroProblem::Kind::TooLong:
            return "does not fit the " + Text(kMacroBlocksPerButton) + " blocks a button has on the mouse: it takes " +
                   Text(p.fit.blocks) + ", and they hold its first " + Text(p.fit.stepsThatFit) + " of " +
                   Text(p.fit.steps) + " steps (a pause above 127 ms takes twice the room of a shorter one)";
    }
    return {};
}

std::string_view MacroProblemTextKey(const MacroProblem& p) {
    switch (p.kind) {
        case MacroProblem::Kind::None: return {};
        case MacroProblem::Kind::StepCount: return "macro_refused_count_text";
        case MacroProblem::Kind::TooLong: return "macro_refused_too_long_text";
        default: return "macro_refused_step_text";
    }
}

std::int64_t MacroProblemNumber(const MacroProblem& p) {
    switch (p.kind) {
        case MacroProblem::Kind::StepCount: return p.value;
        case MacroProblem::Kind::TooLong: return static_cast<std::int64_t>(p.fit.blocks);
        default: return static_cast<std::int64_t>(p.step);
    }
}

// ---- Buttons ----

bool CanPlayMacro(std::size_t entry) { return entry < macroBlockBase.size() && macroBlockBase[entry] != 0; }

bool IsKeyCombination(std::uint8_t usage, std::uint8_t modifiers) {
    if (usage == 0) return (modifiers & (kModCtrl | kModShift | kModAlt | kModWin)) != 0;
    return FindByUsage(usage) != nullptr;
}

bool LeavesALeftClick(const MouseProfile& profile, std::size_t entry, std::uint8_t code) {
    for (std::size_t b = 0; b < kLeftClickGuardButtons; ++b)
        if ((b == entry ? code : profile.buttons[b].function) == ButtonFunction::LeftClick) return true;
    return false;
}

bool HasLeftClick(const MouseProfile& profile) {
    return LeavesALeftClick(profile, kButtonPositions, ButtonFunction::Disabled);
}

ButtonProblem CheckButtonEdits(const MouseProfile& before, const MouseProfile& after) {
    using Kind = ButtonProblem::Kind;
    bool changed = false;
    for (std::size_t i = 0; i < kButtonEntries; ++i) {
        const ButtonAssignment& b = after.buttons[i];
        if (SameButton(b, before.buttons[i])) continue;
        changed = true;
        ButtonProblem p;
        p.entry = i;
        if (i >= kAssignableButtons) {
            p.kind = Kind::NotAssignable;
        } else if (b.function == ButtonFunction::Macro) {
            p.macro = CheckMacro(b);
            p.macroName = b.macroNameText();
            if (!CanPlayMacro(i)) p.kind = Kind::NoMacroBlocks;
            else if (!p.macro.ok()) p.kind = Kind::Macro;
        } else if (b.function == ButtonFunction::KeyCombination && !IsKeyCombination(b.keyUsage, b.keyModifiers)) {
            p.kind = Kind::NoKey;
            p.value = b.keyUsage;
        }
        if (!p.ok()) return p;
    }
    ButtonProblem p;
    if (changed && !HasLeftClick(after)) p.kind = Kind::NoLeftClick;
    return p;
}

std::string ButtonProblemText(const ButtonProblem& p) {
    const std::string button = ButtonName(p.entry);
    switch (p.kind) {
        case ButtonProblem::Kind::None: return {};
        case ButtonProblem::Kind::NotAssignable:
            return button + ": buttons " + Text(kAssignableButtons + 1) + " to " + Text(kButtonPositions) +
                   " cannot be reassigned; they keep what they do";
        case ButtonProblem::Kind::NoMacroBlocks:
            return button + ": this button cannot play a macro; " + MacroButtonsText() + " can";
        case ButtonProblem::Kind::NoKey:
            if (p.value == 0) return button + ": a key combination needs a key, a modifier or both";
            return button + ": code " + Text(p.value) + " is no key a key combination can hold";
        case ButtonProblem::Kind::Macro:
            return button + ": the macro " + QuoteForLine(Utf16ToUtf8(p.macroName)) + " " + MacroProblemText(p.macro);
        case ButtonProblem::Kind::NoLeftClick:
            return "no button among 1 to " + Text(kLeftClickGuardButtons) +
                   " would be a left click; one must stay (give another button 'left' in the same command)";
    }
    return {};
}

// ---- Records read from outside ----

std::vector<std::string> RepairProfile(MouseProfile& profile) {
    const auto before = std::make_unique<MouseProfile>(profile);
    RepairRecord(profile);
    BringIntoRange(profile);
    std::vector<std::string> what;
    if (std::memcmp(before->name, profile.name, sizeof profile.name) != 0) Note(what, "name");
    if (std::memcmp(before->spareText1, profile.spareText1, sizeof profile.spareText1) != 0 ||
        std::memcmp(before->spareText2, profile.spareText2, sizeof profile.spareText2) != 0)
        Note(what, "spare texts");
    for (const SettingRow& row : kSettings) {
        for (std::size_t level = 0; level < ValueCount(row); ++level) {
            const std::int32_t* was = IntField(*before, row, level);
            const RgbColor* wasColor = ColorField(*before, row, level);
            if ((was && *was != *IntField(profile, row, level)) ||
                (wasColor && !(*wasColor == *ColorField(profile, row, level))))
                Note(what, SettingName(row, level));
        }
    }
    for (std::size_t level = 0; level < kDpiLevels; ++level)
        if (before->dpiValueCopy[level] != profile.dpiValueCopy[level])
            Note(what, SettingName(Setting(SettingId::DpiValue), level) + " copy");
    for (std::size_t i = 0; i < kButtonEntries; ++i)
        if (!SameButton(before->buttons[i], profile.buttons[i])) Note(what, ButtonName(i) + " macro");
    return what;
}

ProfileMacroProblem CheckProfileMacros(const MouseProfile& profile) {
    ProfileMacroProblem found;
    for (std::size_t i = 0; i < kButtonPositions; ++i) {
        const ButtonAssignment& b = profile.buttons[i];
        if (b.function != ButtonFunction::Macro) continue;
        found.problem = CheckMacro(b);
        if (found.problem.ok()) continue;
        found.entry = i;
        found.name = b.macroNameText();
        return found;
    }
    return {};
}

std::string ProfileMacroProblemText(const ProfileMacroProblem& p) {
    if (p.ok()) return {};
    return ButtonName(p.entry) + " plays the macro " + QuoteForLine(Utf16ToUtf8(p.name)) + ", which " +
           MacroProblemText(p.problem);
}

}  // namespace halvern
