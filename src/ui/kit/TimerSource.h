// Timers by id, as a window keeps them: starting an id that runs restarts it, and a
// timer repeats until it is stopped. The window owns one source; production uses Qt's
// timers, tests a virtual clock they advance by hand.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class QTimer;

namespace halvern::kit {

class TimerSource {
public:
    using Callback = std::function<void(std::uint64_t key)>;

    virtual ~TimerSource() = default;
    // (Re)starts the timer `key`: it fires every `period` from now until stopped.
    virtual void start(std::uint64_t key, std::chrono::milliseconds period) = 0;
    // Stops the timer; stopping one that does not run does nothing.
    virtual void stop(std::uint64_t key) = 0;
    virtual bool isActive(std::uint64_t key) const = 0;

    // Called on the main thread for every expiry. The callback may start and stop
    // timers, the firing one included.
    void setCallback(Callback callback) { callback_ = std::move(callback); }

protected:
    void fire(std::uint64_t key) {
        if (callback_) callback_(key);
    }

private:
    Callback callback_;
};

class QtTimerSource final : public TimerSource {
public:
    QtTimerSource();
    ~QtTimerSource() override;
    void start(std::uint64_t key, std::chrono::milliseconds period) override;
    void stop(std::uint64_t key) override;
    bool isActive(std::uint64_t key) const override;

private:
    // Timers are kept once made, so one can be stopped from inside its own expiry.
    std::map<std::uint64_t, std::unique_ptr<QTimer>> timers_;
};

}  // namespace halvern::kit
