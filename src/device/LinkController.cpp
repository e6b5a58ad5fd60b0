#include "device/LinkController.h"

#include "device/WindowIds.h"
#include "device/DeviceNames.h"
#include "device/DeviceTrace.h"
#include "device/DriverLibrary.h"
#include "device/HidBackend.h"

namespace halvern {

namespace {

using Indicator = DeviceObserver::Indicator;

// Polling event value (the report interval in ms) to `pollingRate`.
int PollingRateFromInterval(int intervalMs) {
    switch (intervalMs) {
        case 1: return 3;
        case 2: return 2;
        case 4: return 1;
        default: return 0;
    }
}

}  // namespace

LinkController::LinkController(Parts parts) : parts_(parts) {}

LinkController::~LinkController() {
    // The notification handler points at this object.
    if (bleSubscribed_ && parts_.ble) parts_.ble->unsubscribe();
}

void LinkController::post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    parts_.host.post(parts_.host.context, message, wParam, lParam);
}

void LinkController::startUp() {
    LinkState& links = parts_.links;
    if (parts_.driver && parts_.driver->openFeatureDevice() != 0) {
        links.wiredLink = 1;
        parts_.observer.batteryChanged(BatteryState::Of(BatteryState::Kind::Plugged));
    } else {
        links.wiredLink = 0;
    }
    parts_.observer.showIndicator(Indicator::Wired, links.wiredLink == 1);
    links.bleLink = parts_.hid.enumerate(kBleVendorId, kBleProductId).empty() ? 0 : 1;
    links.anyLink = (links.wiredLink == 1 || links.wirelessLink == 1 || links.bleLink == 1) ? 1 : 0;
    postLinkChanged();
}

void LinkController::refreshLinks() {
    LinkState& links = parts_.links;
    links.anyLink = (links.bleLink != 0 || links.wiredLink == 1 || links.wirelessLink != 0) ? 1 : 0;
    postLinkChanged();
}

void LinkController::clearWirelessLink() {
    if (parts_.links.wirelessLink == 0) return;
    parts_.links.wirelessLink = 0;
    parts_.observer.showIndicator(Indicator::Wireless, false);
    parts_.observer.updateLinkSections();
    refreshLinks();
}

void LinkController::setWirelessLive() {
    parts_.links.wirelessLink = 1;
    parts_.observer.showIndicator(Indicator::Wireless, true);
    parts_.observer.updateLinkSections();
    refreshLinks();
}

// ---- Bluetooth LE presence ----

void LinkController::SetBleLink(bool on) {
    LinkState& links = parts_.links;
    links.bleLink = on ? 1 : 0;
    if (on) {
        bleConnected_ = true;
        parts_.timers.arm(TimerId::BleSubscribe, kBleSubscribeDelay);
        parts_.observer.showIndicator(Indicator::Ble, true);
        parts_.observer.updateLinkSections();
        parts_.timers.kill(TimerId::WirelessTimeout);
        parts_.observer.batteryChanged(BatteryState::Of(BatteryState::Kind::Unreported));
        clearWirelessLink();
        parts_.observer.showIndicator(Indicator::Wireless, false);
        if (links.wirelessLink == 0 && links.wiredLink != 1) {
            links.anyLink = 1;
            postLinkChanged();
        }
        return;
    }
    parts_.timers.kill(TimerId::BleSubscribe);
    parts_.observer.batteryChanged(BatteryState::Of(BatteryState::Kind::OnBattery));
    bleConnected_ = false;
    if (bleSubscribed_) {
        if (parts_.ble) parts_.ble->unsubscribe();
        bleSubscribed_ = false;
        DeviceTrace("BluetoothGATTUnregisterEvent Success\r\n");
    }
    parts_.observer.showIndicator(Indicator::Ble, false);
    if (links.wirelessLink == 0 && links.wiredLink != 1) {
        links.anyLink = 0;
        postLinkChanged();
    }
}

void LinkController::OnBleDeviceChange(DeviceChange change, std::string_view interfaceName) {
    if (change != DeviceChange::Arrival && change != DeviceChange::RemoveComplete) return;
    std::string name = UpperCased(interfaceName);
    bool isMouse = name.find(kBleVidPart) != std::string::npos && name.find(kBlePidPart) != std::string::npos;
    if (!isMouse) return;
    if (change == DeviceChange::Arrival) {
        if (parts_.links.bleLink == 0) SetBleLink(true);
    } else {
        SetBleLink(false);
    }
}

