// Timers by id on the main thread, the way the main window's timers work: arming an id
// that runs restarts it, a timer repeats until it is killed, and each firing is
// delivered on the main thread to whoever owns the id (the ids and their owners are in
// WindowIds.h; the device layer's go to DeviceLink::onTimer). The GUI's window,
// halvernctl's loop and the tests' virtual time each implement it.
#pragma once

#include <chrono>

#include "device/WindowIds.h"

namespace halvern {

class TimerService {
public:
    virtual ~TimerService() = default;
    virtual void arm(int id, std::chrono::milliseconds delay) = 0;
    virtual void kill(int id) = 0;
};

}  // namespace halvern
