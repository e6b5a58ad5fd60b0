#include "protocol/SendPath.h"

#include "protocol/CommandReports.h"

namespace halvern {

using namespace SendPacing;

int SendPath::sendCommand(std::span<const std::uint8_t> report) {
    if (report.empty()) return 0;
    if (links_.wiredLink == 1 && transports_.driver) return sendOverDriver(report);
    if (links_.wirelessLink != 0 && transports_.receiver) return sendOverReceiver(report);
    if (links_.bleLink != 0 && transports_.ble) return sendOverBle(report);
    return 0;
}

int SendPath::sendOverDriver(std::span<const std::uint8_t> report) {
    DriverFeatureTransport& driver = *transports_.driver;
    if (report[0] != ReportId::MacroChunk) {
        int result = driver.setFeature(report);
        clock_.sleepFor(kDriverPause);
        return result;
    }
    int result = 0;
    for (const Report& part : SplitMacroChunk(report, SplitLink::Driver)) {
        result = driver.setFeature(part.bytes());
        if (result != 0) clock_.sleepFor(kDriverPause);
    }
    return result;
}

int SendPath::sendOverReceiver(std::span<const std::uint8_t> report) {
    ReceiverFeatureTransport& receiver = *transports_.receiver;
    // An answer to an earlier report must not end this one's attempts.
    links_.ackReceived = 0;
    if (report[0] != ReportId::MacroChunk) {
        for (int attempt = 0; attempt < kReceiverAttempts && links_.ackReceived == 0; ++attempt) {
            receiver.sendFeatureReport(report);
            clock_.sleepFor(kReceiverPause);
        }
        return 1;
    }
    const std::array<Report, kMacroPartCount> parts = SplitMacroChunk(report, SplitLink::Receiver);
    for (int pass = 0; pass < kReceiverAttempts && links_.ackReceived == 0; ++pass) {
        for (const Report& part : parts) {
            receiver.sendFeatureReport(part.bytes());
            clock_.sleepFor(kReceiverPartPause);
        }
    }
    return 1;
}

int SendPath::sendOverBle(std::span<const std::uint8_t> report) {
    // The mouse takes no polling rate over Bluetooth LE.
    if (report[0] == ReportId::Polling) return 0;
    int written = transports_.ble->writeCommand(report);
    clock_.sleepFor(kBlePause);
    return written != 0 ? 1 : 0;
}

}  // namespace halvern