void LinkController::SubscribeBleNotifications() {
    if (!bleConnected_ || !parts_.ble) return;
    bleSubscribed_ = parts_.ble->subscribe([this](std::span<const std::uint8_t> value) { onBleNotification(value); });
}

void LinkController::onBleNotification(std::span<const std::uint8_t> value) {
    if (value.empty()) {
        DeviceTrace("datasize 0\n");
        return;
    }
    DeviceEvent event = EventFromNotification(value);
    DeviceTrace("dwLeft = %04x, dwRight = %04x\r\n", event.head, event.value);
    RecordAcknowledgement(parts_.links, event);
    post(kUmBleEvent, event.head, event.value);
}

int LinkController::writeCommand(std::span<const std::uint8_t> report) {
    if (!bleConnected_ || !parts_.ble) return 0;
    return parts_.ble->writeCommand(report) ? 1 : 0;
}

// ---- Cable ----

void LinkController::onDriverPlug(std::uintptr_t wParam) {
    std::uint32_t low = wParam == 1 ? 1 : wParam == 0 ? 2 : 0;
    OnDriverEvent(kCablePlugHead << 16 | low);
}

void LinkController::onDriverMessage(std::uintptr_t wParam, std::intptr_t lParam) {
    OnDriverEvent(static_cast<std::uint32_t>(wParam << 16) | (static_cast<std::uint32_t>(lParam) & 0xFFFF));
}

void LinkController::OnDriverEvent(std::uint32_t value) {
    if (cableSettling_) {
        heldCableEvents_.push_back(value);
        return;
    }
    std::uint32_t high = value >> 16;
    std::uint32_t low = value & 0xFFFF;
    if (high == kCablePlugHead) {
        if (low == 1) cableAttached();
        else if (low == 2) cableDetached();
        return;
    }
    if (high >= 0x1000 && high <= 0x9000) {
        DeviceEvent event{static_cast<std::uint16_t>(high), static_cast<std::uint16_t>(low)};
        RecordAcknowledgement(parts_.links, event);
        DispatchDeviceEvent(event, Link::Cable);
    }
}

void LinkController::cableAttached() {
    if (parts_.links.wiredLink == 1) return;
    // The device needs a moment before its feature collection answers. The main thread
    // goes on meanwhile; the library's messages wait for the end of it.
    cableSettling_ = true;
    parts_.timers.arm(TimerId::CableSettle, kCableSettleDelay);
}

void LinkController::cableSettled() {
    cableSettling_ = false;
    LinkState& links = parts_.links;
    links.wiredLink = 1;
    if (parts_.driver) parts_.driver->openFeatureDevice();
    parts_.observer.showIndicator(Indicator::Wired, true);
    parts_.observer.updateLinkSections();
    parts_.observer.batteryChanged(BatteryState::Of(BatteryState::Kind::Plugged));
    if (links.bleLink == 0) {
        links.anyLink = 1;
        postLinkChanged();
    }
    std::vector<std::uint32_t> held;
    held.swap(heldCableEvents_);
    for (std::uint32_t value : held) OnDriverEvent(value);
}

void LinkController::cableDetached() {
    LinkState& links = parts_.links;
    if (links.wiredLink == 2) return;
    links.wiredLink = 2;
    if (parts_.driver) parts_.driver->closeFeatureDevice();
    parts_.observer.showIndicator(Indicator::Wired, false);
    parts_.observer.updateLinkSections();
    parts_.observer.batteryChanged(BatteryState::Of(BatteryState::Kind::Unknown));
    if (links.bleLink == 0) {
        links.anyLink = 0;
        postLinkChanged();
    }
}

// ---- Events ----

void LinkController::onReceiverEvent(DeviceEvent event) {
    if (event.isMouseEvent()) {
        parts_.timers.kill(TimerId::WirelessTimeout);
        parts_.timers.arm(TimerId::WirelessTimeout, kWirelessTimeout);
        if (parts_.links.wirelessLink != 1) setWirelessLive();
    }
    DispatchDeviceEvent(event, Link::Receiver);
}

void LinkController::RecordAcknowledgement(LinkState& links, DeviceEvent event) {
    if (event.isMouseEvent() && event.code() == EventCode::Acknowledge) links.recordAcknowledgement(event.value);
}

