#include "VirtualDevices.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <utility>

#include "device/DeviceNames.h"

namespace halvern::emu {

namespace {

// How long the receiver's input reports are.
constexpr std::size_t kInputReportSize = 16;

struct Identity {
    std::uint16_t vendorId;
    std::uint16_t productId;
    HidBus bus;
};

Identity IdentityOf(Link link) {
    switch (link) {
        case Link::Receiver: return {kReceiverVendorId, kReceiverProductId, HidBus::Usb};
        case Link::Cable: return {kCableVendorId, kCableProductId, HidBus::Usb};
        case Link::Ble: return {kBleVendorId, kBleProductId, HidBus::Bluetooth};
    }
    return {};
}

// One collection of a device, on a node of its own: the device's interfaces come and
// go one after the other, as a burst.
EmulatedHidBackend::NodeSpec NodeFor(Link link, int device, std::uint16_t usagePage, std::uint16_t usage) {
    Identity id = IdentityOf(link);
    EmulatedHidBackend::NodeSpec spec;
    spec.vendorId = id.vendorId;
    spec.productId = id.productId;
    spec.bus = id.bus;
    spec.collections = {{usagePage, usage}};
    spec.instanceKey = std::string(link == Link::Ble ? "virtual-bluetooth-" : "virtual-usb-") + std::to_string(device);
    return spec;
}

class EmulatedHotplugSource;

}  // namespace

// ---- Hot-plug ----

class VirtualDevices::Hub {
public:
    void add(HotplugSource* s);
    void remove(HotplugSource* s);
    void broadcast(DeviceChange change, const std::string& name);

private:
    std::mutex mutex_;
    std::vector<HotplugSource*> sources_;
};

namespace {

class EmulatedHotplugSource final : public HotplugSource {
public:
    explicit EmulatedHotplugSource(std::shared_ptr<VirtualDevices::Hub> hub)
        : hub_(std::move(hub)), fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~EmulatedHotplugSource() override {
        hub_->remove(this);
        if (fd_ >= 0) ::close(fd_);
    }
    EmulatedHotplugSource(const EmulatedHotplugSource&) = delete;
    EmulatedHotplugSource& operator=(const EmulatedHotplugSource&) = delete;

    bool start(Sink sink) override {
        if (fd_ < 0) return false;
        {
            std::lock_guard lock(mutex_);
            sink_ = std::move(sink);
        }
        hub_->add(this);
        return true;
    }
    int fd() const override { return fd_; }
    void dispatch() override {
        std::uint64_t count;
        [[maybe_unused]] ssize_t r = ::read(fd_, &count, sizeof count);
        std::deque<std::pair<DeviceChange, std::string>> pending;
        Sink sink;
        {
            std::lock_guard lock(mutex_);
            pending.swap(pending_);
            sink = sink_;
        }
        for (auto& [change, name] : pending)
            if (sink) sink(change, name);
    }

    void deliver(DeviceChange change, const std::string& name) {
        {
            std::lock_guard lock(mutex_);
            pending_.emplace_back(change, name);
        }
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t w = ::write(fd_, &one, sizeof one);
    }

private:
    std::shared_ptr<VirtualDevices::Hub> hub_;
    int fd_;
    std::mutex mutex_;
    Sink sink_;
    std::deque<std::pair<DeviceChange, std::string>> pending_;
};

}  // namespace

void VirtualDevices::Hub::add(HotplugSource* s) {
    std::lock_guard lock(mutex_);
    sources_.push_back(s);
}

void VirtualDevices::Hub::remove(HotplugSource* s) {
    std::lock_guard lock(mutex_);
    sources_.erase(std::remove(sources_.begin(), sources_.end(), s), sources_.end());
}

void VirtualDevices::Hub::broadcast(DeviceChange change, const std::string& name) {
    std::lock_guard lock(mutex_);
    for (HotplugSource* s : sources_) static_cast<EmulatedHotplugSource*>(s)->deliver(change, name);
}

// ---- Bluetooth LE characteristics ----

class VirtualDevices::Gatt final : public BleGatt {
public:
    explicit Gatt(VirtualDevices& world) : world_(world) {}

