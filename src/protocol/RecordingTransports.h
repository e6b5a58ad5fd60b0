// A stand-in mouse on all three transports that keeps every buffer written to it and
// answers as told: by default every write succeeds and the receiver acknowledges each
// write at once. halvernctl uses it to show what an apply writes; tests and benchmarks
// use it to watch the send path.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "protocol/Clock.h"
#include "protocol/LinkState.h"
#include "protocol/Transports.h"

namespace halvern {

struct WrittenBuffer {
    TransportLink link;
    std::vector<std::uint8_t> bytes;
    std::chrono::milliseconds at;  // on the given clock; 0 without one
};

class RecordingTransports final : public DriverFeatureTransport,
                                  public ReceiverFeatureTransport,
                                  public BleCommandTransport {
public:
    // Acknowledgements go to `acknowledgeTo` (when given); writes are stamped with
    // `clock` (when given). Both must outlive this object.
    explicit RecordingTransports(LinkState* acknowledgeTo = nullptr, const Clock* clock = nullptr)
        : acknowledgeTo_(acknowledgeTo), clock_(clock) {}

    int setFeature(std::span<const std::uint8_t> report) override;
    int sendFeatureReport(std::span<const std::uint8_t> report) override;
    int writeCommand(std::span<const std::uint8_t> report) override;

    Transports transports() { return {this, this, this}; }

    // Safe to call while another thread writes.
    std::vector<WrittenBuffer> written() const;
    void clear();

    // How the stand-in answers; may be changed at any time from any thread.
    std::atomic<int> driverResult{1};           // what SetFeature returns
    std::atomic<int> bleResult{1};              // what the Bluetooth LE write returns
    std::atomic<bool> acknowledgeAtOnce{true};  // the receiver acknowledges each write

private:
    void record(TransportLink link, std::span<const std::uint8_t> report);

    LinkState* acknowledgeTo_;
    const Clock* clock_;
    mutable std::mutex mutex_;
    std::vector<WrittenBuffer> written_;  // guarded by mutex_
};

}  // namespace halvern
