#include "device/hid/UdevHotplugSource.h"

#include <libudev.h>
#include <unistd.h>

#include "device/DeviceNames.h"

namespace halvern {

UdevHotplugSource::~UdevHotplugSource() {
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
}

bool UdevHotplugSource::start(Sink sink) {
    if (monitor_) return true;
    sink_ = std::move(sink);
    udev_ = udev_new();
    if (!udev_) return false;
    monitor_ = udev_monitor_new_from_netlink(udev_, UdevMonitorSource());
    if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        if (monitor_) udev_monitor_unref(monitor_);
        monitor_ = nullptr;
        return false;
    }
    return true;
}

int UdevHotplugSource::fd() const { return monitor_ ? udev_monitor_get_fd(monitor_) : -1; }

void UdevHotplugSource::dispatch() {
    if (!monitor_) return;
    // The monitor's socket does not block: receive until it is drained.
    while (udev_device* dev = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(dev);
        const char* devpath = udev_device_get_devpath(dev);
        const char* devnode = udev_device_get_devnode(dev);
        DeviceChange change;
        std::string name;
        bool known =
            DeviceChangeFromUdev(action ? action : "", devpath ? devpath : "", devnode ? devnode : "", change, name);
        udev_device_unref(dev);
        if (known && sink_) sink_(change, name);
    }
}

const char* UdevMonitorSource(const char* udevControl) { return ::access(udevControl, F_OK) == 0 ? "udev" : "kernel"; }

bool DeviceChangeFromUdev(std::string_view action, std::string_view devpath, std::string_view devnode,
                          DeviceChange& change, std::string& interfaceName) {
    if (action == "add") change = DeviceChange::Arrival;
    else if (action == "remove") change = DeviceChange::RemoveComplete;
    else return false;
    HidrawIdentity id = HidrawIdentityFromDevpath(devpath);
    if (!id.valid) return false;
    std::string node(devnode);
    if (node.empty()) {
        std::size_t slash = devpath.rfind('/');
        node = "/dev/" + std::string(slash == std::string_view::npos ? devpath : devpath.substr(slash + 1));
    }
    interfaceName = ComposeInterfaceName(id.bus, id.vendorId, id.productId, node);
    return true;
}

}  // namespace halvern
