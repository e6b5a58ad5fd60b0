// Virtual time for tests of the device link against the virtual mouse: now() moves
// only when someone sleeps or advances it. After each step the settle hook runs (the
// virtual mouse's due work, then waiting until its readers have caught up), so a
// thread that "sleeps" through a pause sees what would have happened during it.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

#include "protocol/Clock.h"

namespace halvern::emu {

class SettlingClock final : public Clock {
public:
    std::chrono::milliseconds now() const override { return std::chrono::milliseconds{now_.load()}; }

    void sleepFor(std::chrono::milliseconds duration) override {
        slept_ += duration.count();
        advance(duration);
    }

    void advance(std::chrono::milliseconds duration) {
        now_ += duration.count();
        std::function<void()> settle;
        {
            std::lock_guard lock(mutex_);
            settle = settle_;
        }
        if (settle) settle();
    }

    void setSettle(std::function<void()> settle) {
        std::lock_guard lock(mutex_);
        settle_ = std::move(settle);
    }

    // The time spent in sleepFor() so far, by any thread.
    std::chrono::milliseconds slept() const { return std::chrono::milliseconds{slept_.load()}; }

private:
    std::atomic<long long> now_{0};
    std::atomic<long long> slept_{0};
    std::mutex mutex_;
    std::function<void()> settle_;
};

}  // namespace halvern::emu
