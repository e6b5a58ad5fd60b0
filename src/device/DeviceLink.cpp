#include "device/DeviceLink.h"

#include "device/WindowIds.h"
#include "device/DeviceNames.h"

namespace halvern {

DeviceLink::DeviceLink(Parts parts)
    : parts_(parts),
      controller_({parts.links, parts.timers, parts.host, parts.observer, parts.profiles, parts.hid,
                   parts.driver && parts.driver->loaded() ? parts.driver : nullptr, parts.ble}),
      discovery_({parts.hid, parts.timers, parts.host, parts.links, controller_}) {}

DeviceLink::~DeviceLink() { stop(); }

void DeviceLink::stop() {
    stopped_ = true;
    discovery_.stopReaders();
    if (monitorOpen_) {
        parts_.driver->closeFeatureDevice();
        parts_.driver->closeDevMonitor();
        monitorOpen_ = false;
    }
}

void DeviceLink::start() {
    if (stopped_) return;
    DriverLibrary* driver = parts_.driver;
    if (driver && driver->loaded() && !monitorOpen_) {
        if (parts_.driverHidApi) driver->setHidApi(parts_.driverHidApi);
        driver->setVidPid(kCableVendorId, kCableProductId);
        driver->openDevMonitor(&parts_.host, UM_DRIVER_EVENT, UM_DRIVER_PLUG);
        monitorOpen_ = true;
    }
    controller_.startUp();
    // Without a device-change monitor the links found now are all there is until the
    // next start; the enumeration below still runs.
    if (parts_.hotplug)
        (void)parts_.hotplug->start(
            [this](DeviceChange change, std::string_view name) { discovery_.OnDeviceChange(change, name); });
    discovery_.EnumerateDevices();
}

bool DeviceLink::handleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (stopped_) return false;
    switch (message) {
        case UM_DRIVER_PLUG: controller_.onDriverPlug(wParam); return true;
        case UM_DRIVER_EVENT: controller_.onDriverMessage(wParam, lParam); return true;
        case kUmBleEvent:
            controller_.DispatchBleEvent({static_cast<std::uint16_t>(wParam), static_cast<std::uint16_t>(lParam)});
            return true;
        default: return discovery_.handleMessage(message, wParam, lParam);
    }
}

bool DeviceLink::onTimer(int id) { return !stopped_ && (controller_.onTimer(id) || discovery_.onTimer(id)); }

void DeviceLink::dispatchHotplug() {
    if (parts_.hotplug && !stopped_) parts_.hotplug->dispatch();
}

int DeviceLink::hotplugFd() const { return parts_.hotplug ? parts_.hotplug->fd() : -1; }

Transports DeviceLink::transports() {
    Transports t;
    t.driver = parts_.driver && parts_.driver->loaded() ? parts_.driver : nullptr;
    t.receiver = &discovery_.activeReceiver();
    t.ble = parts_.ble ? &controller_ : nullptr;
    return t;
}

}  // namespace halvern
