// Keeps the profile store on disk in step with the page's model. A change is written a
// moment after the last one (timer 518), so a burst of edits costs one write and a crash
// loses at most that moment; the list of profiles changing, an apply ending and the end
// of the program write at once. A write that fails (a full disk, a folder made
// read-only) is reported and tried again every few seconds, and on every later change,
// until one succeeds; the model keeps everything meanwhile. Main thread only.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "device/TimerService.h"
#include "storage/ProfileStore.h"

namespace halvern {

inline constexpr std::chrono::milliseconds kStoreSaveDelay{1000};
inline constexpr std::chrono::milliseconds kStoreRetryDelay{5000};

class StoreKeeper {
public:
    // Called after each write that changes the outcome: the error of a failed write, or
    // nullopt when a write succeeds after one failed.
    using Report = std::function<void(const std::optional<std::string>& error)>;

    StoreKeeper(ProfileStore& store, TimerService& timers, Report report)
        : store_(store), timers_(timers), report_(std::move(report)) {}

    // The model changed: written kStoreSaveDelay after the last change.
    void changed();
    // Written now; false when the write failed (it is then retried).
    bool saveNow();
    // Written now when anything is unsaved; true when nothing is left unsaved.
    bool saveIfUnsaved();
    // Timer 518 fired; false for any other id.
    bool onTimer(int id);

    bool unsaved() const { return unsaved_; }
    // Why the last write failed, while it has not succeeded since.
    const std::optional<std::string>& failure() const { return failure_; }

private:
    ProfileStore& store_;
    TimerService& timers_;
    Report report_;
    bool unsaved_ = false;
    std::optional<std::string> failure_;
};

}  // namespace halvern
