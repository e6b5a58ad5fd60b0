#include "ProtocolFuzzTargets.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "FuzzRequire.h"
#include "protocol/ApplySequence.h"
#include "protocol/RecordingTransports.h"
#include "support/VirtualClock.h"

namespace halvern::fuzz {

namespace {

std::size_t ExpectedSize(std::uint8_t id) {
    switch (id) {
        case ReportId::Preamble: return kPreambleSize;
        case ReportId::Sensor: return kSensorReportSize;
        case ReportId::LightPower: return kLightPowerReportSize;
        case ReportId::Polling: return kPollingReportSize;
        case ReportId::Buttons: return kButtonReportSize;
        case ReportId::MacroChunk: return kMacroChunkSize;
        default: return 0;
    }
}

void CheckFrame(const Report& r) {
    Require(r.size() == ExpectedSize(r.id()), "every report has its id's length");
    Require(r[1] == static_cast<std::uint8_t>(r.size()), "byte 1 is the length");
    std::size_t checksumAt = r.id() == ReportId::Sensor       ? 50
                             : r.id() == ReportId::LightPower ? 11
                             : r.id() == ReportId::Buttons    ? 57
                             : r.id() == ReportId::MacroChunk ? 129
                                                              : 0;
    if (checksumAt) {
        std::uint16_t sum = ReportChecksum(r.bytes().subspan(3, checksumAt - 3));
        Require(r[checksumAt] == sum >> 8 && r[checksumAt + 1] == (sum & 0xFF), "checksum");
    }
    if (r.id() == ReportId::MacroChunk) Require(r[28] <= 50, "a chunk's units fit its data area");
}

}  // namespace

void ProfileReportsInput(const std::uint8_t* data, std::size_t size) {
    MouseProfile current, lastApplied;
    std::memcpy(&current, data, std::min(size, sizeof current));
    if (size > sizeof current)
        std::memcpy(&lastApplied, data + sizeof current, std::min(size - sizeof current, sizeof lastApplied));

    for (bool full : {true, false}) {
        // Whatever the record holds, a macro stays within its button's blocks.
        const ApplyPlan planned =
            PlanGroups(current, full ? ChangeFlags::All() : DetectChanges(current, lastApplied), full);
        for (std::size_t i = 0; i < planned.reports.size(); ++i) {
            if (planned.groups[i].kind != ReportGroup::Kind::Macro) continue;
            const std::uint8_t base = macroBlockBase[planned.groups[i].entry];
            Require(base != 0 && planned.reports[i][2] >= base && planned.reports[i][2] < base + kMacroBlocksPerButton,
                    "a macro stays within its button's blocks");
        }
        std::vector<Report> plan = PlanApply(current, lastApplied, full);
        Require(!full || (plan.size() >= 5 && plan[0].id() == ReportId::Preamble),
                "a full apply starts with the preamble");
        for (const Report& r : plan) CheckFrame(r);
        for (TransportLink link : {TransportLink::Cable, TransportLink::Receiver, TransportLink::Ble}) {
            LinkState links;
            links.flag(link) = 1;
            test::VirtualClock clock;
            RecordingTransports mouse(&links);
            SendPath sendPath(links, mouse.transports(), clock);
            SendPlannedReports(plan, sendPath, clock, {}, {});
            for (const WrittenBuffer& w : mouse.written()) {
                Require(w.link == link, "the chosen link only");
                Require(w.bytes.size() <= kMaxReportSize, "no buffer beyond the largest report");
            }
        }
    }
}

}  // namespace halvern::fuzz
