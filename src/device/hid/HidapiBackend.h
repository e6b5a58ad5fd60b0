// The HID interface over hidapi's hidraw backend, for real hardware.
//
// hidapi keeps process-wide state (initialisation, the last enumeration error) that
// is not safe to touch from two threads at once, so every enumeration and open of the
// process goes through this class, one at a time. Reads and feature writes on opened
// handles need no such care.
#pragma once

#include <string_view>

#include "device/HidBackend.h"

namespace halvern {

class HidapiBackend final : public HidBackend {
public:
    HidapiBackend();
    ~HidapiBackend() override;
    HidapiBackend(const HidapiBackend&) = delete;
    HidapiBackend& operator=(const HidapiBackend&) = delete;

    std::vector<HidDeviceInfo> enumerate(std::uint16_t vendorId, std::uint16_t productId) override;
    HidOpenResult open(const std::string& path) override;
};

// The instance key of a hidraw node: the sysfs path of its USB device, equal for every
// interface of one receiver. A device with no USB device above it in sysfs (one made
// through uhid, a Bluetooth device) is keyed by its HID_PHYS and HID_UNIQ (see
// InstanceKeyFromPhys), else by the sysfs path of its HID device. Windows-form paths
// use ExtractInstanceKey. Empty when udev knows no parent.
std::string HidrawInstanceKey(const std::string& path);

// The key of a HID device from its physical path and unique id: the interfaces of one
// device share a physical path but for its last "/inputN" part ("usb-0000:00:14.0-2/
// input1"); devices on one Bluetooth adapter share the adapter's address as physical
// path and differ in their unique id. Empty when `phys` is.
std::string InstanceKeyFromPhys(std::string_view phys, std::string_view uniq);

}  // namespace halvern
