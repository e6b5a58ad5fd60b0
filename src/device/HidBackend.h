// The one way the device layer reaches HID devices: enumerate collections by vendor
// and product, open one by path, read input reports with a time limit, write feature
// reports. hidapi's hidraw backend (hid/HidapiBackend) stands behind it on hardware,
// the virtual mouse (emulator/EmulatedHidBackend) in tests and demos; everything above
// runs the same code on both.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace halvern {

// hidapi's hid_bus_type values.
enum class HidBus : std::int32_t { Unknown = 0, Usb = 1, Bluetooth = 2, I2c = 3, Spi = 4 };

// One top-level collection of a device. Several collections of one device may share a
// path (hidraw gives one node per interface); each is listed with its own usage.
struct HidDeviceInfo {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    HidBus bus = HidBus::Unknown;
    int interfaceNumber = -1;
    // Equal for every collection of one physical device and different between devices:
    // the key that pairs a receiver's command collection with its input collection.
    std::string instanceKey;
};

// An opened collection. Closing is the destructor; share the handle with
// std::shared_ptr so that a thread still using it keeps it open.
//
// Threads: read() from one thread and sendFeatureReport() from another may overlap;
// other calls on one handle must not.
class HidDevice {
public:
    virtual ~HidDevice() = default;

    // Reads one input report, report id in byte 0, waiting at most `timeout` (zero:
    // only what is already there). Returns the bytes read, 0 when nothing came in time
    // or the read was interrupted, -1 on error (the device is gone). A report longer
    // than the buffer is cut to it.
    virtual int read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) = 0;

    // Writes one feature report, report id in byte 0. Returns the bytes written or -1.
    virtual int sendFeatureReport(std::span<const std::uint8_t> report) = 0;

    // Makes a read() blocked on another thread return 0 soon. A backend that cannot
    // interrupt leaves it to the read's time limit, so callers keep that limit short.
    virtual void interruptRead() {}
    // Whether interruptRead() ends a read at once, so that a reader may wait long.
    virtual bool interruptible() const { return false; }
};

enum class HidOpenError {
    None,
    NotFound,          // the path does not exist (any more)
    PermissionDenied,  // it exists but this user may not open it
    Failed,            // any other reason
};

struct HidOpenResult {
    std::shared_ptr<HidDevice> device;  // set on success
    HidOpenError error = HidOpenError::None;
};

// Threads: enumerate() and open() may be called from any thread; an implementation
// serialises what needs it.
class HidBackend {
public:
    virtual ~HidBackend() = default;

    // Every collection of the devices with this vendor and product id, in the
    // backend's order. An empty list when there are none or enumeration failed.
    virtual std::vector<HidDeviceInfo> enumerate(std::uint16_t vendorId, std::uint16_t productId) = 0;

    virtual HidOpenResult open(const std::string& path) = 0;

    // A descriptor, owned by the caller, that becomes readable whenever a device of
    // this backend comes or goes; -1 when the backend leaves that to the system's
    // hot-plug monitor (hardware).
    virtual int openChangeFd() { return -1; }
};

}  // namespace halvern
