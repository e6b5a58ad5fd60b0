// The link flags and the acknowledgement flag, shared without locks between the main
// thread, the reader threads, the Bluetooth LE notification path and the apply worker.
// Every member is an atomic so that each reader of a flag sees the latest store.
//
// Who writes what:
// - `wiredLink`: the main thread (cable device opened or closed). 1 = up.
// - `wirelessLink`: the main thread and the reader threads (receiver events, the link
//   watchdog). Non-zero = up.
// - `bleLink`: the main thread (Bluetooth LE mouse present). Non-zero = up.
// - `anyLink`: the main thread, for the page's link sections; the protocol never reads
//   it.
// - `ackReceived`: the reader threads and the Bluetooth LE notification path, through
//   recordAcknowledgement(); the send path clears it before it waits for an answer.
// The apply worker and the send path only read the link flags.
#pragma once

#include <atomic>
#include <cstdint>

#include "protocol/Transports.h"

namespace halvern {

struct LinkState {
    std::atomic<std::int32_t> wiredLink{0};
    std::atomic<std::int32_t> wirelessLink{0};
    std::atomic<std::int32_t> bleLink{0};
    std::atomic<std::int32_t> anyLink{0};
    std::atomic<std::int32_t> ackReceived{0};

    // The apply worker runs a request only while one of the three links equals 1
    // exactly; a receiver flag holding another non-zero value does not count here,
    // although the send path would use it.
    bool applyLinkUp() const { return wiredLink == 1 || wirelessLink == 1 || bleLink == 1; }

    // The flag of one link: `wiredLink`, `wirelessLink` or `bleLink`.
    std::atomic<std::int32_t>& flag(TransportLink link) {
        switch (link) {
            case TransportLink::Cable: return wiredLink;
            case TransportLink::Receiver: return wirelessLink;
            case TransportLink::Ble: break;
        }
        return bleLink;
    }

    // The mouse's answer to a command (event 0x50): the low byte of the event value
    // is the result, 0 meaning success. A failure clears an earlier success.
    void recordAcknowledgement(std::uint16_t eventValue) { ackReceived = (eventValue & 0xFF) == 0 ? 1 : 0; }
};

}  // namespace halvern
