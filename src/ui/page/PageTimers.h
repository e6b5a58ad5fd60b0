// The settings page's timers on the main window. They share the window's id space with
// the device layer's (device/WindowIds.h), so they are checked apart here.
#pragma once

#include <chrono>

#include "device/WindowIds.h"

namespace halvern {

namespace TimerId {
inline constexpr int ApplyDebounce = 513;      // a burst of edits settled
inline constexpr int ScrollSettings = 514;     // the column scrolls to its end
inline constexpr int ChargingAnimation = 515;  // battery display: one animation step
inline constexpr int SaveProfiles = 518;       // the profile store is written
inline constexpr int FollowFocus = 519;        // a profile switch held back by an edit is tried again

inline constexpr int kPageTimers[] = {ApplyDebounce, ScrollSettings, ChargingAnimation, SaveProfiles, FollowFocus};
inline constexpr int kWindowTimers[] = {OsdHide, Reenumerate, WirelessTimeout, BleSubscribe, CableSettle};
consteval bool PageTimersAreApart() {
    for (int page : kPageTimers)
        for (int window : kWindowTimers)
            if (page == window) return false;
    return true;
}
static_assert(PageTimersAreApart(), "a page timer shares its id with one of the window's or the device link's");
}  // namespace TimerId

inline constexpr std::chrono::milliseconds kChargingAnimationPeriod{30};

}  // namespace halvern
