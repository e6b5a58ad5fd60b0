// The apply worker: the one thread that sends reports to the mouse. It takes requests
// from its own queue and runs them one after another:
//
//   1  stop the link watchdog (timer 512)        9  macro chunks of changed macro buttons
//   2  show "apply_ring"                         10  arm the link watchdog (6000 ms)
//   3  compare with lastApplied (or take all)    11  save the profile store
//   4  preamble (full apply only)                12  lastApplied = the snapshot, and the
//   5  sensor report if changed                      groups that did not reach the mouse
//   6  light and power report if changed             stay due
//   7  polling report if changed                 13  hide "apply_ring"
//   8  button report if changed                  14  tell the host the outcome
//
// Everything that belongs to the main thread (timers, controls, the store, the page's
// view of lastApplied, progress) is handed to ApplyHost through the poster, never called
// from the worker. A request is dropped while no link is up.
//
// Snapshots. A request carries a copy of the current profile made by the requesting
// thread at the moment of the request. The worker never reads the live profile, so an
// edit made while an apply runs is neither half-sent nor lost: it is in the next
// request's snapshot and differs from lastApplied.
//
// What the mouse holds. lastApplied together with a set of due groups describes the
// mouse: it holds lastApplied, except for the due groups, which may be in any state. A
// group becomes due when a report of it did not reach the mouse (the link went away, a
// write failed, the receiver's mouse never acknowledged, Bluetooth LE refused the
// polling rate); the next apply counts it as changed and sends it again, and it stops
// being due once all of its reports got through. The groups are not separable by value
// (the button group covers every byte of the macro buttons), which is why a due group is
// a mark rather than old values left in lastApplied. A full apply whose preamble did not
// get through stays due as a whole: the next apply is full again.
//
// Ownership of lastApplied. The worker owns lastApplied and the due groups from
// construction to the end of its thread. The main thread changes lastApplied only
// through adoptAsApplied() (the store loaded) and adoptReported() (a setting the mouse
// reported itself), which are queued like requests and so take their place in order
// with the applies; the due groups survive both. A reported setting changes that one
// field and nothing else: every edit not yet applied still differs and still goes out.
// After each apply and each reported setting the worker posts a copy of lastApplied to
// the host.
//
// A report and an apply that cross. The mouse tells what it changed a little after the
// change (a reader polls, the event is handed to the main thread), so an apply that
// wrote the same group just before the report arrived may have reached the mouse after
// the change, and the mouse then holds what was written, not what it reported. The
// worker cannot tell the two orders apart, so when the group was written within
// kReportCrossingWindow before the report arrived, the group stays due and the next
// apply sends the reported value again: the mouse then holds what the page shows.
//
// Full applies. requestApply(…, true) marks the next apply as full; the mark stays until
// an apply actually runs, so a full request dropped for want of a link makes the next
// apply full.
//
// Quitting (quit(), requestQuit() or the destructor): the send in progress stops before
// its next write and within its current pause, nothing after it is sent, queued requests
// are dropped, and the steps after the sends are skipped, since the mouse did not get the
// whole profile. Tasks posted before may still be delivered after quit() returned; the
// host and the poster must stay valid until they are.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <thread>

#include "protocol/ApplySequence.h"
#include "protocol/ChangeDetection.h"
#include "protocol/Clock.h"
#include "protocol/LinkState.h"
#include "protocol/SendPath.h"
#include "records/MouseProfile.h"
#include "protocol/Transports.h"
#include "records/MouseProfile.h"
#include "records/Settings.h"

