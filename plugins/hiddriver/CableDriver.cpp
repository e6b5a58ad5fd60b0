#include "CableDriver.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <vector>

namespace halvern::driver {

namespace {

constexpr std::uint16_t kCommandUsagePage = 0x000B;
constexpr std::uint16_t kEventUsagePage = 0x000A;
constexpr std::uint8_t kEventReportId = 3;
// How long one read waits; a stop without interrupt_read takes at most this long.
constexpr int kReadTimeoutMs = 250;
// While detached, how often the device is looked for even without a device change.
// The change descriptor finds a cable as it comes; this only catches a change it
// missed, and each look wakes the program, also while it sits hidden in the tray.
constexpr int kRescanMs = 30000;

// The system's hot-plug monitor, for a host that gives no change descriptor. It hears
// udevd's events where udevd runs (they come once the node has its permissions), and
// the kernel's own where it does not, since then nobody sends udevd's.
class UdevWatch {
public:
    UdevWatch() {
        udev_ = udev_new();
        if (!udev_) return;
        const char* source = ::access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
        monitor_ = udev_monitor_new_from_netlink(udev_, source);
        if (monitor_ && (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
                         udev_monitor_enable_receiving(monitor_) < 0)) {
            udev_monitor_unref(monitor_);
            monitor_ = nullptr;
        }
    }
    ~UdevWatch() {
        if (monitor_) udev_monitor_unref(monitor_);
        if (udev_) udev_unref(udev_);
    }
    UdevWatch(const UdevWatch&) = delete;
    UdevWatch& operator=(const UdevWatch&) = delete;

    int fd() const { return monitor_ ? udev_monitor_get_fd(monitor_) : -1; }
    void drain() {
        if (!monitor_) return;
        while (udev_device* d = udev_monitor_receive_device(monitor_)) udev_device_unref(d);
    }

private:
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
};

}  // namespace

CableDriver& CableDriver::instance() {
    static CableDriver driver;
    return driver;
}

CableDriver::CableDriver() : api_(SystemHidApi()) {}

CableDriver::~CableDriver() {
    closeDevMonitor();
    closeFeatureDevice();
}

int CableDriver::setHidApi(const HalvernHidApi* api) {
    if (!api || api->size < sizeof(HalvernHidApi) || monitor_.joinable()) return 0;
    std::lock_guard lock(featureMutex_);
    if (feature_) return 0;
    api_ = *api;
    return 1;
}

void CableDriver::setVidPid(int vendorId, int productId) {
    vendorId_ = static_cast<std::uint16_t>(vendorId);
    productId_ = static_cast<std::uint16_t>(productId);
}

void CableDriver::post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (window_.post) window_.post(window_.context, message, wParam, lParam);
}

bool CableDriver::findCollection(std::uint16_t usagePage, char (&path)[256]) {
    std::array<HalvernHidDeviceInfo, 16> found{};
    int n = api_.enumerate(api_.context, vendorId_, productId_, found.data(), static_cast<int>(found.size()));
    for (int i = 0; i < n && i < static_cast<int>(found.size()); ++i) {
        const HalvernHidDeviceInfo& info = found[static_cast<std::size_t>(i)];
        if (info.usage_page != usagePage || info.path[0] == '\0') continue;
        std::memcpy(path, info.path, sizeof path);
        path[sizeof path - 1] = '\0';
        return true;
    }
    return false;
}

int CableDriver::openDevMonitor(const HalvernHostWindow* window, std::uint32_t eventMessage,
                                std::uint32_t plugMessage) {
    if (!window || monitor_.joinable()) return 0;
    window_ = *window;
    eventMessage_ = eventMessage;
    plugMessage_ = plugMessage;
    stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) return 0;
    stop_ = false;
    monitor_ = std::thread([this] { monitor(); });
    return 1;
}

int CableDriver::closeDevMonitor() {
    if (!monitor_.joinable()) return 0;
    stop_ = true;
    {
        std::lock_guard lock(featureMutex_);
        if (reading_ && api_.interrupt_read) api_.interrupt_read(api_.context, reading_);
    }
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t w = ::write(stopFd_, &one, sizeof one);
    monitor_.join();
    ::close(stopFd_);
    stopFd_ = -1;
    window_ = {};
    return 1;
}

void CableDriver::waitForChange(int changeFd, int timeoutMs) {
    pollfd fds[2] = {{stopFd_, POLLIN, 0}, {changeFd, POLLIN, 0}};
    ::poll(fds, changeFd >= 0 ? 2 : 1, timeoutMs);
}

void CableDriver::monitor() {
    int hostChangeFd = api_.open_change_fd ? api_.open_change_fd(api_.context) : -1;
    std::unique_ptr<UdevWatch> udevWatch;
    if (hostChangeFd < 0) udevWatch = std::make_unique<UdevWatch>();
    int changeFd = hostChangeFd >= 0 ? hostChangeFd : udevWatch->fd();

    void* events = nullptr;
    std::array<unsigned char, 64> report;
    while (!stop_) {
        if (!events) {
            char path[256];
            if (findCollection(kEventUsagePage, path)) events = api_.open_path(api_.context, path);
            if (events) {
                {
                    std::lock_guard lock(featureMutex_);
                    reading_ = events;
                }
                post(plugMessage_, 1, 0);
                continue;
            }
            waitForChange(changeFd, kRescanMs);
            if (hostChangeFd >= 0) {
                std::uint64_t count;
                [[maybe_unused]] ssize_t r = ::read(hostChangeFd, &count, sizeof count);
            } else {
                udevWatch->drain();
            }
            continue;
        }
        report.fill(0);
        int n = api_.read_timeout(api_.context, events, report.data(), report.size(), kReadTimeoutMs);
        if (n > 0 && report[0] == kEventReportId) {
            std::uintptr_t head = report[1] | report[2] << 8;
            std::intptr_t value = report[3] | report[4] << 8;
            post(eventMessage_, head, value);
        } else if (n < 0 && !stop_) {
            {
                std::lock_guard lock(featureMutex_);
                reading_ = nullptr;
            }
            api_.close(api_.context, events);
            events = nullptr;
            post(plugMessage_, 0, 0);
        }
    }
    if (events) {
        {
            std::lock_guard lock(featureMutex_);
            reading_ = nullptr;
        }
        api_.close(api_.context, events);
    }
    if (hostChangeFd >= 0) ::close(hostChangeFd);
}

int CableDriver::openFeatureDevice() {
    char path[256];
    bool found = findCollection(kCommandUsagePage, path);
    void* opened = found ? api_.open_path(api_.context, path) : nullptr;
    void* old;
    {
        std::lock_guard lock(featureMutex_);
        old = feature_;
        feature_ = opened;
    }
    if (old) api_.close(api_.context, old);
    return opened ? 1 : 0;
}

int CableDriver::closeFeatureDevice() {
    void* old;
    {
        std::lock_guard lock(featureMutex_);
        old = feature_;
        feature_ = nullptr;
    }
    if (old) api_.close(api_.context, old);
    return 0;
}

int CableDriver::setFeature(std::span<const std::uint8_t> report) {
    std::lock_guard lock(featureMutex_);
    if (!feature_ || report.empty()) return 0;
    int n = api_.send_feature_report(api_.context, feature_, report.data(), report.size());
    return n > 0 ? n : 0;
}

}  // namespace halvern::driver
