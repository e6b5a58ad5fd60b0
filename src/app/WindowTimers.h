// The device link's and the page's timers on the main window's timer table, so that
// every timer id lives in one table and fires on the main thread like the window's own.
#pragma once

#include "device/TimerService.h"
#include "ui/kit/SkinWindow.h"

namespace halvern {

class WindowTimers final : public TimerService {
public:
    explicit WindowTimers(kit::SkinWindow& window) : window_(window) {}
    void arm(int id, std::chrono::milliseconds delay) override { window_.setTimer(id, delay); }
    void kill(int id) override { window_.stopTimer(id); }

private:
    kit::SkinWindow& window_;
};

}  // namespace halvern
