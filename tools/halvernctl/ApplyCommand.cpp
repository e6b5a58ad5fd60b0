#include "ApplyCommand.h"

#include <chrono>
#include <iostream>
#include <optional>

#include "DeviceSession.h"
#include "ProfileFiles.h"
#include "StoredProfiles.h"
#include "protocol/ApplyWorker.h"
#include "records/Text.h"
#include "storage/ProfileRules.h"
#include "storage/RecordFiles.h"

namespace halvern::cli {

namespace {

using namespace std::chrono_literals;

constexpr const char* kUsage = "usage: halvernctl apply FILE.pro|--profile NAME [--full] [--against LAST.pro]";

// How long a receiver that is there may take until its mouse first speaks: it reports
// its battery at least this often, or the link would be taken as lost.
constexpr auto kReceiverLinkWait = 6500ms;
// How long the cable and the Bluetooth LE mouse may take to show up once the link runs.
constexpr auto kOtherLinksWait = 300ms;

struct ApplyArgs {
    std::string profile;
    bool stored = false;  // `profile` names a stored profile rather than a file
    bool full = false;
    std::optional<std::string> against;
};

std::optional<ApplyArgs> Parse(const std::vector<std::string>& args) {
    ApplyArgs parsed;
    bool haveProfile = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--full" && !parsed.full) parsed.full = true;
        else if (a == "--against" && i + 1 < args.size() && !parsed.against) parsed.against = args[++i];
        else if (a == "--profile" && i + 1 < args.size() && !haveProfile) {
            parsed.profile = args[++i];
            parsed.stored = haveProfile = true;
        } else if (!a.starts_with("--") && !haveProfile) {
            parsed.profile = a;
            haveProfile = true;
        } else {
            return std::nullopt;
        }
    }
    if (!haveProfile) return std::nullopt;
    return parsed;
}

// The profile being applied. What the mouse changes on itself meanwhile goes into it
// and becomes what the mouse was last given, as in the program.
class AppliedProfile final : public ProfileHolder {
public:
    explicit AppliedProfile(std::unique_ptr<MouseProfile> p) : profile(std::move(p)) {}
    MouseProfile* currentProfile() override { return profile.get(); }
    void settingReported(SettingId setting, std::int32_t value) override {
        SetValue(*profile, setting, value);
        if (worker && clock) worker->adoptReported(setting, value, clock->now());
    }
    void mouseSaved() override {}
    std::unique_ptr<MouseProfile> profile;
    ApplyWorker* worker = nullptr;
    Clock* clock = nullptr;
};

// The worker's main-thread side: the link watchdog on the session's timers, progress
// on standard error, and the end of the apply.
class Host final : public ApplyHost {
public:
    Host(DeviceSession& session, std::ostream& err) : session_(session), err_(err) {}
    void stopLinkWatchdog() override { session_.loop().kill(TimerId::WirelessTimeout); }
    void startLinkWatchdog(std::chrono::milliseconds delay) override {
        session_.loop().arm(TimerId::WirelessTimeout, delay);
    }
    void setApplyRingVisible(bool) override {}
    void saveProfileStore() override {}
    void lastAppliedChanged(const MouseProfile&) override {}
    void applyProgress(std::size_t sent, std::size_t planned) override {
        err_ << "halvernctl: applying, " << sent << " of " << planned << " reports sent" << std::endl;
    }
    void applyDropped() override { dropped = true; }
    void applyFinished(ApplyOutcome result) override { outcome = result; }
    std::optional<ApplyOutcome> outcome;
    bool dropped = false;

private:
    DeviceSession& session_;
    std::ostream& err_;
};

// A stored profile as the page takes it: brought into range, and refused with a macro
// the page would show as too long, rather than cut on the mouse.
std::unique_ptr<MouseProfile> ReadStored(const Invocation& call, const std::string& name, std::string& error) {
    StoredProfiles stored = ReadStoredProfiles();
    if (!stored.store) {
        error = stored.error;
        return nullptr;
    }
    const MouseProfile* found = FindStoredProfile(*stored.store, name, error);
    if (!found) return nullptr;
    auto profile = std::make_unique<MouseProfile>(*found);
    const std::string what = "the stored profile " + QuoteForLine(name);
    if (std::optional<std::string> line = RepairLine(what, RepairProfile(*profile))) call.warn(*line);
    if (const ProfileMacroProblem bad = CheckProfileMacros(*profile); !bad.ok()) {
        error = what + ": " + ProfileMacroProblemText(bad) + "; halvern shows it as too long and cuts it";
        return nullptr;
    }
    return profile;
}

std::unique_ptr<MouseProfile> ReadProfile(const Invocation& call, const std::string& path, std::string& error) {
    ProfileRead read = ReadProfileAsHalvern(path, MacroRules::Check);
    if (!read.profile) {
        error = read.error;
        return nullptr;
    }
    if (std::optional<std::string> line = RepairLine(QuoteForLine(path), read.repaired)) call.warn(*line);
    return std::move(read.profile);
}

// What the mouse holds, as it was given: its names and counts made safe to read, its
// values left as they are.
std::unique_ptr<MouseProfile> ReadAgainst(const std::string& path, std::string& error) {
    RecordRead<MouseProfile> read = ReadProfileFile(path);
    if (!read.record) {
        error = read.error;
        return nullptr;
    }
    RepairRecord(*read.record);
    return std::move(read.record);
}

}  // namespace

