#include "EmulatedHidBackend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <map>

namespace halvern::emu {

namespace {

// As many reports as hidraw keeps for a descriptor nobody reads; older ones drop.
constexpr std::size_t kQueueLimit = 64;

void Signal(int fd) {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t w = ::write(fd, &one, sizeof one);
}

void Drain(int fd) {
    std::uint64_t count;
    [[maybe_unused]] ssize_t r = ::read(fd, &count, sizeof count);
}

}  // namespace

namespace detail {
class EmulatedHandle;
}
using detail::EmulatedHandle;

class EmulatedHidBackend::Core {
public:
    struct Node {
        NodeSpec spec;
        FeatureSink sink;
        OpenHook onOpen;
        std::string path;
        bool plugged = false;
    };

    mutable std::mutex mutex;
    std::condition_variable idleChanged;
    std::vector<Node> nodes;
    std::vector<EmulatedHandle*> handles;
    std::map<std::string, HidOpenError> openErrors;
    int changeFd = -1;

    bool idleLocked() const;
};

namespace detail {

class EmulatedHandle final : public HidDevice {
public:
    EmulatedHandle(std::shared_ptr<EmulatedHidBackend::Core> core, int node) : core_(std::move(core)), node_(node) {
        fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        std::lock_guard lock(core_->mutex);
        core_->handles.push_back(this);
    }
    ~EmulatedHandle() override {
        {
            std::lock_guard lock(core_->mutex);
            auto& h = core_->handles;
            h.erase(std::remove(h.begin(), h.end(), this), h.end());
        }
        core_->idleChanged.notify_all();
        if (fd_ >= 0) ::close(fd_);
    }
    EmulatedHandle(const EmulatedHandle&) = delete;
    EmulatedHandle& operator=(const EmulatedHandle&) = delete;

    bool valid() const { return fd_ >= 0; }
    int node() const { return node_; }

    int read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        std::unique_lock lock(core_->mutex);
        if (processing_) {
            processing_ = false;
            core_->idleChanged.notify_all();
        }
        for (;;) {
            if (gone_) return -1;
            if (interrupted_) {
                interrupted_ = false;
                return 0;
            }
            if (!queue_.empty()) {
                std::vector<std::uint8_t> report = std::move(queue_.front());
                queue_.pop_front();
                std::size_t n = std::min(report.size(), buffer.size());
                std::copy_n(report.begin(), n, buffer.begin());
                processing_ = true;
                return static_cast<int>(n);
            }
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left <= std::chrono::milliseconds{0}) return 0;
            lock.unlock();
            pollfd p{fd_, POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(left.count()) + 1);
            Drain(fd_);
            lock.lock();
        }
    }

    int sendFeatureReport(std::span<const std::uint8_t> report) override {
        EmulatedHidBackend::FeatureSink sink;
        {
            std::lock_guard lock(core_->mutex);
            if (gone_) return -1;
            sink = core_->nodes[static_cast<std::size_t>(node_)].sink;
        }
        return sink ? sink(report) : -1;
    }

    bool interruptible() const override { return true; }

    void interruptRead() override {
        {
            std::lock_guard lock(core_->mutex);
            interrupted_ = true;
        }
        Signal(fd_);
    }

    // With the core's lock held.
    void pushLocked(std::span<const std::uint8_t> report) {
        if (queue_.size() == kQueueLimit) queue_.pop_front();
        queue_.emplace_back(report.begin(), report.end());
        Signal(fd_);
    }
    void goneLocked() {
        gone_ = true;
        Signal(fd_);
    }
    bool busyLocked() const { return !gone_ && (processing_ || !queue_.empty()); }

private:
    std::shared_ptr<EmulatedHidBackend::Core> core_;
    int node_;
    int fd_ = -1;
    std::deque<std::vector<std::uint8_t>> queue_;
    bool gone_ = false;
    bool interrupted_ = false;
    bool processing_ = false;
};

}  // namespace detail

bool EmulatedHidBackend::Core::idleLocked() const {
    return std::none_of(handles.begin(), handles.end(), [](const EmulatedHandle* h) { return h->busyLocked(); });
}

