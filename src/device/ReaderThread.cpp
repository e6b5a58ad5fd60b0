#include "device/ReaderThread.h"

#include <system_error>

#include "device/WindowIds.h"
#include "device/LinkController.h"

namespace halvern {

ReportOutcome ReadReport(ReaderState& state, std::span<const std::uint8_t, kInputReportBuffer> report) {
    ReportOutcome outcome;
    if (state.paired && !state.firstReportSeen) {
        state.firstReportSeen = true;
        state.accepted = report[1] == kEventMarker;
        outcome.becameActive = state.accepted;
    }
    if (!state.accepted || report[0] != kEventReportId) return outcome;
    DeviceEvent event = EventFromInputReport(report);
    // Unmarked events change nothing on the main thread; they are not handed over.
    if (event.isMouseEvent()) outcome.event = event;
    return outcome;
}

ReaderThread::ReaderThread(Setup setup) : setup_(std::move(setup)) {
    state_.paired = setup_.paired;
    try {
        thread_ = std::thread([this] { run(); });
        started_ = true;
    } catch (const std::system_error&) { started_ = false; }
}

ReaderThread::~ReaderThread() {
    requestStop();
    join();
}

void ReaderThread::requestStop() {
    {
        std::lock_guard lock(pauseMutex_);
        stop_ = true;
    }
    pauseWake_.notify_all();
    if (setup_.input) setup_.input->interruptRead();
}

void ReaderThread::join() {
    if (thread_.joinable()) thread_.join();
}

void ReaderThread::post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (setup_.host) setup_.host->post(setup_.host->context, message, wParam, lParam);
}

void ReaderThread::pauseAfterError() {
    std::unique_lock lock(pauseMutex_);
    pauseWake_.wait_for(lock, kReadErrorPause, [this] { return stop_.load(); });
}

void ReaderThread::run() {
    std::array<std::uint8_t, kInputReportBuffer> buffer;
    // Waking only to find nothing to do costs a laptop's battery: wait as long as a
    // stop can still end the wait.
    const std::chrono::milliseconds timeout =
        setup_.input && setup_.input->interruptible() ? kInterruptibleReadTimeout : kReadTimeout;
    while (!stop_) {
        buffer.fill(0);
        int n = setup_.input ? setup_.input->read(buffer, timeout) : -1;
        if (stop_) break;
        if (n < 0) {
            pauseAfterError();
            continue;
        }
        if (n == 0) continue;
        ReportOutcome outcome = ReadReport(state_, buffer);
        if (outcome.becameActive) post(kUmReaderActive, static_cast<std::uintptr_t>(setup_.index), setup_.generation);
        if (!outcome.event) continue;
        if (setup_.links) LinkController::RecordAcknowledgement(*setup_.links, *outcome.event);
        post(kUmReaderEvent, static_cast<std::uintptr_t>(setup_.index) << 16 | outcome.event->head,
             outcome.event->value);
    }
}

}  // namespace halvern
