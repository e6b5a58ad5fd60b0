#include "protocol/ChangeDetection.h"

#include <gtest/gtest.h>

#include <functional>

#include "protocol/ApplySequence.h"
#include "support/Macros.h"

namespace halvern {
namespace {

struct Edit {
    const char* field;
    std::function<void(MouseProfile&)> apply;
};

ChangeFlags Only(bool ChangeFlags::*group) {
    ChangeFlags f;
    f.*group = true;
    return f;
}

ChangeFlags ChangesAfter(const std::function<void(MouseProfile&)>& edit) {
    auto last = MouseProfile::Create(u"P");
    auto current = std::make_unique<MouseProfile>(*last);
    edit(*current);
    return DetectChanges(*current, *last);
}

TEST(ChangeDetection, EachFieldMarksItsOwnGroupOnly) {
    const std::vector<Edit> dpi = {
        {"spareE", [](MouseProfile& p) { p.spareE = 1; }},
        {"liftOffDistance", [](MouseProfile& p) { p.liftOffDistance = 1; }},
        {"spareF", [](MouseProfile& p) { p.spareF = 1; }},
        {"rippleControl", [](MouseProfile& p) { p.rippleControl = 0; }},
        {"angleSnap", [](MouseProfile& p) { p.angleSnap = 1; }},
        {"dpiStep", [](MouseProfile& p) { p.dpiStep = 4; }},
        {"dpiValue", [](MouseProfile& p) { p.dpiValue[7] = 3; }},
        {"dpiValueCopy", [](MouseProfile& p) { p.dpiValueCopy[0] = 3; }},
        {"dpiEnabled", [](MouseProfile& p) { p.dpiEnabled[7] = 1; }},
        {"dpiColor", [](MouseProfile& p) { p.dpiColor[7].b = 1; }},
    };
    const std::vector<Edit> light = {
        {"lightEffect", [](MouseProfile& p) { p.lightEffect = 1; }},
        {"lightEffectBle", [](MouseProfile& p) { p.lightEffectBle = 1; }},
        {"breathSpeed", [](MouseProfile& p) { p.breathSpeed = 1; }},
        {"brightness", [](MouseProfile& p) { p.brightness = 1; }},
        {"keyDebounce", [](MouseProfile& p) { p.keyDebounce = 1; }},
        {"lightColor", [](MouseProfile& p) { p.lightColor.r = 1; }},
        {"sleepTimer", [](MouseProfile& p) { p.sleepTimer = 1; }},
        {"lightOffTimer", [](MouseProfile& p) { p.lightOffTimer = 9; }},
    };
    for (const Edit& e : dpi) EXPECT_EQ(ChangesAfter(e.apply), Only(&ChangeFlags::dpi)) << e.field;
    for (const Edit& e : light) EXPECT_EQ(ChangesAfter(e.apply), Only(&ChangeFlags::light)) << e.field;
    EXPECT_EQ(ChangesAfter([](MouseProfile& p) { p.pollingRate = 0; }), Only(&ChangeFlags::polling));
    EXPECT_EQ(ChangesAfter([](MouseProfile& p) { p.buttons[3].keyUsage = 4; }), Only(&ChangeFlags::button));
    EXPECT_EQ(ChangesAfter([](MouseProfile& p) { p.buttons[23].function = 1; }), Only(&ChangeFlags::button));
    EXPECT_EQ(ChangesAfter([](MouseProfile& p) { p.buttons[5].macroName[0] = u'x'; }), Only(&ChangeFlags::button));
}

TEST(ChangeDetection, FieldsOutsideEveryGroupChangeNothing) {
    const std::vector<Edit> none = {
        {"name", [](MouseProfile& p) { p.setName(u"Renamed"); }},
        {"moveMode", [](MouseProfile& p) { p.moveMode = 1; }},
        {"spareText1", [](MouseProfile& p) { p.spareText1[0] = u'x'; }},
        {"spareA", [](MouseProfile& p) { p.spareA = 1; }},
        {"spareC", [](MouseProfile& p) { p.spareC = 1; }},
        {"spareG", [](MouseProfile& p) { p.spareG = 7; }},
        {"spareH", [](MouseProfile& p) { p.spareH = 7; }},
        {"spareColor", [](MouseProfile& p) { p.spareColor[2].g = 7; }},
    };
    for (const Edit& e : none) EXPECT_EQ(ChangesAfter(e.apply), ChangeFlags{}) << e.field;
}

TEST(ChangeDetection, MacroOfAnEntryChangesWithItsStepsHeaderModeLoopsAndCount) {
    const std::vector<Edit> macro = {
        {"macroMode", [](MouseProfile& p) { p.buttons[4].macroMode = 2; }},
        {"macroLoopCount", [](MouseProfile& p) { p.buttons[4].macroLoopCount = 3; }},
        {"macroHeader", [](MouseProfile& p) { p.buttons[4].macroHeader[2] = 1; }},
        {"byte after macroHeader", [](MouseProfile& p) { p.buttons[4].zero1087 = 1; }},
        {"a step past the count", [](MouseProfile& p) { p.buttons[4].macroActions[159].delay = 1; }},
        {"macroActionCount", [](MouseProfile& p) { p.buttons[4].macroActionCount = 1; }},
        {"function becoming 17", [](MouseProfile& p) { p.buttons[4].function = ButtonFunction::Macro; }},
    };
    for (const Edit& e : macro) {
        ChangeFlags expected = Only(&ChangeFlags::button);
        expected.macro[4] = true;
        EXPECT_EQ(ChangesAfter(e.apply), expected) << e.field;
    }
    // Leaving the macro function is a button change only: nothing to send as chunks.
    auto last = MouseProfile::Create(u"P");
    last->buttons[4].function = ButtonFunction::Macro;
    MouseProfile current = *last;
    current.buttons[4].function = ButtonFunction::LeftClick;
    EXPECT_EQ(DetectChanges(current, *last), Only(&ChangeFlags::button));
}

// --- what an apply sends -----------------------------------------------------------

std::vector<std::pair<std::uint8_t, std::uint8_t>> IdsAndBlocks(const std::vector<Report>& plan) {
    std::vector<std::pair<std::uint8_t, std::uint8_t>> out;
    for (const Report& r : plan) out.emplace_back(r.id(), r.id() == ReportId::MacroChunk ? r[2] : 0);
    return out;
}

TEST(ApplyPlan, FullApplyWithMacrosOnEntriesZeroAndEight) {
    auto p = MouseProfile::Create(u"P");
    p->buttons[0].assignMacro(test::ShortStepMacro(60), 0, 1, 0);
    p->buttons[8].assignMacro(test::ShortStepMacro(3), 0, 1, 1);
    std::vector<Report> plan = PlanApply(*p, *p, true);
    using P = std::pair<std::uint8_t, std::uint8_t>;
    EXPECT_EQ(
        IdsAndBlocks(plan),
        (std::vector<P>{{0x0C, 0}, {0x04, 0}, {0x05, 0}, {0x06, 0}, {0x08, 0}, {0x09, 1}, {0x09, 2}, {0x09, 21}}));
    EXPECT_EQ(plan[1], BuildSensorReport(*p));
    EXPECT_EQ(plan[4], BuildButtonReport(*p));
}

TEST(ApplyPlan, DiffAppliesSendOnlyTheChangedGroups) {
    auto last = MouseProfile::Create(u"P");
    MouseProfile p = *last;
    p.lightEffectBle = 9;
    EXPECT_EQ(PlanApply(p, *last, false), std::vector<Report>{BuildLightPowerReport(p)});

    p = *last;
    p.liftOffDistance = 1;
    EXPECT_EQ(PlanApply(p, *last, false), std::vector<Report>{BuildSensorReport(p)});

    p = *last;
    p.setName(u"Other");
    p.moveMode = 1;
    EXPECT_TRUE(PlanApply(p, *last, false).empty());

    p = *last;
    p.buttons[2].assignMacro(test::ShortStepMacro(2), 0, 1, 0);
    using P = std::pair<std::uint8_t, std::uint8_t>;
    EXPECT_EQ(IdsAndBlocks(PlanApply(p, *last, false)), (std::vector<P>{{0x08, 0}, {0x09, 9}}));

    // A changed macro on a button that no longer runs macros is not sent.
    MouseProfile q = p;
    q.buttons[2].assignKey(4, 0);
    q.buttons[2].macroActions[0].delay = 99;
    EXPECT_EQ(IdsAndBlocks(PlanApply(q, p, false)), (std::vector<P>{{0x08, 0}}));
}

TEST(ApplyPlan, MacroOnAButtonWithoutBlocksNeverWritesFromBlockZero) {
    auto last = MouseProfile::Create(u"P");
    MouseProfile p = *last;
    p.buttons[6].assignMacro(test::ShortStepMacro(2), 0, 1, 0);
    for (bool full : {false, true})
        for (const Report& r : PlanApply(p, *last, full)) EXPECT_NE(r.id(), ReportId::MacroChunk) << full;
}

TEST(ApplyPlan, EveryReportNamesTheGroupItCarries) {
    auto p = MouseProfile::Create(u"P");
    p->buttons[0].assignMacro(test::ShortStepMacro(60), 0, 1, 0);
    p->buttons[8].assignMacro(test::ShortStepMacro(3), 0, 1, 1);
    const ApplyPlan plan = PlanGroups(*p, ChangeFlags::All(), true);
    using K = ReportGroup::Kind;
    // clang-format off
    EXPECT_EQ(plan.groups, (std::vector<ReportGroup>{{K::Preamble}, {K::Dpi}, {K::Light}, {K::Polling}, {K::Button},
                                                     {K::Macro, 0}, {K::Macro, 0}, {K::Macro, 8}}));
    // clang-format on
    EXPECT_EQ(plan.reports, PlanApply(*p, *p, true));
}

// --- what reached the mouse --------------------------------------------------------

ApplyPlan RichPlan() {
    auto p = MouseProfile::Create(u"P");
    p->buttons[0].assignMacro(test::ShortStepMacro(60), 0, 1, 0);  // two chunks
    p->buttons[9].assignMacro(test::ShortStepMacro(3), 0, 1, 1);
    return PlanGroups(*p, ChangeFlags::All(), true);  // preamble, 4 reports, 3 chunks
}

TEST(ApplyReach, AGroupReachedTheMouseOnlyWhenEveryReportOfItDid) {
    using D = Delivery;
    const ApplyPlan plan = RichPlan();
    ApplyReach all = SummarizeDeliveries(plan, std::vector<D>(8, D::Confirmed));
    EXPECT_EQ(all.outcome, ApplyOutcome::Applied);
    EXPECT_EQ(all.undelivered, ChangeFlags{});
    EXPECT_TRUE(all.preambleDelivered);

    // The second chunk of entry 0 and the light report did not get through.
    ApplyReach some = SummarizeDeliveries(plan, std::vector<D>{D::Written, D::Written, D::Unconfirmed, D::Written,
                                                               D::Written, D::Written, D::Failed, D::Written});
    ChangeFlags expected;
    expected.light = true;
    expected.macro[0] = true;
    EXPECT_EQ(some.undelivered, expected);
    EXPECT_EQ(some.outcome, ApplyOutcome::Incomplete);

    // Reports past the end of the deliveries never went.
    ApplyReach cut = SummarizeDeliveries(plan, std::vector<D>{D::NoLink});
    EXPECT_FALSE(cut.preambleDelivered);
    ChangeFlags everyPlannedGroup =
        Only(&ChangeFlags::dpi) | Only(&ChangeFlags::light) | Only(&ChangeFlags::polling) | Only(&ChangeFlags::button);
    everyPlannedGroup.macro[0] = everyPlannedGroup.macro[9] = true;
    EXPECT_EQ(cut.undelivered, everyPlannedGroup);
    EXPECT_EQ(cut.outcome, ApplyOutcome::Incomplete);
}

TEST(ApplyReach, TheOutcomeIsTheWorstOfWhatHappenedAndARefusalCostsNothing) {
    using D = Delivery;
    auto p = MouseProfile::Create(u"P");
    const ApplyPlan plan = PlanGroups(*p, Only(&ChangeFlags::dpi) | Only(&ChangeFlags::polling), false);
    struct Case {
        std::vector<D> deliveries;  // sensor, polling
        ApplyOutcome outcome;
        bool pollingDue;
    };
    for (const Case& c : std::vector<Case>{
             {{D::Confirmed, D::Written}, ApplyOutcome::Applied, false},
             {{D::Confirmed, D::Refused}, ApplyOutcome::Applied, true},
             {{D::Unconfirmed, D::Refused}, ApplyOutcome::Unconfirmed, true},
             {{D::Unconfirmed, D::Failed}, ApplyOutcome::Incomplete, true},
             {{D::NoLink, D::Confirmed}, ApplyOutcome::Incomplete, false},
             {{D::Stopped}, ApplyOutcome::Incomplete, true},
         }) {
        ApplyReach reach = SummarizeDeliveries(plan, c.deliveries);
        EXPECT_EQ(reach.outcome, c.outcome) << static_cast<int>(c.deliveries[0]);
        EXPECT_EQ(reach.undelivered.polling, c.pollingDue) << static_cast<int>(c.deliveries[0]);
        EXPECT_EQ(reach.undelivered.dpi, !ReachedMouse(c.deliveries[0]));
        EXPECT_TRUE(reach.preambleDelivered);  // none planned
    }
}

// The last guard: whatever a record holds, a macro never leaves its button's blocks,
// and a cut one is said as such even when every report got through; a link lost on
// the way still says the mouse went away.
TEST(ApplyPlan, AMacroLongerThanItsBlocksIsCutThereAndTheApplySaysSo) {
    auto p = MouseProfile::Create(u"P");
    const MacroRecord tooLong = test::LongPauseMacro(120, u"Burst");
    p->buttons[1].assignMacro(tooLong, 0, 1, 0);
    p->buttons[2].assignMacro(test::ShortStepMacro(3), 0, 1, 1);
    const ApplyPlan plan = PlanGroups(*p, ChangeFlags::All(), true);
    using P = std::pair<std::uint8_t, std::uint8_t>;
    // clang-format off
    EXPECT_EQ(IdsAndBlocks(plan.reports), (std::vector<P>{{0x0C, 0}, {0x04, 0}, {0x05, 0}, {0x06, 0}, {0x08, 0},
                                                          {0x09, 5}, {0x09, 6}, {0x09, 7}, {0x09, 8}, {0x09, 9}}));
    // clang-format on
    EXPECT_EQ(plan.cutMacros, std::vector<std::uint8_t>{1});
    // The fourth block ends the macro: no pair sends the mouse on into block 9.
    const Report& fourth = plan.reports[8];
    EXPECT_NE(fourth[29 + 2 * fourth[28] - 1], 0xFE);

    const ApplyReach reach = SummarizeDeliveries(plan, std::vector<Delivery>(plan.reports.size(), Delivery::Confirmed));
    EXPECT_EQ(reach.outcome, ApplyOutcome::MacroCut);
    EXPECT_EQ(reach.cutMacros, std::vector<std::uint8_t>{1});
    EXPECT_EQ(reach.undelivered, ChangeFlags{}) << "sent again it would be cut the same way";
    EXPECT_EQ(SummarizeDeliveries(plan, std::vector<Delivery>{Delivery::NoLink}).outcome, ApplyOutcome::Incomplete);
}

}  // namespace
}  // namespace halvern
