// The main thread of a device test: posted messages queue here and are delivered when
// the test runs the loop; timers run on the virtual clock, firing when the test
// advances it; a watched descriptor (the hot-plug source) is looked at on each turn.
#pragma once

#include <poll.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "SettlingClock.h"
#include "device/TimerService.h"
#include "halvern_abi.h"

namespace halvern::test {

struct PostedMessage {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::function<void()> task;  // a posted task instead of a message
};

class VirtualLoop final : public TimerService {
public:
    using MessageHandler = std::function<void(const PostedMessage&)>;
    using TimerHandler = std::function<void(int id)>;

    explicit VirtualLoop(emu::SettlingClock& clock) : clock_(clock) {
        window_.context = this;
        window_.post = [](void* context, std::uint32_t m, std::uintptr_t w, std::intptr_t l) {
            static_cast<VirtualLoop*>(context)->post({m, w, l, {}});
        };
    }

    const HalvernHostWindow& window() const { return window_; }
    void onMessage(MessageHandler h) { onMessage_ = std::move(h); }
    void onTimer(TimerHandler h) { onTimer_ = std::move(h); }
    void watch(int fd, std::function<void()> ready) {
        watchFd_ = fd;
        onReady_ = std::move(ready);
    }

    void post(PostedMessage m) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(m));
        }
        posted_.notify_all();
    }
    // Runs `task` on the loop's thread, in order with the messages; any thread.
    void postTask(std::function<void()> task) { post({0, 0, 0, std::move(task)}); }

    // ---- TimerService ----
    void arm(int id, std::chrono::milliseconds delay) override {
        timers_[id] = {clock_.now() + delay, delay};
        ++armCount_[id];
    }
    void kill(int id) override { timers_.erase(id); }
    bool armed(int id) const { return timers_.count(id) != 0; }
    std::chrono::milliseconds dueIn(int id) const { return timers_.at(id).due - clock_.now(); }
    int timesArmed(int id) const {
        auto f = armCount_.find(id);
        return f == armCount_.end() ? 0 : f->second;
    }

    // Delivers what is waiting: every queued message in order, then the hot-plug
    // descriptor's changes, then what those queued. Returns how many things it
    // delivered.
    int turn() {
        int n = deliverQueued();
        if (watchFd_ >= 0 && onReady_) {
            pollfd p{watchFd_, POLLIN, 0};
            if (::poll(&p, 1, 0) > 0) {
                onReady_();
                ++n;
            }
        }
        return n + deliverQueued();
    }

    // Runs the loop until `done` holds, waiting in real time for other threads' posts;
    // false when `timeout` passed first.
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::milliseconds{5000}) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            turn();
            if (done()) return true;
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::unique_lock lock(mutex_);
            posted_.wait_for(lock, std::chrono::milliseconds{2}, [this] { return !queue_.empty(); });
        }
    }

    // Moves virtual time on by `duration`, firing each timer as its time comes (in
    // order) and running the loop after each.
    void advance(std::chrono::milliseconds duration) {
        const auto target = clock_.now() + duration;
        turn();
        for (;;) {
            auto next = std::min_element(timers_.begin(), timers_.end(),
                                         [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
            if (next == timers_.end() || next->second.due > target) break;
            int id = next->first;
            if (next->second.due > clock_.now()) clock_.advance(next->second.due - clock_.now());
            next->second.due += next->second.period;  // repeats until killed
            if (onTimer_) onTimer_(id);
            turn();
        }
        if (target > clock_.now()) clock_.advance(target - clock_.now());
        turn();
    }

    const std::vector<PostedMessage>& history() const { return history_; }
    int count(std::uint32_t message) const {
        int n = 0;
        for (const auto& m : history_) n += m.message == message ? 1 : 0;
        return n;
    }
    void clearHistory() { history_.clear(); }

private:
    int deliverQueued() {
        int n = 0;
        for (;;) {
            PostedMessage m;
            {
                std::lock_guard lock(mutex_);
                if (queue_.empty()) break;
                m = std::move(queue_.front());
                queue_.pop_front();
            }
            ++n;
            if (m.task) {
                m.task();
                continue;
            }
            history_.push_back(m);
            if (onMessage_) onMessage_(m);
        }
        return n;
    }

    struct Timer {
        std::chrono::milliseconds due;
        std::chrono::milliseconds period;
    };
    emu::SettlingClock& clock_;
    HalvernHostWindow window_{};
    MessageHandler onMessage_;
    TimerHandler onTimer_;
    int watchFd_ = -1;
    std::function<void()> onReady_;
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<PostedMessage> queue_;
    std::vector<PostedMessage> history_;
    std::map<int, Timer> timers_;
    std::map<int, int> armCount_;
};

}  // namespace halvern::test
