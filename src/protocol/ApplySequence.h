// What one apply sends and how: the reports, in their fixed order, for the groups that
// changed between a profile and the one the mouse was last given, the loop that hands
// them to the send path, and what reached the mouse, group by group. The apply worker
// runs these on its thread; halvernctl runs them directly to show what an apply writes.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>
#include <vector>

#include "protocol/ChangeDetection.h"
#include "protocol/Clock.h"
#include "protocol/CommandReports.h"
#include "records/MouseProfile.h"
#include "protocol/SendPath.h"

namespace halvern {

// The mouse needs this long after every macro chunk, whatever the link.
inline constexpr std::chrono::milliseconds kMacroChunkPause{500};

// The group of settings a report carries: one of ChangeFlags' groups, or the preamble.
struct ReportGroup {
    enum class Kind : std::uint8_t { Preamble, Dpi, Light, Polling, Button, Macro };
    Kind kind = Kind::Preamble;
    std::uint8_t entry = 0;  // Macro: the button entry whose chunk it is
    friend bool operator==(const ReportGroup&, const ReportGroup&) = default;
};

// The reports of one apply in sending order, each with its group. A full apply sends
// every group and starts with the preamble; otherwise only the changed groups go:
//   preamble (full only), sensor, light and power, polling, buttons, then for button
//   entries 0..17 in order the macro chunks of each macro button (function 17) whose
//   macro changed, from its first block on.
// A macro button without a block range of its own (`macroBlockBase` 0) gets no chunks:
// writing from block 0 on would overwrite the first button's macro in the mouse. A
// macro longer than its button's kMacroBlocksPerButton blocks is cut to what they hold
// (the next button's blocks are that button's): the plan names it, and the apply that
// sends it is incomplete however well the sends go.
struct ApplyPlan {
    std::vector<Report> reports;
    std::vector<ReportGroup> groups;      // groups[i] is what reports[i] carries
    std::vector<std::uint8_t> cutMacros;  // button entries whose macro was cut
};
ApplyPlan PlanGroups(const MouseProfile& current, const ChangeFlags& changed, bool withPreamble);
// The reports alone.
std::vector<Report> PlanReports(const MouseProfile& current, const ChangeFlags& changed, bool withPreamble);
std::vector<Report> PlanApply(const MouseProfile& current, const MouseProfile& lastApplied, bool full);

struct SendOutcome {
    std::vector<Delivery> deliveries;  // one per report handed to the send path, in order
    bool stopped = false;              // a stop cut the plan short
};

// Hands each report to the send path in order, pausing after every macro chunk, and
// reports the count sent after each. One report the mouse missed does not hold back the
// others: every report gets its turn, whatever the one before achieved. A stop ends the
// plan at once; the report it interrupted is not counted.
SendOutcome SendPlannedReports(std::span<const Report> plan, SendPath& sendPath, Clock& clock, std::stop_token stop,
                               const std::function<void(std::size_t sent)>& onSent);

// What an apply achieved, as its host is told.
enum class ApplyOutcome {
    Applied,      // every report reached the mouse (acknowledged where the link acknowledges)
    Unconfirmed,  // every report went out, but the mouse did not acknowledge some
    Incomplete,   // some reports were not written: the link went away or a write failed
    MacroCut,     // every report went out, but a macro was too long for its button's
                  // blocks and the mouse holds only its start: sending again cuts it again
};

// What reached the mouse, by group. A group reached it when every report of it did. A
// report the link refuses (the polling rate over Bluetooth LE) leaves its group
// undelivered without making the apply any less successful: that link never carries it.
struct ApplyReach {
    ApplyOutcome outcome = ApplyOutcome::Applied;
    ChangeFlags undelivered;              // groups of the plan the mouse may not hold
    bool preambleDelivered = true;        // true as well when the plan has no preamble
    std::vector<std::uint8_t> cutMacros;  // the plan's: entries whose macro the mouse got only in part
};
// `deliveries` may be shorter than the plan; the reports past its end did not go.
ApplyReach SummarizeDeliveries(const ApplyPlan& plan, std::span<const Delivery> deliveries);

}  // namespace halvern
