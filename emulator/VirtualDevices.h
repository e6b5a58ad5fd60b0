// The virtual mice of a scenario and the devices they come through, presented to the
// device layer exactly as hardware would be:
// - a receiver is one USB device 1d57:fa60 with two collections, command (usage page
//   0x000B) and input (0x000A), each on a node of its own that shares the device's
//   instance key; its mouse's events arrive on the input collection as input reports
//   03 EE code value;
// - the cable is the device 1d57:215e with the same two collections, reached by the
//   driver library through the HID table the host hands it;
// - the Bluetooth LE mouse is the HID device 045e:00ee on the Bluetooth bus, with
//   its command and event characteristics behind BleGatt.
// Plugging and unplugging a device raises the arrivals and removals every hot-plug
// source made here delivers.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "EmulatedHidBackend.h"
#include "Scenario.h"
#include "Scheduler.h"
#include "VirtualMouse.h"
#include "device/BleGatt.h"
#include "device/HotplugSource.h"

namespace halvern::emu {

class VirtualDevices {
public:
    struct Options {
        bool realTime = false;  // late answers and the heartbeat run by themselves
        std::string logPath;    // HALVERN_EMULATOR_LOG: one hex line per buffer received
        // Real time only: how often a plugged receiver's or cable's mouse reports its
        // battery, which keeps the 2.4 GHz link alive; zero for never.
        std::chrono::milliseconds heartbeat{0};
    };

    VirtualDevices(const Scenario& scenario, Clock& clock, Options options);
    VirtualDevices(const Scenario& scenario, Clock& clock) : VirtualDevices(scenario, clock, Options{}) {}
    ~VirtualDevices();
    VirtualDevices(const VirtualDevices&) = delete;
    VirtualDevices& operator=(const VirtualDevices&) = delete;

    // Why the receive log named in the options could not be opened; empty when it was
    // opened or none was asked for. The world runs without a log either way.
    const std::string& logError() const { return logError_; }

    EmulatedHidBackend& hid() { return *backend_; }
    BleGatt& ble();
    // A source of this world's arrivals and removals; it may be made before or after
    // devices come and go, and hears only what happens after it started.
    std::unique_ptr<HotplugSource> makeHotplugSource();

    VirtualMouse& mouse(int index = 0) { return *mice_.at(static_cast<std::size_t>(index)); }

    // The nth device on `link`, or -1.
    int deviceOf(Link link, int nth = 0) const;
    Link linkOf(int device) const { return devices_.at(static_cast<std::size_t>(device)).spec.link; }
    bool plugged(int device) const;
    // The node paths of the device's collections (command first, then input), as they
    // are or were when it was last plugged.
    std::vector<std::string> pathsOf(int device) const;
    std::string commandPathOf(int device) const;
    std::string inputPathOf(int device) const;
    // Their hot-plug names.
    std::vector<std::string> interfaceNamesOf(int device) const;

    // Plugs a device in, on a node path it has not had before; false when it is in.
    bool plug(int device);
    // Unplugs it; false when it was not plugged.
    bool unplug(int device);
    // Whether the device's mouse reports its battery when the device is opened.
    void setAnnounce(int device, bool on);
    // Unplugs the device once `buffers` more buffers have been written to it, in the
    // middle of whatever transfer that is; 0 cancels.
    void unplugAfter(int device, int buffers);

    // An input report exactly as given, on a receiver or the cable (garbage, reports
    // without the marker).
    void sendRaw(int device, std::vector<std::uint8_t> report);

    // Runs the due work of virtual time and waits (real time, at most `timeout`) until
    // the readers have taken every report. False on timeout.
    bool settle(std::chrono::milliseconds timeout = std::chrono::milliseconds{5000});

    Scheduler& scheduler() { return *scheduler_; }

    class Hub;
    class Gatt;

private:
    struct Device {
        ScenarioDevice spec;
        std::vector<int> nodes;          // command (first) and input (last) collections, or the one BLE node
        std::vector<std::string> paths;  // guarded by mutex_
        int unplugAfter = 0;             // guarded by mutex_
    };
    // Counts a buffer written to the device, for unplugAfter().
    void written(int device);
    void route(int mouse, Link link, DeviceEvent event);
    void onOpen(int device);
    void log(std::span<const std::uint8_t> buffer);
    void scheduleHeartbeat(Scheduler& scheduler);

    Options options_;
    std::unique_ptr<Scheduler> scheduler_;
    std::unique_ptr<EmulatedHidBackend> backend_;
    std::shared_ptr<Hub> hub_;
    std::unique_ptr<Gatt> gatt_;
    std::vector<std::unique_ptr<VirtualMouse>> mice_;
    std::vector<Device> devices_;
    mutable std::mutex mutex_;  // devices_' paths and announce flags, the node counter
    int nextNode_ = 0;
    std::mutex logMutex_;
    std::FILE* logFile_ = nullptr;
    std::string logError_;
};

}  // namespace halvern::emu