int Apply(const Invocation& call) {
    std::optional<ApplyArgs> args = Parse(call.args);
    if (!args) return call.fail(kExitUsage, kUsage);
    std::string error;
    std::unique_ptr<MouseProfile> profile =
        args->stored ? ReadStored(call, args->profile, error) : ReadProfile(call, args->profile, error);
    if (!profile) return call.fail(kExitFailure, error);
    std::unique_ptr<MouseProfile> against;
    if (args->against && !(against = ReadAgainst(*args->against, error))) return call.fail(kExitFailure, error);

    QuietDeviceObserver observer;
    AppliedProfile holder(std::move(profile));
    DeviceSession session(observer, holder);
    if (!session.start(error)) return call.fail(kExitFailure, error);
    LinkState& links = session.links();
    DeviceDiscovery& discovery = session.link().discovery();
    session.runUntil([&] { return links.applyLinkUp(); },
                     discovery.inputCount() > 0 ? kReceiverLinkWait : kOtherLinksWait);
    if (!links.applyLinkUp()) {
        if (std::optional<DeniedDevice> denied = session.permissionProblem())
            return call.fail(kExitFailure, PermissionLine(*denied));
        return call.fail(kExitFailure, "no mouse is linked (no cable, answering receiver or Bluetooth LE mouse)");
    }

    SteadyClock clock;
    Host host(session, call.err);
    {
        ApplyWorker worker(links, session.link().transports(), clock, host,
                           [&session](ApplyWorker::Task task) { session.postToMain(std::move(task)); });
        holder.worker = &worker;
        holder.clock = &clock;
        if (against) worker.adoptAsApplied(*against);
        // Without a profile the mouse is known to hold, nothing may be taken as already
        // there: a group left at zero would be skipped.
        worker.requestApply(*holder.profile, args->full || !against);
        session.runUntil([&] { return host.outcome || host.dropped; }, std::chrono::hours(1));
        holder.worker = nullptr;
    }
    if (host.dropped) return call.fail(kExitFailure, "no mouse is linked any more; nothing was applied");
    if (!host.outcome)
        return call.fail(kExitFailure, "the apply did not finish; the mouse may hold part of the profile");
    switch (*host.outcome) {
        case ApplyOutcome::Applied: return kExitOk;
        case ApplyOutcome::Unconfirmed:
            return call.fail(kExitFailure, "the mouse did not confirm every report; it may hold part of the profile");
        case ApplyOutcome::MacroCut:
            return call.fail(kExitFailure,
                             "a macro is too long for its button's blocks; the mouse holds only its start");
        case ApplyOutcome::Incomplete: break;
    }
    if (!links.applyLinkUp())
        return call.fail(kExitFailure, "the mouse went away during the apply; it may hold part of the profile");
    return call.fail(kExitFailure, "some reports could not be written; the mouse may hold part of the profile");
}

}  // namespace halvern::cli
