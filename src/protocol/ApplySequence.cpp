#include "protocol/ApplySequence.h"

namespace halvern {

std::vector<Report> PlanReports(const MouseProfile& current, const ChangeFlags& changed, bool withPreamble) {
    std::vector<Report> plan;
    if (withPreamble) plan.push_back(BuildPreamble());
    if (changed.dpi) plan.push_back(BuildSensorReport(current));
    if (changed.light) plan.push_back(BuildLightPowerReport(current));
    if (changed.polling) plan.push_back(BuildPollingReport(current));
    if (changed.button) plan.push_back(BuildButtonReport(current));
    for (std::size_t i = 0; i < kButtonPositions; ++i) {
        const ButtonAssignment& button = current.buttons[i];
        if (button.function != ButtonFunction::Macro || !changed.macro[i] || macroBlockBase[i] == 0) continue;
        std::vector<Report> chunks = BuildMacroChunks(button, macroBlockBase[i]);
        plan.insert(plan.end(), chunks.begin(), chunks.end());
    }
    return plan;
}

std::vector<Report> PlanApply(const MouseProfile& current, const MouseProfile& lastApplied, bool full) {
    return PlanReports(current, full ? ChangeFlags::All() : DetectChanges(current, lastApplied), full);
}

SendOutcome SendPlannedReports(std::span<const Report> plan, SendPath& sendPath, Clock& clock,
                               const std::function<bool()>& stopRequested,
                               const std::function<void(std::size_t sent)>& onSent) {
    SendOutcome outcome;
    for (const Report& report : plan) {
        if (stopRequested && stopRequested()) {
            outcome.stopped = true;
            break;
        }
        sendPath.sendCommand(report.bytes());
        if (report.id() == ReportId::MacroChunk) clock.sleepFor(kMacroChunkPause);
        ++outcome.sent;
        if (onSent) onSent(outcome.sent);
    }
    return outcome;
}

}  // namespace halvern
