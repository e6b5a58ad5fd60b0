// What one apply sends and how: the reports, in their fixed order, for the groups that
// changed between a profile and the one the mouse was last given, and the loop that
// hands them to the send path. The apply worker runs these on its thread; halvernctl
// runs them directly to show what an apply writes.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "protocol/ChangeDetection.h"
#include "protocol/Clock.h"
#include "protocol/CommandReports.h"
#include "records/MouseProfile.h"
#include "protocol/SendPath.h"

namespace halvern {

// The mouse needs this long after every macro chunk, whatever the link.
inline constexpr std::chrono::milliseconds kMacroChunkPause{500};

// The reports of one apply in sending order. A full apply sends every group and starts
// with the preamble; otherwise only the changed groups go:
//   preamble (full only), sensor, light and power, polling, buttons, then for button
//   entries 0..17 in order the macro chunks of each macro button (function 17) whose
//   macro changed, from its first block on.
// A macro button without a block range of its own (`macroBlockBase` 0) gets no chunks:
// writing from block 0 on would overwrite the first button's macro in the mouse.
std::vector<Report> PlanApply(const MouseProfile& current, const MouseProfile& lastApplied, bool full);
std::vector<Report> PlanReports(const MouseProfile& current, const ChangeFlags& changed, bool withPreamble);

struct SendOutcome {
    std::size_t sent = 0;     // reports handed to the send path
    bool stopped = false;     // stopRequested() cut the plan short
};

// Hands each report to the send path in order, pausing after every macro chunk, and
// reports the count sent after each. Results of single sends are ignored: one report
// the mouse missed does not hold back the others. stopRequested is asked before each
// report, so a stop lets the send in progress finish.
SendOutcome SendPlannedReports(std::span<const Report> plan, SendPath& sendPath, Clock& clock,
                               const std::function<bool()>& stopRequested,
                               const std::function<void(std::size_t sent)>& onSent);

}  // namespace halvern
