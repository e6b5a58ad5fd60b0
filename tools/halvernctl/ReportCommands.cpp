#include "ReportCommands.h"

#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "ProfileFiles.h"
#include "protocol/ApplySequence.h"
#include "protocol/RecordingTransports.h"
#include "records/Text.h"
#include "storage/RecordFiles.h"

namespace halvern::cli {

namespace {

constexpr const char* kUsage = "usage: halvernctl reports FILE.pro --transport cable|receiver|ble [--against LAST.pro]";

// Pauses pass on paper only: the output is the same as on the real clock, at once.
class NoWaitClock final : public Clock {
public:
    std::chrono::milliseconds now() const override { return elapsed_; }
    void sleepFor(std::chrono::milliseconds duration) override { elapsed_ += duration; }

private:
    std::chrono::milliseconds elapsed_{0};
};

struct ReportsArgs {
    std::string profile;
    std::string transport;
    std::optional<std::string> against;
};

std::optional<ReportsArgs> Parse(const std::vector<std::string>& args) {
    ReportsArgs parsed;
    bool haveProfile = false, haveTransport = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool hasValue = i + 1 < args.size();
        if (a == "--transport" && hasValue && !haveTransport) {
            parsed.transport = args[++i];
            haveTransport = true;
        } else if (a == "--against" && hasValue && !parsed.against) {
            parsed.against = args[++i];
        } else if (!a.starts_with("--") && !haveProfile) {
            parsed.profile = a;
            haveProfile = true;
        } else {
            return std::nullopt;
        }
    }
    if (!haveProfile || !haveTransport) return std::nullopt;
    return parsed;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        s += kDigits[b >> 4];
        s += kDigits[b & 0xF];
    }
    return s;
}

}  // namespace

int Reports(const Invocation& call) {
    std::optional<ReportsArgs> args = Parse(call.args);
    if (!args) return call.fail(kExitUsage, kUsage);

    const std::map<std::string, TransportLink> links = {
        {"cable", TransportLink::Cable}, {"receiver", TransportLink::Receiver}, {"ble", TransportLink::Ble}};
    auto link = links.find(args->transport);
    if (link == links.end())
        return call.fail(kExitUsage, "unknown transport " + QuoteForLine(args->transport) + "; " + kUsage);

    // Files are taken as the program takes them, so the bytes are those it would send.
    ProfileRead current = ReadProfileAsHalvern(args->profile, MacroRules::Check);
    if (!current.profile) return call.fail(kExitFailure, current.error);
    if (std::optional<std::string> line = RepairLine(QuoteForLine(args->profile), current.repaired)) call.warn(*line);
    auto lastApplied = std::make_unique<MouseProfile>();
    if (args->against) {
        RecordRead<MouseProfile> against = ReadProfileFile(*args->against);
        if (!against.record) return call.fail(kExitFailure, against.error);
        RepairRecord(*against.record);
        lastApplied = std::move(against.record);
    }

    LinkState linkState;
    linkState.flag(link->second) = 1;
    NoWaitClock clock;
    RecordingTransports mouse(&linkState);
    SendPath sendPath(linkState, mouse.transports(), clock);
    std::vector<Report> plan = PlanApply(*current.profile, *lastApplied, !args->against);
    SendPlannedReports(plan, sendPath, clock, {}, {});
    for (const WrittenBuffer& w : mouse.written()) call.out << Hex(w.bytes) << '\n';
    return kExitOk;
}

}  // namespace halvern::cli