    bool writeCommand(std::span<const std::uint8_t> report) override {
        int device = world_.deviceOf(Link::Ble);
        if (device < 0 || !world_.plugged(device)) return false;
        world_.mouse(world_.devices_[static_cast<std::size_t>(device)].spec.mouse).receive(Link::Ble, report);
        world_.written(device);
        return true;
    }
    bool subscribe(NotificationHandler handler) override {
        int device = world_.deviceOf(Link::Ble);
        if (device < 0 || !world_.plugged(device)) return false;
        std::lock_guard lock(mutex_);
        handler_ = std::move(handler);
        return true;
    }
    void unsubscribe() override {
        std::lock_guard lock(mutex_);
        handler_ = {};
    }
    void notify(std::span<const std::uint8_t> value) {
        std::lock_guard lock(mutex_);
        if (handler_) handler_(value);
    }

private:
    VirtualDevices& world_;
    std::mutex mutex_;  // held while the handler runs, so unsubscribe() waits for it
    NotificationHandler handler_;
};

// ---- The world ----

VirtualDevices::VirtualDevices(const Scenario& scenario, Clock& clock, Options options)
    : options_(std::move(options)),
      scheduler_(std::make_unique<Scheduler>(clock)),
      backend_(std::make_unique<EmulatedHidBackend>()),
      hub_(std::make_shared<Hub>()),
      gatt_(std::make_unique<Gatt>(*this)) {
    if (!options_.logPath.empty()) {
        logFile_ = std::fopen(options_.logPath.c_str(), "ae");
        if (!logFile_) logError_ = "cannot open " + options_.logPath + ": " + std::strerror(errno);
    }
    int mice = std::max(scenario.mice, 1);
    for (const ScenarioDevice& d : scenario.devices) mice = std::max(mice, d.mouse + 1);
    for (int m = 0; m < mice; ++m) {
        auto mouse = std::make_unique<VirtualMouse>(*scheduler_);
        mouse->setAckMode(scenario.ack, scenario.ackDelay);
        mouse->setEventSink([this, m](Link link, DeviceEvent event) { route(m, link, event); });
        mouse->setReceiveLog([this](std::span<const std::uint8_t> buffer) { log(buffer); });
        mice_.push_back(std::move(mouse));
    }
    for (std::size_t i = 0; i < scenario.devices.size(); ++i) {
        const ScenarioDevice& spec = scenario.devices[i];
        int device = static_cast<int>(i);
        VirtualMouse* mouse = mice_[static_cast<std::size_t>(spec.mouse)].get();
        Link link = spec.link;
        Device d{spec, {}, {}};
        if (link == Link::Ble) {
            d.nodes.push_back(backend_->addNode(NodeFor(link, device, 0x0001, 0x0002), {}));
        } else {
            auto sink = [this, mouse, link, device](std::span<const std::uint8_t> report) {
                mouse->receive(link, report);
                written(device);
                return static_cast<int>(report.size());
            };
            d.nodes.push_back(backend_->addNode(NodeFor(link, device, kCommandUsagePage, 0), sink));
            // Between the two the device's own collections, so that the command node stays
            // first and the input node last.
            if (spec.extraCollections) {
                d.nodes.push_back(backend_->addNode(NodeFor(link, device, kCommandUsagePage, 1), {}));
                d.nodes.push_back(backend_->addNode(NodeFor(link, device, kInputUsagePage, 1), {}));
            }
            d.nodes.push_back(
                backend_->addNode(NodeFor(link, device, kInputUsagePage, 0), {}, [this, device] { onOpen(device); }));
        }
        d.paths.resize(d.nodes.size());
        devices_.push_back(std::move(d));
    }
    for (std::size_t i = 0; i < devices_.size(); ++i)
        if (devices_[i].spec.plugged) plug(static_cast<int>(i));
    if (options_.realTime) {
        scheduler_->startRealTime();
        if (options_.heartbeat.count() > 0) scheduleHeartbeat(*scheduler_);
    }
}

VirtualDevices::~VirtualDevices() {
    // Late work refers to the mice; it stops before they go.
    scheduler_.reset();
    if (logFile_) std::fclose(logFile_);
}

BleGatt& VirtualDevices::ble() { return *gatt_; }

std::unique_ptr<HotplugSource> VirtualDevices::makeHotplugSource() {
    return std::make_unique<EmulatedHotplugSource>(hub_);
}

int VirtualDevices::deviceOf(Link link, int nth) const {
    for (std::size_t i = 0; i < devices_.size(); ++i)
        if (devices_[i].spec.link == link && nth-- == 0) return static_cast<int>(i);
    return -1;
}

bool VirtualDevices::plugged(int device) const {
    return backend_->plugged(devices_.at(static_cast<std::size_t>(device)).nodes.front());
}

std::vector<std::string> VirtualDevices::pathsOf(int device) const {
    std::lock_guard lock(mutex_);
    return devices_.at(static_cast<std::size_t>(device)).paths;
}

std::string VirtualDevices::inputPathOf(int device) const { return pathsOf(device).back(); }

std::string VirtualDevices::commandPathOf(int device) const { return pathsOf(device).front(); }

std::vector<std::string> VirtualDevices::interfaceNamesOf(int device) const {
    Identity id = IdentityOf(linkOf(device));
    std::vector<std::string> names;
    for (const std::string& path : pathsOf(device))
        names.push_back(ComposeInterfaceName(id.bus, id.vendorId, id.productId, path));
    return names;
}

bool VirtualDevices::plug(int device) {
    Device& d = devices_.at(static_cast<std::size_t>(device));
    if (backend_->plugged(d.nodes.front())) return false;
    for (std::size_t i = 0; i < d.nodes.size(); ++i) {
        std::string path;
        {
            std::lock_guard lock(mutex_);
            path = "/dev/virtual-hidraw" + std::to_string(nextNode_++);
            d.paths[i] = path;
        }
        backend_->plug(d.nodes[i], path);
        if (d.spec.locked) backend_->setOpenError(path, HidOpenError::PermissionDenied);
    }
    if (d.spec.link == Link::Cable) mice_[static_cast<std::size_t>(d.spec.mouse)]->setOnCable(true);
    for (const std::string& name : interfaceNamesOf(device)) hub_->broadcast(DeviceChange::Arrival, name);
    return true;
}

bool VirtualDevices::unplug(int device) {
    Device& d = devices_.at(static_cast<std::size_t>(device));
    if (!backend_->plugged(d.nodes.front())) return false;
    for (int node : d.nodes) backend_->unplug(node);
    if (d.spec.link == Link::Cable) mice_[static_cast<std::size_t>(d.spec.mouse)]->setOnCable(false);
    for (const std::string& name : interfaceNamesOf(device)) hub_->broadcast(DeviceChange::RemoveComplete, name);
    return true;
}

void VirtualDevices::setAnnounce(int device, bool on) {
    std::lock_guard lock(mutex_);
    devices_.at(static_cast<std::size_t>(device)).spec.announce = on;
}

void VirtualDevices::unplugAfter(int device, int buffers) {
    std::lock_guard lock(mutex_);
    devices_.at(static_cast<std::size_t>(device)).unplugAfter = buffers;
}

void VirtualDevices::written(int device) {
    bool unplugNow = false;
    {
        std::lock_guard lock(mutex_);
        int& left = devices_[static_cast<std::size_t>(device)].unplugAfter;
        if (left > 0) unplugNow = --left == 0;
    }
    if (unplugNow) unplug(device);
}

void VirtualDevices::onOpen(int device) {
    bool announce;
    int mouse;
    Link link;
    {
        std::lock_guard lock(mutex_);
        const Device& d = devices_[static_cast<std::size_t>(device)];
        announce = d.spec.announce;
        mouse = d.spec.mouse;
        link = d.spec.link;
    }
    if (announce && link != Link::Ble) mice_[static_cast<std::size_t>(mouse)]->announce(link);
}

void VirtualDevices::route(int mouse, Link link, DeviceEvent event) {
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(event.head), static_cast<std::uint8_t>(event.head >> 8),
                                   static_cast<std::uint8_t>(event.value), static_cast<std::uint8_t>(event.value >> 8)};
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        const Device& d = devices_[i];
        if (d.spec.mouse != mouse || d.spec.link != link || !backend_->plugged(d.nodes.back())) continue;
        if (link == Link::Ble) {
            gatt_->notify(bytes);
            continue;
        }
        std::vector<std::uint8_t> report(kInputReportSize, 0);
        report[0] = kEventReportId;
        std::copy(std::begin(bytes), std::end(bytes), report.begin() + 1);
        backend_->pushInput(d.nodes.back(), report);
    }
}