namespace halvern {

inline constexpr std::chrono::milliseconds kLinkWatchdogDelay{6000};
// How long after a group was written a report of one of its settings may still have
// been raised before the write reached the mouse: a reader's poll, the hand-over to the
// main thread and a busy event loop, with room to spare.
inline constexpr std::chrono::milliseconds kReportCrossingWindow{200};

// What the worker asks of the main thread. Every call arrives on the main thread, in the
// order of the steps above.
class ApplyHost {
public:
    virtual ~ApplyHost() = default;
    virtual void stopLinkWatchdog() = 0;                                  // kill timer 512
    virtual void startLinkWatchdog(std::chrono::milliseconds delay) = 0;  // arm timer 512
    virtual void setApplyRingVisible(bool visible) = 0;                   // "apply_ring", when it exists
    virtual void saveProfileStore() = 0;
    // The snapshot the apply was made from, now lastApplied; the page's read-only view.
    // Groups of it that did not reach the mouse are due (see applyFinished).
    virtual void lastAppliedChanged(const MouseProfile& lastApplied) = 0;
    // `sent` of `planned` reports handed to the send path: (0, n) when the sends start,
    // then after each one.
    virtual void applyProgress(std::size_t sent, std::size_t planned) = 0;
    // A request found no link up and was dropped.
    virtual void applyDropped() {}
    // The last call of an apply that ran to its end. Anything but Applied means the mouse
    // may hold part of the profile, and the next apply sends the groups that did not get
    // through (Unconfirmed: the receiver's mouse never acknowledged some; Incomplete:
    // some were not written, because the link went away or a write failed). Not called
    // for an apply cut short by quitting.
    virtual void applyFinished([[maybe_unused]] ApplyOutcome outcome) {}
};

class ApplyWorker {
public:
    using Task = std::function<void()>;
    // Runs a task on the main thread later, in posting order; callable from any thread.
    using Poster = std::function<void(Task)>;

    // Starts the thread. Everything passed in must outlive the worker.
    ApplyWorker(LinkState& links, Transports transports, Clock& clock, ApplyHost& host, Poster postToMain);
    ~ApplyWorker();
    ApplyWorker(const ApplyWorker&) = delete;
    ApplyWorker& operator=(const ApplyWorker&) = delete;

    // Queues an apply of a snapshot of `current`, taken now. Main thread.
    void requestApply(const MouseProfile& current, bool full = false);
    // Queues lastApplied = a snapshot of `profile`, taken now. Main thread.
    void adoptAsApplied(const MouseProfile& profile);
    // Queues: the mouse reported `value` for `setting` at `arrived` (the worker's clock);
    // lastApplied takes that one value. Returns at once; the groups that may have crossed
    // with an apply stay due for the next one (see above). Main thread.
    void adoptReported(SettingId setting, std::int32_t value, std::chrono::milliseconds arrived);
    // Makes the next apply that runs a full one, without asking for an apply.
    void markFullApply();
    // Stops the send in progress at its next write or pause, drops the rest and ends the
    // thread; returns once the thread has ended. Main thread; a second call does nothing.
    void quit();
    // The same without waiting; any thread, the worker's own included.
    void requestQuit();

    bool fullApplyPending() const;

private:
    struct Message {
        enum class Kind { Apply, Adopt, Reported, Quit } kind;
        std::shared_ptr<const MouseProfile> profile;
        SettingId setting = SettingId::DpiActive;  // Reported
        std::int32_t value = 0;                    // Reported
        std::chrono::milliseconds arrived{};       // Reported
    };

    void run();
    void apply(std::shared_ptr<const MouseProfile> snapshot);
    void takeReported(const Message& reported);
    void noteWritten(const ApplyPlan& plan, std::span<const Delivery> deliveries);
    void post(Task task) { postToMain_(std::move(task)); }

    LinkState& links_;
    Clock& clock_;
    ApplyHost& host_;
    Poster postToMain_;
    SendPath sendPath_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Message> queue_;  // guarded by mutex_
    bool fullPending_ = false;   // guarded by mutex_
    std::stop_source quit_;      // requested once, by requestQuit()

    std::shared_ptr<const MouseProfile> lastApplied_;  // worker thread only
    ChangeFlags dueGroups_;                            // worker thread only
    // When each group last reached the mouse, on clock_: dpi, polling, light.
    std::optional<std::chrono::milliseconds> dpiWritten_, pollingWritten_, lightWritten_;  // worker thread only
    std::thread thread_;
    std::once_flag joined_;
};

}  // namespace halvern