void LinkController::DispatchDeviceEvent(DeviceEvent event, Link source) {
    if (!event.isMouseEvent()) return;
    parts_.observer.eventDispatched(source, event);
    if (event.code() == EventCode::Battery) receiverBatteryEvent(event);
    else dispatchCommon(event, source);
}

void LinkController::DispatchBleEvent(DeviceEvent event) {
    if (!event.isMouseEvent()) return;
    parts_.observer.eventDispatched(Link::Ble, event);
    if (event.code() == EventCode::Battery) bleBatteryEvent(event);
    else dispatchCommon(event, Link::Ble);
}

void LinkController::dispatchCommon(DeviceEvent event, Link source) {
    MouseProfile* profile = parts_.profiles.currentProfile();
    const int value = event.value;
    switch (event.code()) {
        case EventCode::DpiLevel:
            if (value < 1 || value > 8 || !profile) return;
            parts_.profiles.settingReported(SettingId::DpiActive, value - 1);
            parts_.observer.selectDpiLevel(value);
            post(UM_SHOW_DPI, 0, profile->dpiValue[value - 1]);
            return;
        case EventCode::PollingRate:
            if (value < 1 || value > 8 || !profile) return;
            parts_.profiles.settingReported(SettingId::Polling, PollingRateFromInterval(value));
            if (source != Link::Ble) parts_.observer.selectPollingRate(profile->pollingRate);
            return;
        case EventCode::Acknowledge:
            // Recorded where the event was decoded, before it reached this thread.
            return;
        case EventCode::BatteryLevel:
            if (value >= 1 && value <= 10) batteryLevel_ = value;
            return;
        case EventCode::LightEffect:
            if (!profile) return;
            parts_.profiles.settingReported(SettingId::LightEffect, (value >> 4) & 0xF);
            parts_.observer.selectLightEffect(profile->lightEffect);
            return;
        case EventCode::Saved:
            if (value >= 1 && value <= 5 && profile) parts_.profiles.mouseSaved();
            return;
        default: return;
    }
}

void LinkController::receiverBatteryEvent(DeviceEvent event) {
    using Kind = BatteryState::Kind;
    const int status = event.valueLow();
    const int level = event.valueHigh();
    parts_.timers.kill(TimerId::WirelessTimeout);
    parts_.timers.arm(TimerId::WirelessTimeout, kWirelessTimeout);
    if (parts_.links.wiredLink == 1) {
        clearWirelessLink();
        parts_.observer.batteryChanged(
            BatteryState::Of(status == BatteryStatus::Charged ? Kind::Charged : Kind::Charging));
        return;
    }
    if (parts_.links.wirelessLink == 0) setWirelessLive();
    if (status == BatteryStatus::Charging) {
        parts_.observer.batteryChanged(BatteryState::Of(Kind::Charging));
        return;
    }
    // Off the cable the receiver's level counts whatever the status says; a level the
    // byte cannot mean shows as full.
    if (level > 100) {
        parts_.observer.batteryChanged(BatteryState::Of(Kind::Charged));
        return;
    }
    batteryLevel_ = level;
    parts_.observer.batteryChanged(BatteryState::AtLevel(level));
}

void LinkController::bleBatteryEvent(DeviceEvent event) {
    using Kind = BatteryState::Kind;
    const int status = event.valueLow();
    const int level = event.valueHigh();
    if (status == BatteryStatus::Charged) {
        parts_.observer.batteryChanged(BatteryState::Of(Kind::Charged));
    } else if (status == BatteryStatus::Charging) {
        parts_.observer.batteryChanged(BatteryState::Of(Kind::Charging));
    } else if (level <= 100) {
        batteryLevel_ = level;
        parts_.observer.batteryChanged(BatteryState::AtLevel(level));
    } else {
        parts_.observer.batteryChanged(BatteryState::Of(Kind::OnBattery));
    }
}

bool LinkController::onTimer(int id) {
    switch (id) {
        case TimerId::WirelessTimeout:
            parts_.timers.kill(id);
            clearWirelessLink();
            return true;
        case TimerId::BleSubscribe:
            parts_.timers.kill(id);
            SubscribeBleNotifications();
            return true;
        case TimerId::CableSettle:
            parts_.timers.kill(id);
            cableSettled();
            return true;
        default: return false;
    }
}

}  // namespace halvern
