// The C entry points of hiddriver_2.so; see halvern_abi.h for their contract.
#define HALVERN_DRIVER_LIBRARY
#include "halvern_abi.h"

#include "CableDriver.h"

using halvern::driver::CableDriver;

extern "C" {

int Set_HidApi(const HalvernHidApi* api) { return CableDriver::instance().setHidApi(api); }

int Set_VIDPID(int vendorId, int productId) {
    CableDriver::instance().setVidPid(vendorId, productId);
    return 0;
}

int Open_DevMonitor(const HalvernHostWindow* window, uint32_t eventMessage, uint32_t plugMessage) {
    return CableDriver::instance().openDevMonitor(window, eventMessage, plugMessage);
}

int Close_DevMonitor(void) {
    CableDriver::instance().closeDevMonitor();
    return 0;
}

int Open_FeatureDevice(void) { return CableDriver::instance().openFeatureDevice(); }

int Close_FeatureDevice(void) { return CableDriver::instance().closeFeatureDevice(); }

int SetFeature(const unsigned char* report, int length) {
    if (!report || length <= 0) return 0;
    return CableDriver::instance().setFeature({report, static_cast<std::size_t>(length)});
}

int GetFeature(unsigned char*, int) { return 0; }

}  // extern "C"