EmulatedHidBackend::EmulatedHidBackend() : core_(std::make_shared<Core>()) {
    core_->changeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

EmulatedHidBackend::~EmulatedHidBackend() {
    {
        std::lock_guard lock(core_->mutex);
        for (EmulatedHandle* h : core_->handles) h->goneLocked();
        core_->nodes.clear();
    }
    if (core_->changeFd >= 0) ::close(core_->changeFd);
    core_->changeFd = -1;
}

int EmulatedHidBackend::addNode(NodeSpec spec, FeatureSink sink, OpenHook onOpen) {
    std::lock_guard lock(core_->mutex);
    core_->nodes.push_back({std::move(spec), std::move(sink), std::move(onOpen), {}, false});
    return static_cast<int>(core_->nodes.size()) - 1;
}

bool EmulatedHidBackend::plug(int node, std::string path) {
    {
        std::lock_guard lock(core_->mutex);
        Core::Node& n = core_->nodes.at(static_cast<std::size_t>(node));
        if (n.plugged) return false;
        n.plugged = true;
        n.path = std::move(path);
    }
    Signal(core_->changeFd);
    return true;
}

std::string EmulatedHidBackend::unplug(int node) {
    std::string path;
    {
        std::lock_guard lock(core_->mutex);
        Core::Node& n = core_->nodes.at(static_cast<std::size_t>(node));
        if (!n.plugged) return {};
        n.plugged = false;
        path = n.path;
        for (EmulatedHandle* h : core_->handles)
            if (h->node() == node) h->goneLocked();
    }
    core_->idleChanged.notify_all();
    Signal(core_->changeFd);
    return path;
}

bool EmulatedHidBackend::plugged(int node) const {
    std::lock_guard lock(core_->mutex);
    return core_->nodes.at(static_cast<std::size_t>(node)).plugged;
}

std::string EmulatedHidBackend::pathOf(int node) const {
    std::lock_guard lock(core_->mutex);
    return core_->nodes.at(static_cast<std::size_t>(node)).path;
}

void EmulatedHidBackend::pushInput(int node, std::span<const std::uint8_t> report) {
    std::lock_guard lock(core_->mutex);
    if (!core_->nodes.at(static_cast<std::size_t>(node)).plugged) return;
    for (EmulatedHandle* h : core_->handles)
        if (h->node() == node) h->pushLocked(report);
}

std::vector<HidDeviceInfo> EmulatedHidBackend::enumerate(std::uint16_t vendorId, std::uint16_t productId) {
    std::vector<HidDeviceInfo> out;
    std::lock_guard lock(core_->mutex);
    for (const Core::Node& n : core_->nodes) {
        if (!n.plugged) continue;
        if ((vendorId && n.spec.vendorId != vendorId) || (productId && n.spec.productId != productId)) continue;
        for (const Collection& c : n.spec.collections) {
            HidDeviceInfo info;
            info.path = n.path;
            info.vendorId = n.spec.vendorId;
            info.productId = n.spec.productId;
            info.usagePage = c.usagePage;
            info.usage = c.usage;
            info.bus = n.spec.bus;
            info.interfaceNumber = -1;
            info.instanceKey = n.spec.instanceKey;
            out.push_back(std::move(info));
        }
    }
    return out;
}

void EmulatedHidBackend::setOpenError(const std::string& path, HidOpenError error) {
    std::lock_guard lock(core_->mutex);
    if (error == HidOpenError::None) core_->openErrors.erase(path);
    else core_->openErrors[path] = error;
}

HidOpenResult EmulatedHidBackend::open(const std::string& path) {
    int node = -1;
    OpenHook hook;
    {
        std::lock_guard lock(core_->mutex);
        if (auto denied = core_->openErrors.find(path); denied != core_->openErrors.end())
            return {nullptr, denied->second};
        for (std::size_t i = 0; i < core_->nodes.size(); ++i) {
            if (core_->nodes[i].plugged && core_->nodes[i].path == path) {
                node = static_cast<int>(i);
                hook = core_->nodes[i].onOpen;
                break;
            }
        }
    }
    if (node < 0) return {nullptr, HidOpenError::NotFound};
    auto handle = std::make_shared<EmulatedHandle>(core_, node);
    if (!handle->valid()) return {nullptr, HidOpenError::Failed};
    if (hook) hook();
    return {std::move(handle), HidOpenError::None};
}

int EmulatedHidBackend::openChangeFd() {
    return core_->changeFd >= 0 ? ::fcntl(core_->changeFd, F_DUPFD_CLOEXEC, 0) : -1;
}

bool EmulatedHidBackend::waitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(core_->mutex);
    return core_->idleChanged.wait_for(lock, timeout, [this] { return core_->idleLocked(); });
}

int EmulatedHidBackend::openHandles() const {
    std::lock_guard lock(core_->mutex);
    return static_cast<int>(core_->handles.size());
}

}  // namespace halvern::emu
