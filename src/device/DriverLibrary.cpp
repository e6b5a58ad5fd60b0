#include "device/DriverLibrary.h"

#include <climits>

namespace halvern {

bool DriverLibrary::load(const std::filesystem::path& folder) {
    if (loaded()) return true;
    if (!library_.open(folder / HALVERN_DRIVER_LIBRARY_NAME)) return false;
    setHidApi_ = library_.resolve<HalvernSetHidApiFn>("Set_HidApi");
    setVidPid_ = library_.resolve<HalvernSetVidPidFn>("Set_VIDPID");
    openDevMonitor_ = library_.resolve<HalvernOpenDevMonitorFn>("Open_DevMonitor");
    openFeatureDevice_ = library_.resolve<HalvernOpenFeatureDeviceFn>("Open_FeatureDevice");
    closeFeatureDevice_ = library_.resolve<HalvernCloseFeatureDeviceFn>("Close_FeatureDevice");
    closeDevMonitor_ = library_.resolve<HalvernCloseDevMonitorFn>("Close_DevMonitor");
    setFeature_ = library_.resolve<HalvernSetFeatureFn>("SetFeature");
    getFeature_ = library_.resolve<HalvernGetFeatureFn>("GetFeature");
    return true;
}

bool DriverLibrary::hasEntryPoint(std::string_view name) const {
    if (name == "Set_HidApi") return setHidApi_;
    if (name == "Set_VIDPID") return setVidPid_;
    if (name == "Open_DevMonitor") return openDevMonitor_;
    if (name == "Open_FeatureDevice") return openFeatureDevice_;
    if (name == "Close_FeatureDevice") return closeFeatureDevice_;
    if (name == "Close_DevMonitor") return closeDevMonitor_;
    if (name == "SetFeature") return setFeature_;
    if (name == "GetFeature") return getFeature_;
    return false;
}

int DriverLibrary::setHidApi(const HalvernHidApi* api) { return setHidApi_ ? setHidApi_(api) : 0; }
int DriverLibrary::setVidPid(int vendorId, int productId) { return setVidPid_ ? setVidPid_(vendorId, productId) : 0; }

int DriverLibrary::openDevMonitor(const HalvernHostWindow* window, std::uint32_t eventMessage,
                                  std::uint32_t plugMessage) {
    return openDevMonitor_ ? openDevMonitor_(window, eventMessage, plugMessage) : 0;
}

int DriverLibrary::openFeatureDevice() { return openFeatureDevice_ ? openFeatureDevice_() : 0; }
int DriverLibrary::closeFeatureDevice() { return closeFeatureDevice_ ? closeFeatureDevice_() : 0; }
int DriverLibrary::closeDevMonitor() { return closeDevMonitor_ ? closeDevMonitor_() : 0; }

int DriverLibrary::setFeature(std::span<const std::uint8_t> report) {
    if (!setFeature_ || report.size() > INT_MAX) return 0;
    return setFeature_(report.data(), static_cast<int>(report.size()));
}

}  // namespace halvern
