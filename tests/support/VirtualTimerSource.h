// Window timers on virtual time: nothing fires until the test advances the clock, and
// then every expiry up to the new time fires in time order.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>

#include "ui/kit/TimerSource.h"

namespace halvern::test {

class VirtualTimerSource final : public kit::TimerSource {
public:
    void start(std::uint64_t key, std::chrono::milliseconds period) override {
        timers_[key] = Timer{period, now_ + period};
    }
    void stop(std::uint64_t key) override { timers_.erase(key); }
    bool isActive(std::uint64_t key) const override { return timers_.count(key) != 0; }

    std::chrono::milliseconds now() const { return now_; }

    void advance(std::chrono::milliseconds by) {
        const auto until = now_ + by;
        for (;;) {
            auto next = timers_.end();
            for (auto it = timers_.begin(); it != timers_.end(); ++it)
                if (it->second.due <= until && (next == timers_.end() || it->second.due < next->second.due)) next = it;
            if (next == timers_.end()) break;
            now_ = next->second.due;
            next->second.due += next->second.period;
            fire(next->first);  // may stop or restart any timer
        }
        now_ = until;
    }

private:
    struct Timer {
        std::chrono::milliseconds period;
        std::chrono::milliseconds due;
    };
    std::chrono::milliseconds now_{0};
    std::map<std::uint64_t, Timer> timers_;
};

}  // namespace halvern::test
