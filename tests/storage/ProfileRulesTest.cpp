// The one set of rules every door checks: a macro's steps and its fit, the buttons'
// edits, and what a record read from outside gets. The doors themselves (the imports,
// halvernctl, the page) are tested where they are; this is the table of cases.
#include "storage/ProfileRules.h"

#include <gtest/gtest.h>

#include <functional>

#include "records/Settings.h"
#include "support/Macros.h"

namespace halvern {
namespace {

using MK = MacroProblem::Kind;

struct MacroCase {
    const char* what;
    std::function<void(MacroRecord&)> edit;  // on eight short steps of key 'a'
    MK kind;
    std::size_t step;
};

TEST(MacroRules, EachRuleRefusesWhatBreaksItAndNamesTheStep) {
    const std::vector<MacroCase> cases = {
        {"eight short steps", [](MacroRecord&) {}, MK::None, 0},
        {"no steps", [](MacroRecord& m) { m.actionCount = 0; }, MK::None, 0},
        {"no pause given", [](MacroRecord& m) { m.actions[3].delay = 0; }, MK::None, 0},
        {"the longest pause", [](MacroRecord& m) { m.actions[3].delay = kMaxPause; }, MK::None, 0},
        {"a mouse button", [](MacroRecord& m) { m.actions[2].key = kMouseForward; }, MK::None, 0},
        {"a right modifier", [](MacroRecord& m) { m.actions[2].key = 0xE7; }, MK::None, 0},
        {"160 steps", [](MacroRecord& m) { m = test::ShortStepMacro(160); }, MK::None, 0},
        {"161 steps", [](MacroRecord& m) { m.actionCount = 161; }, MK::StepCount, 0},
        {"a negative count", [](MacroRecord& m) { m.actionCount = -1; }, MK::StepCount, 0},
        {"a step of kind 0", [](MacroRecord& m) { m.actions[4].kind = 0; }, MK::StepKind, 5},
        {"a step of kind 3", [](MacroRecord& m) { m.actions[0].kind = 3; }, MK::StepKind, 1},
        {"key code 0", [](MacroRecord& m) { m.actions[6].key = 0; }, MK::Key, 7},
        {"a code no table has", [](MacroRecord& m) { m.actions[1].key = 0xA5; }, MK::Key, 2},
        {"a pause above 25000 ms", [](MacroRecord& m) { m.actions[7].delay = kMaxPause + 1; }, MK::Pause, 8},
        {"the first problem wins",
         [](MacroRecord& m) {
             m.actions[7].delay = 65535;
             m.actions[3].key = 0;
         },
         MK::Key, 4},
        {"120 steps of 200 ms", [](MacroRecord& m) { m = test::LongPauseMacro(120, u"Burst"); }, MK::TooLong, 0},
        {"160 steps of 128 ms",
         [](MacroRecord& m) {
             m = test::ShortStepMacro(160);
             for (MacroAction& a : m.actions) a.delay = 128;
         },
         MK::TooLong, 0},
    };
    for (const MacroCase& c : cases) {
        MacroRecord m = test::ShortStepMacro(8);
        c.edit(m);
        const MacroProblem p = CheckMacro(m);
        EXPECT_EQ(p.kind, c.kind) << c.what;
        EXPECT_EQ(p.step, c.step) << c.what;
        EXPECT_EQ(MacroProblemText(p).empty(), p.ok()) << c.what;
        EXPECT_EQ(MacroProblemTextKey(p).empty(), p.ok()) << c.what;
        // A button's copy is held to the same rules.
        ButtonAssignment b;
        b.copyMacroContent(m);
        b.macroActionCount = static_cast<std::uint16_t>(std::clamp(m.actionCount, 0, 0xFFFF));
        if (m.actionCount >= 0) { EXPECT_EQ(CheckMacro(b).kind, c.kind) << c.what; }
    }
}

TEST(MacroRules, ATooLongMacroSaysHowFarItReaches) {
    const MacroRecord m = test::LongPauseMacro(120, u"Burst");
    const MacroProblem p = CheckMacro(m);
    ASSERT_EQ(p.kind, MK::TooLong);
    EXPECT_EQ(p.fit.blocks, 5u);
    EXPECT_EQ(p.fit.stepsThatFit, 96u);
    EXPECT_EQ(MacroProblemNumber(p), 5);
    EXPECT_EQ(
        MacroProblemText(p),
        "does not fit the 4 blocks a button has on the mouse: it takes 5, and they hold its first 96 of 120 steps "
        "(a pause above 127 ms takes twice the room of a shorter one)");
}

struct ButtonCase {
    const char* what;
    std::function<void(MouseProfile&)> edit;  // of the defaults
    ButtonProblem::Kind kind;
    std::size_t entry;
};

TEST(ButtonRules, AnEditIsCheckedAsThePageChecksAChoice) {
    using BK = ButtonProblem::Kind;
    MacroRecord fits = test::ShortStepMacro(4);
    MacroRecord tooLong = test::ShortStepMacro(160);
    for (MacroAction& a : tooLong.actions) a.delay = 300;
    const std::vector<ButtonCase> cases = {
        {"nothing changed", [](MouseProfile&) {}, BK::None, 0},
        {"a new function on button 12", [](MouseProfile& p) { p.buttons[11].function = 33; }, BK::None, 0},
        {"the left click moved",
         [](MouseProfile& p) {
             p.buttons[0].function = ButtonFunction::RightClick;
             p.buttons[3].function = ButtonFunction::LeftClick;
         },
         BK::None, 0},
        {"the last left click taken", [](MouseProfile& p) { p.buttons[0].function = 2; }, BK::NoLeftClick, 0},
        {"button 13 reassigned", [](MouseProfile& p) { p.buttons[12].function = 33; }, BK::NotAssignable, 12},
        {"button 18's leftover bytes", [](MouseProfile& p) { p.buttons[17].keyUsage = 4; }, BK::NotAssignable, 17},
        {"a macro on button 2", [&](MouseProfile& p) { p.buttons[1].assignMacro(fits, 0, 1, -1); }, BK::None, 0},
        {"a macro on button 6", [&](MouseProfile& p) { p.buttons[5].assignMacro(fits, 0, 1, -1); }, BK::NoMacroBlocks,
         5},
        {"a macro on button 12", [&](MouseProfile& p) { p.buttons[11].assignMacro(fits, 0, 1, -1); }, BK::NoMacroBlocks,
         11},
        {"a too long macro on button 10", [&](MouseProfile& p) { p.buttons[9].assignMacro(tooLong, 0, 1, -1); },
         BK::Macro, 9},
        {"ctrl alone", [](MouseProfile& p) { p.buttons[3].assignKey(0, kModCtrl); }, BK::None, 0},
        {"ctrl and a key", [](MouseProfile& p) { p.buttons[3].assignKey(0x06, kModCtrl); }, BK::None, 0},
        {"no key and no modifier", [](MouseProfile& p) { p.buttons[3].assignKey(0, 0); }, BK::NoKey, 3},
        {"a key no table has", [](MouseProfile& p) { p.buttons[3].assignKey(0xA5, kModAlt); }, BK::NoKey, 3},
    };
    for (const ButtonCase& c : cases) {
        auto before = MouseProfile::Create(u"P");
        auto after = std::make_unique<MouseProfile>(*before);
        c.edit(*after);
        const ButtonProblem p = CheckButtonEdits(*before, *after);
        EXPECT_EQ(p.kind, c.kind) << c.what;
        if (!p.ok()) { EXPECT_EQ(p.entry, c.entry) << c.what; }
        EXPECT_EQ(ButtonProblemText(p).empty(), p.ok()) << c.what;
    }
}

TEST(ButtonRules, TheLeftClickGuardCountsButtonsOneToSixteen) {
    auto p = MouseProfile::Create(u"P");
    p->buttons[0].function = ButtonFunction::RightClick;
    for (std::size_t entry : {std::size_t{15}, std::size_t{16}, std::size_t{17}}) {
        auto q = std::make_unique<MouseProfile>(*p);
        q->buttons[entry].function = ButtonFunction::LeftClick;
        EXPECT_EQ(HasLeftClick(*q), entry == 15) << entry;
    }
    EXPECT_FALSE(LeavesALeftClick(*MouseProfile::Create(u"P"), 0, ButtonFunction::RightClick));
    EXPECT_TRUE(LeavesALeftClick(*p, 4, ButtonFunction::LeftClick));
}

TEST(RecordRepair, SaysWhatItBroughtIntoRangeByTheTablesNames) {
    auto p = MouseProfile::Create(u"P");
    EXPECT_TRUE(RepairProfile(*p).empty());
    p->pollingRate = 7;
    p->dpiValue[6] = 999;
    p->dpiColor[1].zero = 9;
    p->sleepTimer = -3;
    std::fill(std::begin(p->name), std::end(p->name), u'n');
    p->buttons[2].macroActionCount = 500;
    EXPECT_EQ(RepairProfile(*p),
              (std::vector<std::string>{"name", "dpi.7", "dpi.2.color", "polling", "sleep", "button.3 macro"}));
    EXPECT_EQ(p->pollingRate, 3);
    EXPECT_EQ(p->sleepTimer, 1);
    EXPECT_TRUE(RepairProfile(*p).empty()) << "a repaired record stays as it is";
}

TEST(RecordRepair, AProfileIsRefusedByTheFirstMacroButtonThatBreaksAMacroRule) {
    auto p = MouseProfile::Create(u"P");
    MacroRecord tooLong = test::ShortStepMacro(160);
    for (MacroAction& a : tooLong.actions) a.delay = 300;
    tooLong.setName(u"Spray");
    p->buttons[5].assignMacro(test::ShortStepMacro(3), 0, 1, -1);  // no blocks: never sent, still checked
    EXPECT_TRUE(CheckProfileMacros(*p).ok());
    p->buttons[9].assignMacro(tooLong, 0, 1, -1);
    // Leftover steps of a button that plays no macro are not its macro.
    p->buttons[3].copyMacroContent(tooLong);
    const ProfileMacroProblem bad = CheckProfileMacros(*p);
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.entry, 9u);
    EXPECT_EQ(bad.name, u"Spray");
    EXPECT_EQ(ProfileMacroProblemText(bad).rfind("button.10 plays the macro 'Spray', which does not fit", 0), 0u)
        << ProfileMacroProblemText(bad);
}

}  // namespace
}  // namespace halvern
