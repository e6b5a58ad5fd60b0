#include "protocol/RecordingTransports.h"

namespace halvern {

void RecordingTransports::record(TransportLink link, std::span<const std::uint8_t> report) {
    std::chrono::milliseconds at = clock_ ? clock_->now() : std::chrono::milliseconds{0};
    std::lock_guard lock(mutex_);
    written_.push_back({link, std::vector<std::uint8_t>(report.begin(), report.end()), at});
}

int RecordingTransports::setFeature(std::span<const std::uint8_t> report) {
    record(TransportLink::Cable, report);
    return driverResult;
}

int RecordingTransports::sendFeatureReport(std::span<const std::uint8_t> report) {
    record(TransportLink::Receiver, report);
    if (acknowledgeAtOnce && acknowledgeTo_) acknowledgeTo_->recordAcknowledgement(0);
    return static_cast<int>(report.size());
}

int RecordingTransports::writeCommand(std::span<const std::uint8_t> report) {
    record(TransportLink::Ble, report);
    return bleResult;
}

std::vector<WrittenBuffer> RecordingTransports::written() const {
    std::lock_guard lock(mutex_);
    return written_;
}

void RecordingTransports::clear() {
    std::lock_guard lock(mutex_);
    written_.clear();
}

}  // namespace halvern
