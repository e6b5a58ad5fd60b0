// The command and input collections of the active receiver, where the 2.4 GHz
// transport sends its feature reports. The main thread sets and clears it; the apply
// worker sends through it. A send holds its own reference to the collection, so a
// receiver removed in the middle of a send is closed once that send returns.
#pragma once

#include <memory>
#include <mutex>

#include "device/HidBackend.h"
#include "protocol/Transports.h"

namespace halvern {

class ActiveReceiver final : public ReceiverFeatureTransport {
public:
    void set(std::shared_ptr<HidDevice> feature, std::shared_ptr<HidDevice> input);
    void clear() { set(nullptr, nullptr); }

    std::shared_ptr<HidDevice> featureHandle() const;
    std::shared_ptr<HidDevice> inputHandle() const;

    // hid_send_feature_report on the command collection; -1 when there is none.
    int sendFeatureReport(std::span<const std::uint8_t> report) override;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<HidDevice> feature_;
    std::shared_ptr<HidDevice> input_;
};

}  // namespace halvern
