// Hot-plug through a libudev monitor on the "hidraw" subsystem. Each added or removed
// hidraw node becomes an arrival or removal named from the kernel's HID device name
// in its sysfs path (see DeviceNames.h), which a removal still carries.
//
// Where udevd runs, the monitor hears udevd's events, which come once its rules have
// given the node its owner and mode, so an arrival can be opened at once. Without
// udevd (containers, minimal systems) nobody sends those events and the monitor would
// stay silent; it then hears the kernel's own, sent once the node exists in devtmpfs.
#pragma once

#include <string>
#include <string_view>

#include "device/HotplugSource.h"

struct udev;
struct udev_monitor;

namespace halvern {

class UdevHotplugSource final : public HotplugSource {
public:
    UdevHotplugSource() = default;
    ~UdevHotplugSource() override;
    UdevHotplugSource(const UdevHotplugSource&) = delete;
    UdevHotplugSource& operator=(const UdevHotplugSource&) = delete;

    bool start(Sink sink) override;
    int fd() const override;
    void dispatch() override;

private:
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    Sink sink_;
};

// The libudev monitor source for a system whose udevd control socket would be at
// `udevControl`: "udev" when it exists, else "kernel".
const char* UdevMonitorSource(const char* udevControl = "/run/udev/control");

// The change a udev event stands for: action "add" or "remove" of a hidraw node.
// Returns false for other actions or a path without a HID device name.
bool DeviceChangeFromUdev(std::string_view action, std::string_view devpath, std::string_view devnode,
                          DeviceChange& change, std::string& interfaceName);

}  // namespace halvern
