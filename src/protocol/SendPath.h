// Delivers one report to the mouse over whichever link is up, with the pauses and
// retries the mouse needs. Used by the apply worker only, so reports never interleave.
//
// The link is chosen in this order, first match wins:
// 1. Cable (`wiredLink` = 1): the driver library's SetFeature. A report goes once and
//    is followed by 200 ms; a macro chunk goes as three 64-byte parts, each followed by
//    200 ms when it was written. Result: the library's result (of the last part).
// 2. Receiver (`wirelessLink` non-zero): `ackReceived` is cleared, then the report is
//    written up to 10 times, 500 ms after each, stopping as soon as the mouse has
//    acknowledged; a macro chunk goes in up to 10 passes of its three parts, 1000 ms
//    after each part. Write errors only cost their attempt. Result: 1.
// 3. Bluetooth LE (`bleLink` non-zero): the whole report (a macro chunk too) in one
//    write, then 500 ms. The polling report is refused here without a write. Result:
//    1 when the write succeeded, else 0.
// 4. No link: 0, nothing written.
// A link whose transport is missing counts as down, whatever its flag says.
//
// Every pause is a sleep on the injected clock; nothing else waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>

#include "protocol/Clock.h"
#include "protocol/LinkState.h"
#include "protocol/Transports.h"

namespace halvern {

namespace SendPacing {
inline constexpr std::chrono::milliseconds kDriverPause{200};
inline constexpr std::chrono::milliseconds kReceiverPause{500};
inline constexpr std::chrono::milliseconds kReceiverPartPause{1000};
inline constexpr std::chrono::milliseconds kBlePause{500};
inline constexpr int kReceiverAttempts = 10;
}  // namespace SendPacing

class SendPath {
public:
    // The link state, the transports and the clock must outlive the send path. It
    // clears `ackReceived` and reads every other flag.
    SendPath(LinkState& links, Transports transports, Clock& clock)
        : links_(links), transports_(transports), clock_(clock) {}

    // Sends one report built by CommandReports; byte 0 is its id. Returns 1 when it
    // went out, 0 when it did not (the driver path returns the library's result).
    int sendCommand(std::span<const std::uint8_t> report);

private:
    int sendOverDriver(std::span<const std::uint8_t> report);
    int sendOverReceiver(std::span<const std::uint8_t> report);
    int sendOverBle(std::span<const std::uint8_t> report);
    LinkState& links_;
    Transports transports_;
    Clock& clock_;
};

}  // namespace halvern
