#include "protocol/SendPath.h"

#include "protocol/CommandReports.h"

namespace halvern {

using namespace SendPacing;

Delivery SendPath::sendCommand(std::span<const std::uint8_t> report, std::stop_token stop) {
    if (report.empty()) return Delivery::Refused;
    if (stop.stop_requested()) return Delivery::Stopped;
    if (links_.wiredLink == 1 && transports_.driver) return sendOverDriver(report, stop);
    if (links_.wirelessLink != 0 && transports_.receiver) return sendOverReceiver(report, stop);
    if (links_.bleLink != 0 && transports_.ble) return sendOverBle(report, stop);
    return Delivery::NoLink;
}

Delivery SendPath::sendOverDriver(std::span<const std::uint8_t> report, const std::stop_token& stop) {
    DriverFeatureTransport& driver = *transports_.driver;
    if (report[0] != ReportId::MacroChunk) {
        const bool written = driver.setFeature(report) != 0;
        clock_.interruptibleSleepFor(kDriverPause, stop);
        return written ? Delivery::Written : Delivery::Failed;
    }
    // A chunk the mouse got only part of is no chunk: every part must go.
    bool everyPartWritten = true;
    for (const Report& part : SplitMacroChunk(report, SplitLink::Driver)) {
        if (stop.stop_requested()) return Delivery::Stopped;
        if (driver.setFeature(part.bytes()) != 0) clock_.interruptibleSleepFor(kDriverPause, stop);
        else everyPartWritten = false;
    }
    return everyPartWritten ? Delivery::Written : Delivery::Failed;
}

Delivery SendPath::sendOverReceiver(std::span<const std::uint8_t> report, const std::stop_token& stop) {
    ReceiverFeatureTransport& receiver = *transports_.receiver;
    // An answer to an earlier report must not end this one's attempts.
    links_.ackReceived = 0;
    bool anyWritten = false;
    auto write = [&](std::span<const std::uint8_t> bytes, std::chrono::milliseconds pause) {
        if (receiver.sendFeatureReport(bytes) > 0) anyWritten = true;
        clock_.interruptibleSleepFor(pause, stop);
    };
    if (report[0] != ReportId::MacroChunk) {
        for (int attempt = 0; attempt < kReceiverAttempts && links_.ackReceived == 0; ++attempt) {
            if (stop.stop_requested()) return Delivery::Stopped;
            write(report, kReceiverPause);
        }
    } else {
        const std::array<Report, kMacroPartCount> parts = SplitMacroChunk(report, SplitLink::Receiver);
        for (int pass = 0; pass < kReceiverAttempts && links_.ackReceived == 0; ++pass) {
            for (const Report& part : parts) {
                if (stop.stop_requested()) return Delivery::Stopped;
                write(part.bytes(), kReceiverPartPause);
            }
        }
    }
    if (links_.ackReceived != 0) return Delivery::Confirmed;
    return anyWritten ? Delivery::Unconfirmed : Delivery::Failed;
}

Delivery SendPath::sendOverBle(std::span<const std::uint8_t> report, const std::stop_token& stop) {
    // The mouse takes no polling rate over Bluetooth LE.
    if (report[0] == ReportId::Polling) return Delivery::Refused;
    const bool written = transports_.ble->writeCommand(report) != 0;
    clock_.interruptibleSleepFor(kBlePause, stop);
    return written ? Delivery::Written : Delivery::Failed;
}

}  // namespace halvern
