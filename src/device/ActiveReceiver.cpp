#include "device/ActiveReceiver.h"

#include <utility>

namespace halvern {

void ActiveReceiver::set(std::shared_ptr<HidDevice> feature, std::shared_ptr<HidDevice> input) {
    std::shared_ptr<HidDevice> oldFeature, oldInput;
    {
        std::lock_guard lock(mutex_);
        oldFeature = std::exchange(feature_, std::move(feature));
        oldInput = std::exchange(input_, std::move(input));
    }
    // The old handles close here, outside the lock, when this was their last owner.
}

std::shared_ptr<HidDevice> ActiveReceiver::featureHandle() const {
    std::lock_guard lock(mutex_);
    return feature_;
}

std::shared_ptr<HidDevice> ActiveReceiver::inputHandle() const {
    std::lock_guard lock(mutex_);
    return input_;
}

int ActiveReceiver::sendFeatureReport(std::span<const std::uint8_t> report) {
    std::shared_ptr<HidDevice> device = featureHandle();
    return device ? device->sendFeatureReport(report) : -1;
}

}  // namespace halvern