void VirtualDevices::sendRaw(int device, std::vector<std::uint8_t> report) {
    backend_->pushInput(devices_.at(static_cast<std::size_t>(device)).nodes.back(), report);
}

bool VirtualDevices::settle(std::chrono::milliseconds timeout) {
    if (scheduler_) scheduler_->runDue();
    return backend_->waitIdle(timeout);
}

void VirtualDevices::log(std::span<const std::uint8_t> buffer) {
    std::lock_guard lock(logMutex_);
    if (!logFile_) return;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string line;
    line.reserve(buffer.size() * 2 + 1);
    for (std::uint8_t b : buffer) {
        line.push_back(kHex[b >> 4]);
        line.push_back(kHex[b & 0xF]);
    }
    line.push_back('\n');
    std::fputs(line.c_str(), logFile_);
    std::fflush(logFile_);
}

void VirtualDevices::scheduleHeartbeat(Scheduler& scheduler) {
    // The scheduler may be stopping while a round runs; it is still there to take (and
    // drop) the next one.
    scheduler.after(options_.heartbeat, [this, &scheduler] {
        for (std::size_t i = 0; i < devices_.size(); ++i) {
            const Device& d = devices_[i];
            if (d.spec.link != Link::Ble && backend_->plugged(d.nodes.back()))
                mice_[static_cast<std::size_t>(d.spec.mouse)]->announce(d.spec.link);
        }
        scheduleHeartbeat(scheduler);
    });
}

}  // namespace halvern::emu
