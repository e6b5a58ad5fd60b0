#include "protocol/ApplySequence.h"

namespace halvern {

namespace {

using Kind = ReportGroup::Kind;

void Add(ApplyPlan& plan, Report report, ReportGroup group) {
    plan.reports.push_back(report);
    plan.groups.push_back(group);
}

void MarkUndelivered(ApplyReach& reach, ReportGroup group) {
    switch (group.kind) {
        case Kind::Preamble: reach.preambleDelivered = false; break;
        case Kind::Dpi: reach.undelivered.dpi = true; break;
        case Kind::Light: reach.undelivered.light = true; break;
        case Kind::Polling: reach.undelivered.polling = true; break;
        case Kind::Button: reach.undelivered.button = true; break;
        case Kind::Macro:
            if (group.entry < reach.undelivered.macro.size()) reach.undelivered.macro[group.entry] = true;
            break;
    }
}

}  // namespace

ApplyPlan PlanGroups(const MouseProfile& current, const ChangeFlags& changed, bool withPreamble) {
    ApplyPlan plan;
    if (withPreamble) Add(plan, BuildPreamble(), {Kind::Preamble});
    if (changed.dpi) Add(plan, BuildSensorReport(current), {Kind::Dpi});
    if (changed.light) Add(plan, BuildLightPowerReport(current), {Kind::Light});
    if (changed.polling) Add(plan, BuildPollingReport(current), {Kind::Polling});
    if (changed.button) Add(plan, BuildButtonReport(current), {Kind::Button});
    for (std::size_t i = 0; i < kButtonPositions; ++i) {
        const ButtonAssignment& button = current.buttons[i];
        if (button.function != ButtonFunction::Macro || !changed.macro[i] || macroBlockBase[i] == 0) continue;
        for (const Report& chunk : BuildMacroChunks(button, macroBlockBase[i], kMacroBlocksPerButton))
            Add(plan, chunk, {Kind::Macro, static_cast<std::uint8_t>(i)});
        if (!FitMacro(std::span(button.macroActions, button.validActionCount())).fits())
            plan.cutMacros.push_back(static_cast<std::uint8_t>(i));
    }
    return plan;
}

std::vector<Report> PlanReports(const MouseProfile& current, const ChangeFlags& changed, bool withPreamble) {
    return PlanGroups(current, changed, withPreamble).reports;
}

std::vector<Report> PlanApply(const MouseProfile& current, const MouseProfile& lastApplied, bool full) {
    return PlanReports(current, full ? ChangeFlags::All() : DetectChanges(current, lastApplied), full);
}

SendOutcome SendPlannedReports(std::span<const Report> plan, SendPath& sendPath, Clock& clock, std::stop_token stop,
                               const std::function<void(std::size_t sent)>& onSent) {
    SendOutcome outcome;
    for (const Report& report : plan) {
        const Delivery delivery = sendPath.sendCommand(report.bytes(), stop);
        if (delivery != Delivery::Stopped && report.id() == ReportId::MacroChunk)
            clock.interruptibleSleepFor(kMacroChunkPause, stop);
        if (delivery == Delivery::Stopped || stop.stop_requested()) {
            outcome.stopped = true;
            break;
        }
        outcome.deliveries.push_back(delivery);
        if (onSent) onSent(outcome.deliveries.size());
    }
    return outcome;
}

ApplyReach SummarizeDeliveries(const ApplyPlan& plan, std::span<const Delivery> deliveries) {
    ApplyReach reach;
    bool unwritten = false;
    bool unconfirmed = false;
    for (std::size_t i = 0; i < plan.reports.size(); ++i) {
        const Delivery d = i < deliveries.size() ? deliveries[i] : Delivery::Stopped;
        if (ReachedMouse(d)) continue;
        MarkUndelivered(reach, plan.groups[i]);
        if (d == Delivery::Unconfirmed) unconfirmed = true;
        else if (d != Delivery::Refused) unwritten = true;
    }
    // A cut macro is not due again: sending it again would cut it the same way.
    reach.cutMacros = plan.cutMacros;
    if (unwritten) reach.outcome = ApplyOutcome::Incomplete;
    else if (!plan.cutMacros.empty()) reach.outcome = ApplyOutcome::MacroCut;
    else if (unconfirmed) reach.outcome = ApplyOutcome::Unconfirmed;
    return reach;
}

}  // namespace halvern
