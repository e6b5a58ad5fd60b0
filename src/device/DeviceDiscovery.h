// The main window's side of the device link: the receiver tables, the reader threads
// and the device-change handling.
//
// Every enumeration opens each receiver collection anew: command collections (usage
// page 0x000B) go to featureSlots, input collections (0x000A) to inputSlots, up to 20
// each, and every input collection gets a reader (ReaderThread). The active receiver
// (entry 0 of activeSlots, the send path's target) is chosen by the readers: the
// receiver whose reader saw the marker 0xEE on its first report, the last one to do
// so when there are several.
//
// Handles are closed when nothing refers to them any more: the tables of an earlier
// enumeration are dropped as a whole, a removed receiver's collections when it goes.
//
// Main thread only; the readers reach it through posted messages.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "device/ActiveReceiver.h"
#include "device/HidBackend.h"
#include "device/HotplugSource.h"
#include "device/ReaderThread.h"
#include "device/TimerService.h"
#include "halvern_abi.h"
#include "protocol/LinkState.h"

namespace halvern {

class LinkController;

inline constexpr int kMaxSlots = 20;

struct DeviceSlot {
    std::shared_ptr<HidDevice> featureHandle;
    std::shared_ptr<HidDevice> inputHandle;
    std::string devicePath;
    int slotIndex = 0;
    std::string instanceKey;

    bool filled() const { return !devicePath.empty() || featureHandle || inputHandle; }
};

// A collection that was found but could not be opened, for halvernctl's diagnosis.
struct OpenFailure {
    std::string path;
    HidOpenError error = HidOpenError::None;
};

class DeviceDiscovery {
public:
    struct Parts {
        HidBackend& hid;
        TimerService& timers;
        const HalvernHostWindow& host;
        LinkState& links;
        LinkController& controller;
    };

    explicit DeviceDiscovery(Parts parts);
    // Stops every reader (the main window's destructor).
    ~DeviceDiscovery();
    DeviceDiscovery(const DeviceDiscovery&) = delete;
    DeviceDiscovery& operator=(const DeviceDiscovery&) = delete;

    void EnumerateDevices();

    // A device-change broadcast; the Bluetooth LE test runs first.
    void OnDeviceChange(DeviceChange change, std::string_view interfaceName);
    // `upperCasedName`: a removed interface; drops the slots of that receiver.
    void OnInterfaceRemoved(const std::string& upperCasedName);

    // kUmReaderActive and kUmReaderEvent; false for other messages.
    bool handleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    // Timer 54: the receiver arrivals have settled; enumerate. False for other ids.
    bool onTimer(int id);

    // The send path's 2.4 GHz transport.
    ActiveReceiver& activeReceiver() { return active_; }

    // Stops every reader at once and waits for all of them.
    void stopReaders();

    int featureCount() const { return featureCount_; }
    int inputCount() const { return inputCount_; }
    const DeviceSlot& featureSlot(int i) const { return featureSlots_.at(static_cast<std::size_t>(i)); }
    const DeviceSlot& inputSlot(int i) const { return inputSlots_.at(static_cast<std::size_t>(i)); }
    const DeviceSlot& activeSlot() const { return activeSlot_; }
    int readerCount() const;
    std::uint32_t enumerations() const { return generation_; }
    const std::vector<OpenFailure>& openFailures() const { return openFailures_; }

private:
    void stopReader(int index);
    void makeActive(int readerIndex);
    int pairedFeatureSlot(int inputIndex) const;

    Parts parts_;
    std::array<DeviceSlot, kMaxSlots> featureSlots_{};
    std::array<DeviceSlot, kMaxSlots> inputSlots_{};
    // Only entry 0 of the activeSlots table is ever filled; it is kept alone.
    DeviceSlot activeSlot_;
    int featureCount_ = 0;
    int inputCount_ = 0;
    std::array<std::unique_ptr<ReaderThread>, kMaxSlots> readers_{};
    std::array<int, kMaxSlots> readerPairing_{};
    std::uint32_t generation_ = 0;
    std::vector<OpenFailure> openFailures_;
    ActiveReceiver active_;
};

}  // namespace halvern
