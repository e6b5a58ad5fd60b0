// The virtual mouse's devices as the HID interface shows them: nodes with their
// collections, opened by path like hidraw nodes. Input reports pushed to a node reach
// every handle open on it (as on hidraw, where each open descriptor gets every report
// of its interface); feature reports written to a handle go to the node's sink.
//
// Each open handle holds a real descriptor (an eventfd a blocked read waits on), so a
// handle that is never closed shows up as a leaked descriptor, as it would on
// hardware. Unplugging a node makes every read and write on its handles fail.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "device/HidBackend.h"

namespace halvern::emu {

class EmulatedHidBackend final : public HidBackend {
public:
    struct Collection {
        std::uint16_t usagePage = 0;
        std::uint16_t usage = 0;
    };
    struct NodeSpec {
        std::uint16_t vendorId = 0;
        std::uint16_t productId = 0;
        HidBus bus = HidBus::Usb;
        std::vector<Collection> collections;
        std::string instanceKey;
    };
    // Where a node's feature reports go: returns the bytes taken, or -1.
    using FeatureSink = std::function<int(std::span<const std::uint8_t>)>;
    // Called, outside the backend's lock, after a handle was opened on the node.
    using OpenHook = std::function<void()>;

    EmulatedHidBackend();
    ~EmulatedHidBackend() override;
    EmulatedHidBackend(const EmulatedHidBackend&) = delete;
    EmulatedHidBackend& operator=(const EmulatedHidBackend&) = delete;

    // A node, unplugged until plug(). Returns its id.
    int addNode(NodeSpec spec, FeatureSink sink, OpenHook onOpen = {});
    // Plugs the node in at `path`; returns false when it already is.
    bool plug(int node, std::string path);
    // Unplugs it; its handles fail from now on. Returns the path it had.
    std::string unplug(int node);
    bool plugged(int node) const;
    std::string pathOf(int node) const;

    // Makes opening `path` fail with `error` (None lifts it), as a node the user may
    // not open does.
    void setOpenError(const std::string& path, HidOpenError error);

    // An input report to every open handle of the node (a plugged one).
    void pushInput(int node, std::span<const std::uint8_t> report);

    std::vector<HidDeviceInfo> enumerate(std::uint16_t vendorId, std::uint16_t productId) override;
    HidOpenResult open(const std::string& path) override;
    int openChangeFd() override;

    // Waits (real time, at most `timeout`) until every report pushed to an open handle
    // has been read and its reader has come back for the next one. Input reports go to
    // input collections only, whose handles are there to be read.
    bool waitIdle(std::chrono::milliseconds timeout);
    int openHandles() const;

    class Core;

private:
    std::shared_ptr<Core> core_;
};

}  // namespace halvern::emu
