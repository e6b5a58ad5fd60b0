// Where the subsystems that live outside the application shell plug into the main
// window: the settings page, the device link and the apply worker. Each slot is
// optional; an empty slot means that part is not there and the main window does
// nothing in its place. All slots are called on the main thread.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>

namespace halvern {

class CMainWnd;

namespace kit {
class NotifyPump;
}

struct MainWndSeams {
    // Settings page. Registered as the virtual window "MS_1_Page" before initPage runs,
    // removed first thing in the main window's destructor.
    kit::NotifyPump* page = nullptr;
    std::function<void(CMainWnd&)> initPage;             // control binding, worker, links
    std::function<void()> loadProfiles;                  // stores into the page
    std::function<void(const QString& item)> onMenuItem;  // menu items of the page ("ms_1...")
    std::function<bool()> anyLink;                       // some link to the mouse is up
    std::function<void()> destroyPage;                   // driver library closed, worker stopped

    // Device link.
    std::function<void()> loadHookLibrary;                // "Hook.so" beside the program
    std::function<void()> unloadHookLibrary;              // removes both hooks, frees the library
    std::function<void()> registerForDeviceNotifications;
    std::function<void()> enumerateDevices;               // also when the re-enumerate timer fires
    std::function<void(std::uint32_t event)> onDriverEvent;  // head in the high half, value in the low
    std::function<void()> onWirelessTimeout;              // the receiver went quiet
    std::function<void()> onBleSubscribe;                 // subscribe to the mouse's notifications
    std::function<void()> stopReaders;                    // stop and join the reader threads
    // The device link's own messages (its readers', Bluetooth LE notifications) and
    // timers (the cable settling, CableSettleTimer): handed over when the main window
    // does not handle them itself. The message slot returns whether it took it.
    std::function<bool(std::uint32_t id, std::uintptr_t wParam, std::intptr_t lParam)> onDeviceMessage;
    std::function<void(int id)> onDeviceTimer;

    // Apply worker: hand it one apply request.
    std::function<void()> postApplyNow;
};

}  // namespace halvern
