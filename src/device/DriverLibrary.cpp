#include "device/DriverLibrary.h"

#include <dlfcn.h>

#include <climits>

namespace halvern {

namespace {

template <typename Fn>
void Resolve(void* handle, const char* name, Fn& out) {
    // dlsym hands back an object pointer; POSIX guarantees it converts to a function one.
    out = reinterpret_cast<Fn>(::dlsym(handle, name));
}

}  // namespace

DriverLibrary::~DriverLibrary() {
    if (handle_) ::dlclose(handle_);
}

bool DriverLibrary::load(const std::filesystem::path& folder) {
    if (handle_) return true;
    std::filesystem::path file = folder / HALVERN_DRIVER_LIBRARY_NAME;
    // By full path only: never through the library search path. RTLD_LOCAL keeps its
    // symbols out of the process's global scope.
    handle_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = ::dlerror();
        error_ = why ? why : ("cannot load " + file.string());
        return false;
    }
    Resolve(handle_, "Set_HidApi", setHidApi_);
    Resolve(handle_, "Set_VIDPID", setVidPid_);
    Resolve(handle_, "Open_DevMonitor", openDevMonitor_);
    Resolve(handle_, "Open_FeatureDevice", openFeatureDevice_);
    Resolve(handle_, "Close_FeatureDevice", closeFeatureDevice_);
    Resolve(handle_, "Close_DevMonitor", closeDevMonitor_);
    Resolve(handle_, "SetFeature", setFeature_);
    Resolve(handle_, "GetFeature", getFeature_);
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
