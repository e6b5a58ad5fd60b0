// The cable driver library "hiddriver_2.so", loaded by full path from the program's
// folder and reached only through its entry points, resolved by name. A missing
// library or entry point disables the calls that need it: they return 0 and do
// nothing, so the cable simply never links.
//
// Threads: setFeature() runs on the apply worker, everything else on the main thread.
// The entry points are resolved once, at load, and never change afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "device/RuntimeLibrary.h"
#include "halvern_abi.h"
#include "protocol/Transports.h"

namespace halvern {

class DriverLibrary final : public DriverFeatureTransport {
public:
    DriverLibrary() = default;
    // Frees the library. Close the monitor first (closeDevMonitor), so that no thread
    // of the library still runs.
    ~DriverLibrary() override = default;
    DriverLibrary(const DriverLibrary&) = delete;
    DriverLibrary& operator=(const DriverLibrary&) = delete;

    // Loads `folder`/hiddriver_2.so and resolves every entry point. Returns false when
    // the library cannot be loaded (error() says why); missing entry points are not a
    // failure.
    bool load(const std::filesystem::path& folder);
    bool loaded() const { return library_.loaded(); }
    const std::string& error() const { return library_.error(); }

    // Which entry points were found, for diagnostics.
    bool hasEntryPoint(std::string_view name) const;

    // The entry points; each returns 0 when it is missing.
    int setHidApi(const HalvernHidApi* api);
    int setVidPid(int vendorId, int productId);
    int openDevMonitor(const HalvernHostWindow* window, std::uint32_t eventMessage, std::uint32_t plugMessage);
    int openFeatureDevice();
    int closeFeatureDevice();
    int closeDevMonitor();
    int setFeature(std::span<const std::uint8_t> report) override;

private:
    RuntimeLibrary library_;
    HalvernSetHidApiFn setHidApi_ = nullptr;
    HalvernSetVidPidFn setVidPid_ = nullptr;
    HalvernOpenDevMonitorFn openDevMonitor_ = nullptr;
    HalvernOpenFeatureDeviceFn openFeatureDevice_ = nullptr;
    HalvernCloseFeatureDeviceFn closeFeatureDevice_ = nullptr;
    HalvernCloseDevMonitorFn closeDevMonitor_ = nullptr;
    HalvernSetFeatureFn setFeature_ = nullptr;
    HalvernGetFeatureFn getFeature_ = nullptr;
};

}  // namespace halvern
