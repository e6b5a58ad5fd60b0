// The cable driver library's state: which device to watch, the monitor thread that
// reports its attach, detach and event reports to the host window, and the feature
// device that SetFeature writes to. The C entry points (EntryPoints.cpp) forward to
// the one instance.
//
// The cable device presents the receiver's two collections: commands on usage page
// 0x000B (the feature device), events on usage page 0x000A as input reports with
// report id 3 followed by the four event bytes. The device counts as attached while
// its event collection is open.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>

#include "halvern_abi.h"

namespace halvern::driver {

class CableDriver {
public:
    static CableDriver& instance();

    int setHidApi(const HalvernHidApi* api);
    void setVidPid(int vendorId, int productId);
    int openDevMonitor(const HalvernHostWindow* window, std::uint32_t eventMessage, std::uint32_t plugMessage);
    int closeDevMonitor();
    int openFeatureDevice();
    int closeFeatureDevice();
    int setFeature(std::span<const std::uint8_t> report);

private:
    CableDriver();
    ~CableDriver();

    void monitor();
    // The path of the device's collection on `usagePage`, or an empty string.
    bool findCollection(std::uint16_t usagePage, char (&path)[256]);
    void post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    void waitForChange(int changeFd, int timeoutMs);

    HalvernHidApi api_{};
    std::uint16_t vendorId_ = 0;
    std::uint16_t productId_ = 0;

    HalvernHostWindow window_{};
    std::uint32_t eventMessage_ = 0;
    std::uint32_t plugMessage_ = 0;
    std::thread monitor_;
    std::atomic<bool> stop_{false};
    int stopFd_ = -1;

    // Guards the feature device and which event collection the monitor reads.
    std::mutex featureMutex_;
    void* feature_ = nullptr;
    void* reading_ = nullptr;
};

// The table over hidapi's hidraw backend, used when the host hands none.
HalvernHidApi SystemHidApi();

}  // namespace halvern::driver
