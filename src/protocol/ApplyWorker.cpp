#include "protocol/ApplyWorker.h"

#include <utility>

namespace halvern {

ApplyWorker::ApplyWorker(LinkState& links, Transports transports, Clock& clock, ApplyHost& host, Poster postToMain)
    : links_(links),
      clock_(clock),
      host_(host),
      postToMain_(std::move(postToMain)),
      sendPath_(links, transports, clock),
      // Until the stores are loaded the mouse is taken to hold nothing: all zero.
      lastApplied_(std::make_shared<const MouseProfile>()) {
    thread_ = std::thread([this] { run(); });
}

ApplyWorker::~ApplyWorker() { quit(); }

void ApplyWorker::requestApply(const MouseProfile& current, bool full) {
    auto snapshot = std::make_shared<const MouseProfile>(current);
    {
        std::lock_guard lock(mutex_);
        if (full) fullPending_ = true;
        queue_.push_back({Message::Kind::Apply, std::move(snapshot)});
    }
    wake_.notify_one();
}

void ApplyWorker::adoptAsApplied(const MouseProfile& profile) {
    auto snapshot = std::make_shared<const MouseProfile>(profile);
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({Message::Kind::Adopt, std::move(snapshot)});
    }
    wake_.notify_one();
}

void ApplyWorker::adoptReported(SettingId setting, std::int32_t value, std::chrono::milliseconds arrived) {
    {
        std::lock_guard lock(mutex_);
        Message reported{Message::Kind::Reported, nullptr};
        reported.setting = setting;
        reported.value = value;
        reported.arrived = arrived;
        queue_.push_back(std::move(reported));
    }
    wake_.notify_one();
}

void ApplyWorker::requestQuit() {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({Message::Kind::Quit, nullptr});
    }
    quit_.request_stop();
    wake_.notify_one();
}

void ApplyWorker::quit() {
    requestQuit();
    std::call_once(joined_, [this] { thread_.join(); });
}

void ApplyWorker::markFullApply() {
    std::lock_guard lock(mutex_);
    fullPending_ = true;
}

bool ApplyWorker::fullApplyPending() const {
    std::lock_guard lock(mutex_);
    return fullPending_;
}

void ApplyWorker::run() {
    for (;;) {
        Message message;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return !queue_.empty(); });
            message = std::move(queue_.front());
            queue_.pop_front();
        }
        if (quit_.stop_requested() || message.kind == Message::Kind::Quit) return;
        // Nothing may leave this thread as an exception; a request that fails on the
        // way (out of memory) is dropped and lastApplied stays as it was.
        try {
            if (message.kind == Message::Kind::Adopt) lastApplied_ = std::move(message.profile);
            else if (message.kind == Message::Kind::Reported) takeReported(message);
            else apply(std::move(message.profile));
        } catch (...) {}
    }
}

void ApplyWorker::apply(std::shared_ptr<const MouseProfile> snapshot) {
    if (!links_.applyLinkUp()) {
        post([&host = host_] { host.applyDropped(); });
        return;
    }
    bool full;
    {
        // Taken at the start: a full request made while this apply runs is honoured by
        // the next one instead of being cleared at this one's end.
        std::lock_guard lock(mutex_);
        full = std::exchange(fullPending_, false);
    }
    post([&host = host_] { host.stopLinkWatchdog(); });
    post([&host = host_] { host.setApplyRingVisible(true); });

    const ChangeFlags changed = full ? ChangeFlags::All() : DetectChanges(*snapshot, *lastApplied_) | dueGroups_;
    const ApplyPlan plan = PlanGroups(*snapshot, changed, full);
    const std::size_t planned = plan.reports.size();
    post([&host = host_, planned] { host.applyProgress(0, planned); });
    const SendOutcome outcome =
        SendPlannedReports(plan.reports, sendPath_, clock_, quit_.get_token(), [this, planned](std::size_t sent) {
            post([&host = host_, sent, planned] { host.applyProgress(sent, planned); });
        });
    if (outcome.stopped) return;

    // Groups that were due but had no report in the plan (a macro on a button that no
    // longer runs one) are dropped with the rest: the change test catches them again
    // once they matter.
    const ApplyReach reach = SummarizeDeliveries(plan, outcome.deliveries);
    noteWritten(plan, outcome.deliveries);
    dueGroups_ = reach.undelivered;
    if (full && !reach.preambleDelivered) {
        std::lock_guard lock(mutex_);
        fullPending_ = true;
    }
    post([&host = host_] { host.startLinkWatchdog(kLinkWatchdogDelay); });
    // The store holds the user's profiles, which are worth keeping whatever the mouse got.
    post([&host = host_] { host.saveProfileStore(); });
    lastApplied_ = snapshot;
    post([&host = host_, sent = std::move(snapshot)] { host.lastAppliedChanged(*sent); });
    post([&host = host_] { host.setApplyRingVisible(false); });
    post([&host = host_, result = reach.outcome] { host.applyFinished(result); });
}

void ApplyWorker::takeReported(const Message& reported) {
    auto adopted = std::make_shared<MouseProfile>(*lastApplied_);
    const SettingRow& row = Setting(reported.setting);
    if (std::int32_t* field = IntField(*adopted, row)) *field = reported.value;
    const ChangeFlags groups = GroupsOf(row);
    const auto crossed = [&](const std::optional<std::chrono::milliseconds>& written) {
        return written && *written + kReportCrossingWindow >= reported.arrived;
    };
    ChangeFlags due;
    due.dpi = groups.dpi && crossed(dpiWritten_);
    due.polling = groups.polling && crossed(pollingWritten_);
    due.light = groups.light && crossed(lightWritten_);
    dueGroups_ |= due;
    lastApplied_ = adopted;
    post([&host = host_, held = std::shared_ptr<const MouseProfile>(adopted)] { host.lastAppliedChanged(*held); });
}

void ApplyWorker::noteWritten(const ApplyPlan& plan, std::span<const Delivery> deliveries) {
    const std::chrono::milliseconds now = clock_.now();
    for (std::size_t i = 0; i < deliveries.size() && i < plan.groups.size(); ++i) {
        // An unconfirmed write may still have reached the mouse.
        const Delivery d = deliveries[i];
        if (!ReachedMouse(d) && d != Delivery::Unconfirmed) continue;
        switch (plan.groups[i].kind) {
            case ReportGroup::Kind::Dpi: dpiWritten_ = now; break;
            case ReportGroup::Kind::Polling: pollingWritten_ = now; break;
            case ReportGroup::Kind::Light: lightWritten_ = now; break;
            default: break;
        }
    }
}

}  // namespace halvern
