// The settings page's side of the device link: the four link flags, the cable
// attach and detach, the Bluetooth LE presence and its subscription, and the decoding
// of every event the mouse sends (DispatchDeviceEvent for the receiver and the cable,
// DispatchBleEvent for Bluetooth LE) into profile fields, controls and the battery
// display.
//
// Threads: everything runs on the main thread except
// - onBleNotification(), called on the Bluetooth stack's thread: it records an
//   acknowledgement and posts the event to the main thread;
// - writeCommand() (the Bluetooth LE transport), called on the apply worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "device/BleGatt.h"
#include "device/DeviceEvent.h"
#include "device/DeviceObserver.h"
#include "device/HotplugSource.h"
#include "device/ProfileHolder.h"
#include "device/TimerService.h"
#include "halvern_abi.h"
#include "protocol/LinkState.h"
#include "protocol/Transports.h"

namespace halvern {

class DriverLibrary;
class HidBackend;

// The value OnDriverEvent takes for a cable attach or detach.
inline constexpr std::uint32_t kCablePlugHead = 0x7F00;

class LinkController final : public BleCommandTransport {
public:
    struct Parts {
        LinkState& links;
        TimerService& timers;
        const HalvernHostWindow& host;  // UM_LINK_CHANGED and UM_SHOW_DPI go here
        DeviceObserver& observer;
        ProfileHolder& profiles;
        HidBackend& hid;                  // Bluetooth LE presence at start
        DriverLibrary* driver = nullptr;  // null: no cable support
        BleGatt* ble = nullptr;           // null: no Bluetooth LE transport
    };

    explicit LinkController(Parts parts);
    ~LinkController() override;
    LinkController(const LinkController&) = delete;
    LinkController& operator=(const LinkController&) = delete;

    // The page's start-up: opens the cable device (wiredLink), looks for the Bluetooth
    // LE mouse (bleLink), sets anyLink and posts UM_LINK_CHANGED.
    void startUp();
    // When the profiles are loaded: a Bluetooth LE mouse found at start is treated as
    // one that just arrived, a missing one as a removal.
    void applyInitialBleLink() { SetBleLink(parts_.links.bleLink.load() != 0); }

    void SetBleLink(bool on);
    void OnBleDeviceChange(DeviceChange change, std::string_view interfaceName);

    // UM_DRIVER_PLUG and UM_DRIVER_EVENT, turned into OnDriverEvent's value.
    void onDriverPlug(std::uintptr_t wParam);
    void onDriverMessage(std::uintptr_t wParam, std::intptr_t lParam);
    void OnDriverEvent(std::uint32_t value);

    // An event a receiver's reader accepted: keeps the 2.4 GHz link alive, then
    // dispatches it.
    void onReceiverEvent(DeviceEvent event);

    void DispatchDeviceEvent(DeviceEvent event, Link source);
    void DispatchBleEvent(DeviceEvent event);

    // The 2.4 GHz link is gone (watchdog, removal of the active receiver, a battery
    // event on cable): clear it, hide its indicator and refresh the links. Nothing
    // when it was not set.
    void clearWirelessLink();

    // anyLink from the three links, then UM_LINK_CHANGED.
    void refreshLinks();

    // Timers 512 (2.4 GHz watchdog), 516 (Bluetooth LE subscription) and 517 (cable
    // settled), each killed first. Returns false for other ids.
    bool onTimer(int id);

    // What timer 516 starts: notifications of the connected Bluetooth LE mouse.
    void SubscribeBleNotifications();

    // A value notification of the Bluetooth LE mouse (any thread).
    void onBleNotification(std::span<const std::uint8_t> value);

    // The Bluetooth LE transport: 1 when the mouse took the write, 0 when it did not
    // or no Bluetooth LE mouse is connected.
    int writeCommand(std::span<const std::uint8_t> report) override;

    // The last battery percentage shown, or the level 1..10 of event 0x60; 0 at start.
    int batteryLevel() const { return batteryLevel_; }
    bool bleConnected() const { return bleConnected_.load(); }
    bool bleSubscribed() const { return bleSubscribed_; }

    // Writes the acknowledgement of an event with code 0x50 where it is decoded: on the
    // reader thread, the Bluetooth stack's thread or (for the cable) the main thread.
    static void RecordAcknowledgement(LinkState& links, DeviceEvent event);

private:
    void post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    void postLinkChanged() { post(UM_LINK_CHANGED, 0, 0); }
    void setWirelessLive();
    void cableAttached();
    void cableSettled();
    void cableDetached();
    // The event table's rows shared by both dispatchers; battery events are not here.
    void dispatchCommon(DeviceEvent event, Link source);
    void receiverBatteryEvent(DeviceEvent event);
    void bleBatteryEvent(DeviceEvent event);

    Parts parts_;
    int batteryLevel_ = 0;
    // While an attached cable settles, the library's later messages wait, in order,
    // and run once it has settled: what they do depends on the cable being linked.
    bool cableSettling_ = false;
    std::vector<std::uint32_t> heldCableEvents_;
    // The identity strings of the Bluetooth LE link: set between SetBleLink(1) and
    // SetBleLink(0); read by the worker's writes.
    std::atomic<bool> bleConnected_{false};
    bool bleSubscribed_ = false;
};

}  // namespace halvern
