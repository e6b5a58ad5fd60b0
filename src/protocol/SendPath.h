// Delivers one report to the mouse over whichever link is up, with the pauses and
// retries the mouse needs, and says how far it got. Used by the apply worker only, so
// reports never interleave.
//
// The link is chosen in this order, first match wins:
// 1. Cable (`wiredLink` = 1): the driver library's SetFeature. A report goes once and
//    is followed by 200 ms; a macro chunk goes as three 64-byte parts, each followed by
//    200 ms when it was written. Written when every call succeeded, else Failed.
// 2. Receiver (`wirelessLink` non-zero): `ackReceived` is cleared, then the report is
//    written up to 10 times, 500 ms after each, stopping as soon as the mouse has
//    acknowledged; a macro chunk goes in up to 10 passes of its three parts, 1000 ms
//    after each part. Write errors only cost their attempt. Confirmed when the mouse
//    acknowledged (during the last pause too), else Unconfirmed when at least one
//    write went out, else Failed.
// 3. Bluetooth LE (`bleLink` non-zero): the whole report (a macro chunk too) in one
//    write, then 500 ms. Written when the write succeeded, else Failed. The polling
//    report is Refused here without a write.
// 4. No link: NoLink, nothing written.
// A link whose transport is missing counts as down, whatever its flag says.
//
// Stopping: a stop requested through `stop` ends the send before its next write and
// cuts the pause in progress short, so a silent mouse on the receiver never holds a
// quitting program for the 30 s a macro chunk may cost. Such a send is Stopped,
// whatever it wrote before; a cable or Bluetooth LE report already written keeps its
// result and only loses the rest of its pause.
//
// Every pause is a sleep on the injected clock; nothing else waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <stop_token>

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

// How far one report got.
enum class Delivery {
    Confirmed,    // the mouse acknowledged it (receiver)
    Written,      // written on a link that does not acknowledge (cable, Bluetooth LE)
    Unconfirmed,  // written to the receiver, but the mouse never acknowledged
    Refused,      // the link does not carry this report; nothing written
    Failed,       // no write succeeded (for a cable macro chunk: not all three)
    NoLink,       // no usable link; nothing written
    Stopped,      // a stop ended the send early
};

// Whether the mouse holds the report as far as the link can tell.
constexpr bool ReachedMouse(Delivery d) { return d == Delivery::Confirmed || d == Delivery::Written; }

class SendPath {
public:
    // The link state, the transports and the clock must outlive the send path. It
    // clears `ackReceived` and reads every other flag.
    SendPath(LinkState& links, Transports transports, Clock& clock)
        : links_(links), transports_(transports), clock_(clock) {}

    // Sends one report built by CommandReports; byte 0 is its id. An empty report is
    // Refused.
    Delivery sendCommand(std::span<const std::uint8_t> report, std::stop_token stop = {});

private:
    Delivery sendOverDriver(std::span<const std::uint8_t> report, const std::stop_token& stop);
    Delivery sendOverReceiver(std::span<const std::uint8_t> report, const std::stop_token& stop);
    Delivery sendOverBle(std::span<const std::uint8_t> report, const std::stop_token& stop);
    LinkState& links_;
    Transports transports_;
    Clock& clock_;
};

}  // namespace halvern
