// Virtual time for tests: no pause really waits, every pause is recorded, and actions
// can be scheduled at a virtual instant ("the mouse acknowledges at t = 1200 ms").
//
// Two ways to let time pass:
// - AutoAdvance (default): a sleeper moves time forward itself, running every action
//   due on the way, in time order, on its own thread before it returns. Deterministic
//   for one sleeping thread; the usual choice.
// - Manual: a sleeper blocks until another thread (the test) moves time with advanceTo
//   or advanceBy. waitForSleepers lets the test catch the worker in a pause and act
//   while it is held there.
// Scheduled actions run on the thread that moves time past them, with no lock held, so
// an action may schedule further actions or read the clock.
//
// An interruptible sleep whose stop is requested ends there: in AutoAdvance mode time
// stays at the instant of the action that asked for the stop; in Manual mode the sleeper
// wakes without time moving.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <stop_token>
#include <vector>

#include "protocol/Clock.h"

namespace halvern::test {

using namespace std::chrono_literals;

class VirtualClock final : public Clock {
public:
    enum class Mode { AutoAdvance, Manual };

    explicit VirtualClock(Mode mode = Mode::AutoAdvance) : mode_(mode) {}

    std::chrono::milliseconds now() const override {
        std::lock_guard lock(mutex_);
        return now_;
    }

    void sleepFor(std::chrono::milliseconds duration) override { sleep(duration, nullptr); }

    void interruptibleSleepFor(std::chrono::milliseconds duration, std::stop_token stop) override {
        if (stop.stop_requested()) return;
        // Registered before the lock is taken: a stop requested meanwhile runs the
        // callback at once, and it takes the lock itself.
        std::stop_callback wake(stop, [this] {
            std::lock_guard lock(mutex_);
            changed_.notify_all();
        });
        sleep(duration, &stop);
    }

    // Runs `action` once virtual time reaches `at` (at once on the next move when `at`
    // has already passed).
    void at(std::chrono::milliseconds when, std::function<void()> action) {
        std::lock_guard lock(mutex_);
        actions_.emplace(when, std::move(action));
    }

    // Manual mode: moves time and wakes the sleepers whose pause is over.
    void advanceTo(std::chrono::milliseconds when) {
        std::unique_lock lock(mutex_);
        moveTo(when, lock);
    }
    void advanceBy(std::chrono::milliseconds duration) {
        std::unique_lock lock(mutex_);
        moveTo(now_ + duration, lock);
    }

    // Manual mode: waits (in real time, up to `timeout`) until `count` threads sleep.
    bool waitForSleepers(std::size_t count = 1, std::chrono::milliseconds timeout = 10s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return sleepers_ >= count; });
    }

    // Every pause asked for so far, in order, whichever thread asked.
    std::vector<std::chrono::milliseconds> sleeps() const {
        std::lock_guard lock(mutex_);
        return sleeps_;
    }
    std::chrono::milliseconds sleptInTotal() const {
        std::lock_guard lock(mutex_);
        std::chrono::milliseconds total{0};
        for (auto s : sleeps_) total += s;
        return total;
    }
    void clearSleeps() {
        std::lock_guard lock(mutex_);
        sleeps_.clear();
    }

private:
    void sleep(std::chrono::milliseconds duration, const std::stop_token* stop) {
        std::unique_lock lock(mutex_);
        sleeps_.push_back(duration);
        const std::chrono::milliseconds target = now_ + duration;
        if (mode_ == Mode::AutoAdvance) {
            moveTo(target, lock, stop);
            return;
        }
        ++sleepers_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return (now_ >= target && !runningActions_) || (stop && stop->stop_requested()); });
        --sleepers_;
    }

    // Stops early, at the instant of the action that requested `stop`.
    void moveTo(std::chrono::milliseconds target, std::unique_lock<std::mutex>& lock,
                const std::stop_token* stop = nullptr) {
        while (!actions_.empty() && actions_.begin()->first <= target) {
            auto next = actions_.begin();
            if (next->first > now_) now_ = next->first;
            std::function<void()> action = std::move(next->second);
            actions_.erase(next);
            runningActions_ = true;
            lock.unlock();
            action();
            lock.lock();
            runningActions_ = false;
            if (stop && stop->stop_requested()) {
                changed_.notify_all();
                return;
            }
        }
        if (target > now_) now_ = target;
        changed_.notify_all();
    }

    const Mode mode_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::chrono::milliseconds now_{0};
    std::multimap<std::chrono::milliseconds, std::function<void()>> actions_;
    std::vector<std::chrono::milliseconds> sleeps_;
    std::size_t sleepers_ = 0;
    bool runningActions_ = false;
};

}  // namespace halvern::test
