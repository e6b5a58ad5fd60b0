// One reader: a thread that reads the input reports of one receiver input collection
// and hands what it accepts to the main thread.
//
// The first report decides: when the reader's collection pairs with a command
// collection of the same receiver and that first report carries the marker 0xEE, the
// reader is accepted and asks the main thread (kUmReaderActive) to make its receiver
// the active one; otherwise it stays ignored until the next enumeration. An accepted
// reader posts every marked event with report id 3 (kUmReaderEvent) and records an
// acknowledgement (code 0x50) itself, at once, because the apply worker is waiting
// for it.
//
// A stop interrupts the read in progress. On a device that cannot interrupt a read,
// reads wait at most kReadTimeout, so a stop takes no longer than that; on one that
// can, the reader sleeps until a report comes (kInterruptibleReadTimeout only bounds
// the wait). A read error (the device is gone) idles the reader until it is stopped.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>

#include "device/DeviceEvent.h"
#include "device/HidBackend.h"
#include "halvern_abi.h"
#include "protocol/LinkState.h"

namespace halvern {

inline constexpr std::chrono::milliseconds kReadTimeout{250};
inline constexpr std::chrono::milliseconds kInterruptibleReadTimeout{60000};
inline constexpr std::chrono::milliseconds kReadErrorPause{10};

// What a reader has made of the reports so far.
struct ReaderState {
    bool paired = false;  // a command collection shares its receiver
    bool firstReportSeen = false;
    bool accepted = false;  // its first report carried the marker
};

// What one report means for its reader.
struct ReportOutcome {
    bool becameActive = false;         // ask for this receiver to become the active one
    std::optional<DeviceEvent> event;  // a marked event with report id 3, to hand over
};

// One report (the reader's zero-filled buffer) against the reader's state so far.
ReportOutcome ReadReport(ReaderState& state, std::span<const std::uint8_t, kInputReportBuffer> report);

class ReaderThread {
public:
    struct Setup {
        int index = 0;                     // the reader's input slot
        std::shared_ptr<HidDevice> input;  // the collection it reads
        bool paired = false;               // a command collection shares its receiver
        std::uint32_t generation = 0;      // the enumeration that started it
        LinkState* links = nullptr;
        const HalvernHostWindow* host = nullptr;
    };

    // Starts the thread; started() tells whether the system gave one.
    explicit ReaderThread(Setup setup);
    // Stops and joins.
    ~ReaderThread();
    ReaderThread(const ReaderThread&) = delete;
    ReaderThread& operator=(const ReaderThread&) = delete;

    bool started() const { return started_; }

    // Asks the thread to end without waiting for it, so that several readers can be
    // stopped at once; join() then waits.
    void requestStop();
    void join();

private:
    void run();
    void post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    void pauseAfterError();

    Setup setup_;
    std::atomic<bool> stop_{false};
    std::mutex pauseMutex_;
    std::condition_variable pauseWake_;
    bool started_ = false;
    ReaderState state_;  // the reader's own thread only
    std::thread thread_;
};

}  // namespace halvern
