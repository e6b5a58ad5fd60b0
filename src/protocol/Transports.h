// The three ways a report reaches the mouse. The send path (SendPath.h) picks one per
// report from the link flags (LinkState.h); the device layer implements them over the
// driver library, hidapi and BlueZ, and the tests and halvernctl over recorders.
//
// Contract shared by all three:
// - They are called on the apply worker thread only, one call at a time, never
//   re-entered. An implementation that shares state with other threads (slot tables,
//   the BLE device list) guards that state itself.
// - `report` is the whole buffer to write, byte 0 being the report id; it is valid
//   only during the call. Its length is what goes on the wire (10, 15, 9, 56, 59, 131
//   or 64 for a part of a split macro chunk).
// - A call writes once and returns. It never retries, never sleeps for pacing and
//   never waits for the mouse's acknowledgement: pacing and retries belong to the send
//   path, and the acknowledgement arrives through LinkState::recordAcknowledgement.
// - A call never throws; failures are results.
#pragma once

#include <cstdint>
#include <span>

namespace halvern {

// The three links, in the order the send path tries them.
enum class TransportLink { Cable, Receiver, Ble };

// Cable: the driver library's "SetFeature"(bytes, length) on the feature device it
// opened. Returns the library's own result, non-zero when the report was written.
class DriverFeatureTransport {
public:
    virtual ~DriverFeatureTransport() = default;
    virtual int setFeature(std::span<const std::uint8_t> report) = 0;
};

// 2.4 GHz receiver: hid_send_feature_report on the command collection of the active
// receiver (the one whose reader saw the 0xEE marker first). Returns what
// hid_send_feature_report returns (bytes written, or -1, also when no receiver is
// active); the send path takes a positive result as written.
class ReceiverFeatureTransport {
public:
    virtual ~ReceiverFeatureTransport() = default;
    virtual int sendFeatureReport(std::span<const std::uint8_t> report) = 0;
};

// Bluetooth LE: one reliable write of the whole buffer to the command characteristic
// (…fee3…). Returns 1 when the write succeeded, 0 otherwise (no mouse, no
// characteristic, write refused).
class BleCommandTransport {
public:
    virtual ~BleCommandTransport() = default;
    virtual int writeCommand(std::span<const std::uint8_t> report) = 0;
};

// The transports handed to the send path; not owned. A null entry is a link that
// cannot carry reports: the send path treats it as down even when its flag is set.
struct Transports {
    DriverFeatureTransport* driver = nullptr;
    ReceiverFeatureTransport* receiver = nullptr;
    BleCommandTransport* ble = nullptr;
};

}  // namespace halvern
