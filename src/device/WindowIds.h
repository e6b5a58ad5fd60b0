// The main window's message and timer ids: the one table. The messages the run-time
// libraries post (UM_DRIVER_EVENT, UM_HOOK_EVENT, ...) are fixed by their ABI in
// halvern_abi.h; these are the program's own. Whoever arms or posts an id takes it
// from here, and the window hands what it does not handle itself to the device link
// (DeviceLink::handleMessage, DeviceLink::onTimer) and to the settings page.
#pragma once

#include <chrono>

#include "halvern_abi.h"

namespace halvern {

// Messages the device layer posts to the main window for itself.
// A reader accepted an event: wParam = reader index << 16 | head, lParam = value.
inline constexpr unsigned kUmReaderEvent = HALVERN_WM_USER + 530;
// A reader's first report carried the marker: wParam = reader index, lParam = the
// enumeration it belongs to.
inline constexpr unsigned kUmReaderActive = HALVERN_WM_USER + 531;
// A Bluetooth LE notification: wParam = head, lParam = value.
inline constexpr unsigned kUmBleEvent = HALVERN_WM_USER + 532;

// Timers of the main window, by owner; the settings page's are in ui/page/PageTimers.h.
namespace TimerId {
inline constexpr int OsdHide = 52;           // main window: the DPI display closes
inline constexpr int Reenumerate = 54;       // device link: receivers enumerated again
inline constexpr int WirelessTimeout = 512;  // device link: the receiver went quiet
inline constexpr int BleSubscribe = 516;     // device link: subscribe to notifications
// The settling time between a cable attach and opening the cable device; a timer so
// that the main thread is not blocked while the device settles.
inline constexpr int CableSettle = 517;
}  // namespace TimerId

inline constexpr std::chrono::milliseconds kOsdHideDelay{2000};
inline constexpr std::chrono::milliseconds kReenumerateDelay{1000};
inline constexpr std::chrono::milliseconds kWirelessTimeout{6000};
inline constexpr std::chrono::milliseconds kBleSubscribeDelay{2000};
inline constexpr std::chrono::milliseconds kCableSettleDelay{1000};

}  // namespace halvern
