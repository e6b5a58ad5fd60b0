// Time for everything that paces itself: the send path's pauses, the reader loop,
// recording ticks. Production uses the steady clock; tests inject a virtual clock and
// assert the exact pauses instead of sleeping.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

namespace halvern {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale (the steady clock's, or virtual time).
    virtual std::chrono::milliseconds now() const = 0;
    // Returns after `duration` has passed on this clock.
    virtual void sleepFor(std::chrono::milliseconds duration) = 0;
    // The same, except that it returns as soon as `stop` is requested, and at once when
    // it already was. The caller tells the two endings apart by asking `stop`. This
    // default cannot be woken early: it suits clocks on which nothing really waits.
    virtual void interruptibleSleepFor(std::chrono::milliseconds duration, std::stop_token stop) {
        if (!stop.stop_requested()) sleepFor(duration);
    }
};

class SteadyClock final : public Clock {
public:
    std::chrono::milliseconds now() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
    void sleepFor(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
    void interruptibleSleepFor(std::chrono::milliseconds duration, std::stop_token stop) override {
        // Nothing is ever notified but by the stop itself, so the wait ends on the stop
        // or on the timeout, spurious wake-ups included.
        std::mutex mutex;
        std::condition_variable_any woken;
        std::unique_lock lock(mutex);
        woken.wait_for(lock, stop, duration, [] { return false; });
    }
};

}  // namespace halvern
