#include "host/DeviceStack.h"

#include <cstdlib>

#include "VirtualDevices.h"
#include "platform/DataPaths.h"
#include "device/hid/HidapiBackend.h"
#include "device/ble/BluezGatt.h"
#include "device/hid/UdevHotplugSource.h"

namespace halvern {

namespace {

using namespace std::chrono_literals;

// A demo on the virtual mouse keeps its receiver link alive the way a real mouse does.
constexpr auto kVirtualHeartbeat = 4000ms;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

DeviceStack::Options DeviceStack::Options::FromEnvironment() {
    Options o;
    o.libraryFolder = FindProgramFolders().libraries;
    o.emulator = Env("HALVERN_EMULATOR");
    o.emulatorLog = Env("HALVERN_EMULATOR_LOG");
    return o;
}

std::unique_ptr<DeviceStack> DeviceStack::Create(const Options& options, Host host, std::string& error) {
    std::unique_ptr<DeviceStack> stack(new DeviceStack);
    DeviceStack& s = *stack;
    BleGatt* ble = nullptr;
    if (options.virtualDevices) {
        s.virtual_ = options.virtualDevices;
    } else if (!options.emulator.empty()) {
        std::string why;
        std::optional<emu::Scenario> scenario = emu::ScenarioFromLinks(options.emulator, why);
        if (!scenario) {
            error = "HALVERN_EMULATOR: " + why;
            return nullptr;
        }
        emu::VirtualDevices::Options vo;
        vo.realTime = true;
        vo.logPath = options.emulatorLog;
        vo.heartbeat = kVirtualHeartbeat;
        s.ownVirtual_ = std::make_unique<emu::VirtualDevices>(*scenario, s.clock_, vo);
        // A log asked for and not written would pass for a mouse that received nothing.
        if (!s.ownVirtual_->logError().empty()) {
            error = "HALVERN_EMULATOR_LOG: " + s.ownVirtual_->logError();
            return nullptr;
        }
        s.virtual_ = s.ownVirtual_.get();
    }
    if (s.virtual_) {
        s.hid_ = &s.virtual_->hid();
        s.hotplug_ = s.virtual_->makeHotplugSource();
        ble = &s.virtual_->ble();
    } else {
        s.ownHid_ = std::make_unique<HidapiBackend>();
        s.hid_ = s.ownHid_.get();
        s.hotplug_ = std::make_unique<UdevHotplugSource>();
        s.ownBle_ = std::make_unique<BluezGatt>();
        ble = s.ownBle_.get();
    }
    s.hidExport_ = std::make_unique<HidApiExport>(*s.hid_);
    if (options.loadDriver) s.driver_.load(options.libraryFolder);

    DeviceLink::Parts parts{*s.hid_, host.timers, host.window, host.observer, host.profiles, host.links};
    parts.hotplug = s.hotplug_.get();
    parts.driver = &s.driver_;
    parts.driverHidApi = s.hidExport_->table();
    parts.ble = ble;
    s.link_ = std::make_unique<DeviceLink>(parts);
    return stack;
}

DeviceStack::~DeviceStack() {
    // The link stops its readers and the driver library's monitor before anything
    // they use goes away.
    link_.reset();
}

}  // namespace halvern
