// The device link put together for a program: hardware (hidapi, libudev, the driver
// library, BlueZ) or, when HALVERN_EMULATOR names links, the virtual mouse on
// those links, with the same DeviceLink above either. The choice is made at run time.
//
// HALVERN_EMULATOR: comma-separated "receiver", "cable", "ble".
// HALVERN_EMULATOR_LOG: a file the virtual mouse appends one lowercase hex line to for
// every buffer it receives.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "device/DeviceLink.h"
#include "device/DeviceObserver.h"
#include "device/DriverLibrary.h"
#include "device/HidApiExport.h"
#include "device/HidBackend.h"
#include "device/HotplugSource.h"
#include "device/ProfileHolder.h"
#include "device/TimerService.h"
#include "halvern_abi.h"
#include "protocol/Clock.h"
#include "protocol/LinkState.h"

namespace halvern {

namespace emu {
class VirtualDevices;
}

class DeviceStack {
public:
    struct Options {
        std::filesystem::path libraryFolder;  // where hiddriver_2.so lies
        std::string emulator;                 // HALVERN_EMULATOR; empty: hardware
        std::string emulatorLog;              // HALVERN_EMULATOR_LOG
        // Virtual devices owned by the caller (tests); they win over `emulator`.
        emu::VirtualDevices* virtualDevices = nullptr;
        bool loadDriver = true;

        // The environment's choice, with the driver library where the program's own
        // libraries lie (FindProgramFolders).
        static Options FromEnvironment();
    };

    // What the owner's main loop supplies (see DeviceLink).
    struct Host {
        TimerService& timers;
        const HalvernHostWindow& window;
        DeviceObserver& observer;
        ProfileHolder& profiles;
        LinkState& links;
    };

    // Null with `error` set when the options name no valid emulator, or a receive log
    // that cannot be opened.
    static std::unique_ptr<DeviceStack> Create(const Options& options, Host host, std::string& error);
    ~DeviceStack();
    DeviceStack(const DeviceStack&) = delete;
    DeviceStack& operator=(const DeviceStack&) = delete;

    DeviceLink& link() { return *link_; }
    HidBackend& hid() { return *hid_; }
    const DriverLibrary& driver() const { return driver_; }
    emu::VirtualDevices* virtualDevices() { return virtual_; }

private:
    DeviceStack() = default;

    SteadyClock clock_;
    std::unique_ptr<emu::VirtualDevices> ownVirtual_;
    emu::VirtualDevices* virtual_ = nullptr;
    std::unique_ptr<HidBackend> ownHid_;
    HidBackend* hid_ = nullptr;
    std::unique_ptr<HotplugSource> hotplug_;
    std::unique_ptr<BleGatt> ownBle_;
    std::unique_ptr<HidApiExport> hidExport_;
    DriverLibrary driver_;
    std::unique_ptr<DeviceLink> link_;
};

}  // namespace halvern
