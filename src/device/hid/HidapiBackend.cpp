#include "device/hid/HidapiBackend.h"

#include <hidapi/hidapi.h>
#include <libudev.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <mutex>

#include "device/DeviceNames.h"

namespace halvern {

namespace {

std::mutex& HidapiMutex() {
    static std::mutex m;
    return m;
}

class HidapiDevice final : public HidDevice {
public:
    explicit HidapiDevice(hid_device* handle) : handle_(handle) {}
    ~HidapiDevice() override { hid_close(handle_); }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    int read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        long long ms = timeout.count() < 0 ? 0 : timeout.count();
        return hid_read_timeout(handle_, buffer.data(), buffer.size(), static_cast<int>(ms > INT_MAX ? INT_MAX : ms));
    }

    int sendFeatureReport(std::span<const std::uint8_t> report) override {
        return hid_send_feature_report(handle_, report.data(), report.size());
    }

private:
    hid_device* handle_;
};

std::string KeyFor(const char* path) {
    std::string p = path ? path : "";
    if (p.rfind("/dev/", 0) == 0) return HidrawInstanceKey(p);
    return ExtractInstanceKey(p);
}

}  // namespace

HidapiBackend::HidapiBackend() {
    std::lock_guard lock(HidapiMutex());
    initialised_ = hid_init() == 0;
}

HidapiBackend::~HidapiBackend() = default;

std::vector<HidDeviceInfo> HidapiBackend::enumerate(std::uint16_t vendorId, std::uint16_t productId) {
    std::vector<HidDeviceInfo> out;
    std::lock_guard lock(HidapiMutex());
    hid_device_info* list = hid_enumerate(vendorId, productId);
    for (hid_device_info* d = list; d; d = d->next) {
        HidDeviceInfo info;
        info.path = d->path ? d->path : "";
        info.vendorId = d->vendor_id;
        info.productId = d->product_id;
        info.usagePage = d->usage_page;
        info.usage = d->usage;
        info.bus = static_cast<HidBus>(d->bus_type);
        info.interfaceNumber = d->interface_number;
        info.instanceKey = KeyFor(d->path);
        out.push_back(std::move(info));
    }
    hid_free_enumeration(list);
    return out;
}

HidOpenResult HidapiBackend::open(const std::string& path) {
    hid_device* handle;
    {
        std::lock_guard lock(HidapiMutex());
        handle = hid_open_path(path.c_str());
    }
    if (handle) return {std::make_shared<HidapiDevice>(handle), HidOpenError::None};
    // hidapi keeps no errno; ask the file system what stood in the way.
    if (::access(path.c_str(), R_OK | W_OK) == 0) return {nullptr, HidOpenError::Failed};
    if (errno == EACCES || errno == EPERM) return {nullptr, HidOpenError::PermissionDenied};
    if (errno == ENOENT) return {nullptr, HidOpenError::NotFound};
    return {nullptr, HidOpenError::Failed};
}

std::string HidrawInstanceKey(const std::string& path) {
    std::string key;
    std::size_t slash = path.rfind('/');
    std::string sysname = slash == std::string::npos ? path : path.substr(slash + 1);
    udev* u = udev_new();
    if (!u) return key;
    if (udev_device* dev = udev_device_new_from_subsystem_sysname(u, "hidraw", sysname.c_str())) {
        // Parents belong to the child and are freed with it.
        udev_device* parent = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device");
        if (!parent) parent = udev_device_get_parent_with_subsystem_devtype(dev, "hid", nullptr);
        if (parent && udev_device_get_syspath(parent)) key = udev_device_get_syspath(parent);
        udev_device_unref(dev);
    }
    udev_unref(u);
    return key;
}

}  // namespace halvern
