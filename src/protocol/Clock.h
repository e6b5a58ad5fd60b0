// Time for everything that paces itself: the send path's pauses, the reader loop,
// recording ticks. Production uses the steady clock; tests inject a virtual clock and
// assert the exact pauses instead of sleeping.
#pragma once

#include <chrono>
#include <thread>

namespace halvern {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale (the steady clock's, or virtual time).
    virtual std::chrono::milliseconds now() const = 0;
    // Returns after `duration` has passed on this clock.
    virtual void sleepFor(std::chrono::milliseconds duration) = 0;
};

class SteadyClock final : public Clock {
public:
    std::chrono::milliseconds now() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
    void sleepFor(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
};

}  // namespace halvern
