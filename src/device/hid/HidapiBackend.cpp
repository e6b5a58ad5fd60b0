#include "device/hid/HidapiBackend.h"

#include <hidapi/hidapi.h>
#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
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
    HidapiDevice(hid_device* handle, const std::string& path) : handle_(handle) {
        // hidapi's own read can only end at its time limit, so a reader would have to
        // wake every few hundred milliseconds to see whether it should stop. hidraw
        // hands every report to each descriptor open on the node: one of our own,
        // beside hidapi's, waits together with a wake-up that interruptRead() raises.
        if (path.rfind("/dev/", 0) != 0) return;
        readFd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (readFd_ < 0 || wakeFd_ < 0) closeOwnDescriptors();
    }
    ~HidapiDevice() override {
        closeOwnDescriptors();
        hid_close(handle_);
    }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    int read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        long long ms = timeout.count() < 0 ? 0 : timeout.count();
        ms = ms > INT_MAX ? INT_MAX : ms;
        if (readFd_ < 0) return hid_read_timeout(handle_, buffer.data(), buffer.size(), static_cast<int>(ms));
        // As hidapi reads hidraw: a whole report per read, report id first; an error or
        // hang-up on the node means the device is gone.
        pollfd p[2] = {{readFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int r = ::poll(p, 2, static_cast<int>(ms));
        if (r < 0) return errno == EINTR ? 0 : -1;
        if (r == 0) return 0;
        if (p[1].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] ssize_t drained = ::read(wakeFd_, &count, sizeof count);
            return 0;
        }
        if (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return -1;
        const ssize_t n = ::read(readFd_, buffer.data(), buffer.size());
        if (n < 0) return errno == EAGAIN || errno == EINTR ? 0 : -1;
        return static_cast<int>(n);
    }

    int sendFeatureReport(std::span<const std::uint8_t> report) override {
        return hid_send_feature_report(handle_, report.data(), report.size());
    }

    void interruptRead() override {
        if (wakeFd_ < 0) return;
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(wakeFd_, &one, sizeof one);
    }
    bool interruptible() const override { return readFd_ >= 0; }

private:
    void closeOwnDescriptors() {
        if (readFd_ >= 0) ::close(readFd_);
        if (wakeFd_ >= 0) ::close(wakeFd_);
        readFd_ = wakeFd_ = -1;
    }

    hid_device* handle_;
    int readFd_ = -1;
    int wakeFd_ = -1;
};

std::string KeyFor(const char* path) {
    std::string p = path ? path : "";
    if (p.rfind("/dev/", 0) == 0) return HidrawInstanceKey(p);
    return ExtractInstanceKey(p);
}

}  // namespace

HidapiBackend::HidapiBackend() {
    std::lock_guard lock(HidapiMutex());
    // A failed start leaves every enumeration empty, which is how no mouse looks.
    (void)hid_init();
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
    if (handle) return {std::make_shared<HidapiDevice>(handle, path), HidOpenError::None};
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
        if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device")) {
            if (const char* syspath = udev_device_get_syspath(usb)) key = syspath;
        } else if (udev_device* hid = udev_device_get_parent_with_subsystem_devtype(dev, "hid", nullptr)) {
            // Each interface is a HID device of its own here, with a sysfs path of its
            // own: only its physical path tells which ones belong together.
            const char* phys = udev_device_get_property_value(hid, "HID_PHYS");
            const char* uniq = udev_device_get_property_value(hid, "HID_UNIQ");
            key = InstanceKeyFromPhys(phys ? phys : "", uniq ? uniq : "");
            if (key.empty() && udev_device_get_syspath(hid)) key = udev_device_get_syspath(hid);
        }
        udev_device_unref(dev);
    }
    udev_unref(u);
    return key;
}

std::string InstanceKeyFromPhys(std::string_view phys, std::string_view uniq) {
    if (phys.empty()) return {};
    std::size_t slash = phys.rfind('/');
    if (slash != std::string_view::npos && phys.substr(slash + 1).starts_with("input")) phys = phys.substr(0, slash);
    std::string key = "phys:";
    key += phys;
    if (!uniq.empty()) {
        key += '|';
        key += uniq;
    }
    return key;
}

}  // namespace halvern
