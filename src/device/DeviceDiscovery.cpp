#include "device/DeviceDiscovery.h"

#include "device/WindowIds.h"
#include "device/DeviceNames.h"
#include "device/DeviceTrace.h"
#include "device/LinkController.h"

namespace halvern {

DeviceDiscovery::DeviceDiscovery(Parts parts) : parts_(parts) { readerPairing_.fill(-1); }

DeviceDiscovery::~DeviceDiscovery() { stopReaders(); }

int DeviceDiscovery::readerCount() const {
    int n = 0;
    for (const auto& r : readers_) n += r ? 1 : 0;
    return n;
}

void DeviceDiscovery::stopReaders() {
    for (auto& r : readers_)
        if (r) r->requestStop();
    for (auto& r : readers_) r.reset();
    readerPairing_.fill(-1);
}

void DeviceDiscovery::stopReader(int index) {
    auto& reader = readers_[static_cast<std::size_t>(index)];
    reader.reset();
    readerPairing_[static_cast<std::size_t>(index)] = -1;
}

int DeviceDiscovery::pairedFeatureSlot(int inputIndex) const {
    const std::string& key = inputSlots_[static_cast<std::size_t>(inputIndex)].instanceKey;
    for (int f = 0; f < featureCount_; ++f)
        if (EqualsNoCase(featureSlots_[static_cast<std::size_t>(f)].instanceKey, key)) return f;
    return -1;
}

void DeviceDiscovery::EnumerateDevices() {
    stopReaders();
    featureCount_ = 0;
    inputCount_ = 0;
    featureSlots_.fill(DeviceSlot{});
    inputSlots_.fill(DeviceSlot{});
    activeSlot_ = DeviceSlot{};
    active_.clear();
    openFailures_.clear();
    ++generation_;

    for (const HidDeviceInfo& info : parts_.hid.enumerate(kReceiverVendorId, kReceiverProductId)) {
        if (info.usagePage != kCommandUsagePage && info.usagePage != kInputUsagePage) continue;
        HidOpenResult opened = parts_.hid.open(info.path);
        if (!opened.device) {
            openFailures_.push_back({info.path, opened.error});
            continue;
        }
        bool command = info.usagePage == kCommandUsagePage;
        int& count = command ? featureCount_ : inputCount_;
        // The handle closes as `opened` goes out of scope.
        if (info.usage != 0 || count == kMaxSlots) continue;
        DeviceSlot& slot = (command ? featureSlots_ : inputSlots_)[static_cast<std::size_t>(count)];
        (command ? slot.featureHandle : slot.inputHandle) = std::move(opened.device);
        slot.devicePath = info.path;
        slot.instanceKey = info.instanceKey;
        slot.slotIndex = count;
        ++count;
    }
    DeviceTrace("m_iDeviceNo_Wireless_OSD = %d\r\n", inputCount_);

    for (int i = 0; i < inputCount_; ++i) {
        int paired = pairedFeatureSlot(i);
        ReaderThread::Setup setup;
        setup.index = i;
        setup.input = inputSlots_[static_cast<std::size_t>(i)].inputHandle;
        setup.paired = paired >= 0;
        setup.generation = generation_;
        setup.links = &parts_.links;
        setup.host = &parts_.host;
        auto reader = std::make_unique<ReaderThread>(std::move(setup));
        if (!reader->started()) {
            DeviceTrace("Error: Failed to create thread for device %d", i);
            continue;
        }
        readers_[static_cast<std::size_t>(i)] = std::move(reader);
        readerPairing_[static_cast<std::size_t>(i)] = paired;
    }
}

void DeviceDiscovery::OnDeviceChange(DeviceChange change, std::string_view interfaceName) {
    parts_.controller.OnBleDeviceChange(change, interfaceName);
    switch (change) {
        case DeviceChange::NodesChanged: DeviceTrace("Succuss\r\n"); return;
        case DeviceChange::Arrival: {
            DeviceTrace("DBT_DEVICEARRIVAL.\n");
            std::string name = UpperCased(interfaceName);
            DeviceTrace("%s\r\n", name.c_str());
            if (IsReceiverInterface(name)) {
                // One enumeration for a burst of arrivals: each restarts the wait.
                parts_.timers.kill(TimerId::Reenumerate);
                parts_.timers.arm(TimerId::Reenumerate, kReenumerateDelay);
            }
            return;
        }
        case DeviceChange::RemoveComplete: OnInterfaceRemoved(UpperCased(interfaceName)); return;
    }
}

void DeviceDiscovery::OnInterfaceRemoved(const std::string& upperCasedName) {
    if (!IsReceiverInterface(upperCasedName)) return;
    DeviceTrace("DBT_DEVICEREMOVECOMPLETE.\n");
    DeviceTrace("%s\n", upperCasedName.c_str());
    for (int i = 0; i < kMaxSlots; ++i) {
        DeviceSlot& slot = inputSlots_[static_cast<std::size_t>(i)];
        if (!InterfaceNameMatchesPath(upperCasedName, slot.devicePath)) continue;
        // The slot's own reader goes first, so that its handle is closed once nobody
        // reads it.
        stopReader(i);
        DeviceTrace("%s\n", slot.devicePath.c_str());
        slot = DeviceSlot{};
    }
    if (InterfaceNameMatchesPath(upperCasedName, activeSlot_.devicePath)) {
        activeSlot_ = DeviceSlot{};
        active_.clear();
        parts_.controller.clearWirelessLink();
    }
    // The command collections stay listed until the next enumeration, but closed.
    for (DeviceSlot& slot : featureSlots_) {
        if (!InterfaceNameMatchesPath(upperCasedName, slot.devicePath)) continue;
        slot.featureHandle.reset();
        slot.inputHandle.reset();
    }
}

void DeviceDiscovery::makeActive(int readerIndex) {
    int paired = readerPairing_[static_cast<std::size_t>(readerIndex)];
    const DeviceSlot& input = inputSlots_[static_cast<std::size_t>(readerIndex)];
    if (paired < 0 || !readers_[static_cast<std::size_t>(readerIndex)] || !input.inputHandle) return;
    DeviceSlot& feature = featureSlots_[static_cast<std::size_t>(paired)];
    feature.inputHandle = input.inputHandle;
    activeSlot_ = feature;
    active_.set(feature.featureHandle, feature.inputHandle);
}

bool DeviceDiscovery::handleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == kUmReaderActive) {
        int index = static_cast<int>(wParam);
        // A reader of an earlier enumeration speaks of tables that are gone.
        if (static_cast<std::uint32_t>(lParam) == generation_ && index >= 0 && index < kMaxSlots) makeActive(index);
        return true;
    }
    if (message == kUmReaderEvent) {
        DeviceTrace("iNum = %d\r\n", static_cast<int>(wParam >> 16));
        parts_.controller.onReceiverEvent(
            {static_cast<std::uint16_t>(wParam & 0xFFFF), static_cast<std::uint16_t>(lParam)});
        return true;
    }
    return false;
}

bool DeviceDiscovery::onTimer(int id) {
    if (id != TimerId::Reenumerate) return false;
    parts_.timers.kill(id);
    EnumerateDevices();
    return true;
}

}  // namespace halvern
