// The device link as the rest of the program sees it: the mouse on its three links,
// followed as it comes and goes, its events turned into profile fields and controls,
// and the three transports the send path writes through.
//
// The owner (the GUI's main window, halvernctl) supplies the main loop's parts: the
// host window that posted messages go to, the timers, the observer of the controls
// and the current profile. It hands back to this object, on the main thread:
// - every message handleMessage() claims (the driver library's, the readers', the
//   Bluetooth LE notifications');
// - every timer onTimer() claims (54, 512, 516, 517);
// - dispatchHotplug() whenever the hot-plug descriptor is readable.
#pragma once

#include <cstdint>
#include <memory>

#include "device/BleGatt.h"
#include "device/DeviceDiscovery.h"
#include "device/DeviceObserver.h"
#include "device/DriverLibrary.h"
#include "device/HidBackend.h"
#include "device/HotplugSource.h"
#include "device/LinkController.h"
#include "device/ProfileHolder.h"
#include "device/TimerService.h"
#include "halvern_abi.h"
#include "protocol/LinkState.h"
#include "protocol/Transports.h"

namespace halvern {

class DeviceLink {
public:
    struct Parts {
        HidBackend& hid;
        TimerService& timers;
        const HalvernHostWindow& host;
        DeviceObserver& observer;
        ProfileHolder& profiles;
        LinkState& links;
        HotplugSource* hotplug = nullptr;             // null: no device changes are seen
        DriverLibrary* driver = nullptr;              // null or not loaded: no cable
        const HalvernHidApi* driverHidApi = nullptr;  // given to the driver library first
        BleGatt* ble = nullptr;                       // null: no Bluetooth LE transport
    };

    explicit DeviceLink(Parts parts);
    // The shutdown order: readers stopped, then the cable device and its monitor closed.
    // The owner may call stop() earlier (before the window the readers post to goes
    // away); a second stop does nothing, and nothing is started again after it.
    ~DeviceLink();
    void stop();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // The start-up order: the driver library's monitor and the cable device, the
    // Bluetooth LE presence, the device-change registration, then the first
    // enumeration of the receivers.
    void start();
    // Once the profiles are loaded (see LinkController::applyInitialBleLink).
    void applyInitialBleLink() { controller_.applyInitialBleLink(); }

    bool handleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    bool onTimer(int id);
    void dispatchHotplug();
    // The descriptor the main loop watches for dispatchHotplug(); -1 when none.
    int hotplugFd() const;
    Transports transports();

    LinkController& controller() { return controller_; }
    DeviceDiscovery& discovery() { return discovery_; }
    LinkState& links() { return parts_.links; }

private:
    Parts parts_;
    LinkController controller_;
    DeviceDiscovery discovery_;
    bool monitorOpen_ = false;
    bool stopped_ = false;
};

}  // namespace halvern
