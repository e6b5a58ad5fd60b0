// Timers by id on the main thread, the way the main window's timers work: arming an id
// that runs restarts it, a timer repeats until it is killed, and each firing is
// delivered on the main thread to whoever owns the service (for the device layer's
// ids: DeviceLink::onTimer). The GUI's window, halvernctl's loop and the tests'
// virtual time each implement it.
#pragma once

#include <chrono>

namespace halvern {

namespace TimerId {
inline constexpr int OsdHide = 52;
inline constexpr int Reenumerate = 54;
inline constexpr int WirelessTimeout = 512;
inline constexpr int ApplyDebounce = 513;
inline constexpr int ScrollSettings = 514;
inline constexpr int ChargingAnimation = 515;
inline constexpr int BleSubscribe = 516;
// The settling time between a cable attach and opening the cable device; a timer so
// that the main thread is not blocked while the device settles.
inline constexpr int CableSettle = 517;
}  // namespace TimerId

inline constexpr std::chrono::milliseconds kReenumerateDelay{1000};
inline constexpr std::chrono::milliseconds kWirelessTimeout{6000};
inline constexpr std::chrono::milliseconds kBleSubscribeDelay{2000};
inline constexpr std::chrono::milliseconds kCableSettleDelay{1000};

class TimerService {
public:
    virtual ~TimerService() = default;
    virtual void arm(int id, std::chrono::milliseconds delay) = 0;
    virtual void kill(int id) = 0;
};

}  // namespace halvern
