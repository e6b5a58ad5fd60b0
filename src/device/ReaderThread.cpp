#include "device/ReaderThread.h"

#include <system_error>

#include "device/DeviceMessages.h"
#include "device/LinkController.h"

namespace halvern {

ReaderThread::ReaderThread(Setup setup) : setup_(std::move(setup)) {
    try {
        thread_ = std::thread([this] { run(); });
        started_ = true;
    } catch (const std::system_error&) {
        started_ = false;
    }
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
    while (!stop_) {
        buffer.fill(0);
        int n = setup_.input ? setup_.input->read(buffer, kReadTimeout) : -1;
        if (stop_) break;
        if (n < 0) {
            pauseAfterError();
            continue;
        }
        if (n == 0) continue;
        handleReport(std::span<const std::uint8_t>(buffer.data(), buffer.size()));
    }
}

void ReaderThread::handleReport(std::span<const std::uint8_t> report) {
    if (setup_.paired && !firstReportSeen_) {
        firstReportSeen_ = true;
        accepted_ = report[1] == kEventMarker;
        if (accepted_) post(kUmReaderActive, static_cast<std::uintptr_t>(setup_.index), setup_.generation);
    }
    if (!accepted_ || report[0] != kEventReportId) return;
    DeviceEvent event = EventFromInputReport(report);
    // Unmarked events change nothing on the main thread; they are not handed over.
    if (!event.isMouseEvent()) return;
    if (setup_.links) LinkController::RecordAcknowledgement(*setup_.links, event);
    post(kUmReaderEvent, static_cast<std::uintptr_t>(setup_.index) << 16 | event.head, event.value);
}

}  // namespace halvern
