// How long a reader waits on its collection: until a stop on a device that can break
// a read off, in short turns on one that cannot.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "device/ReaderThread.h"

using namespace halvern;
using namespace std::chrono_literals;

namespace {

// Never has a report; a read waits out its time limit unless interrupted.
class QuietDevice final : public HidDevice {
public:
    explicit QuietDevice(bool interruptible) : interruptible_(interruptible) {}

    int read(std::span<std::uint8_t>, std::chrono::milliseconds timeout) override {
        std::unique_lock lock(mutex_);
        waits_.push_back(timeout);
        asked_.notify_all();
        // A device that cannot interrupt still ends the read at its limit.
        const auto limit = interruptible_ ? timeout : std::min(timeout, 20ms);
        woken_.wait_for(lock, limit, [this] { return interrupted_; });
        interrupted_ = false;
        return 0;
    }
    int sendFeatureReport(std::span<const std::uint8_t>) override { return -1; }
    void interruptRead() override {
        std::lock_guard lock(mutex_);
        if (!interruptible_) return;
        interrupted_ = true;
        woken_.notify_all();
    }
    bool interruptible() const override { return interruptible_; }

    std::chrono::milliseconds firstWait() {
        std::unique_lock lock(mutex_);
        asked_.wait(lock, [this] { return !waits_.empty(); });
        return waits_.front();
    }

private:
    const bool interruptible_;
    std::mutex mutex_;
    std::condition_variable asked_;
    std::condition_variable woken_;
    std::vector<std::chrono::milliseconds> waits_;
    bool interrupted_ = false;
};

}  // namespace

TEST(ReaderWait, OnAnInterruptibleDeviceTheReaderSleepsUntilStoppedAndStopsAtOnce) {
    auto device = std::make_shared<QuietDevice>(true);
    auto reader = std::make_unique<ReaderThread>(ReaderThread::Setup{.input = device});
    ASSERT_TRUE(reader->started());
    EXPECT_GE(device->firstWait(), 60s);

    const auto before = std::chrono::steady_clock::now();
    reader.reset();  // stops and joins
    EXPECT_LT(std::chrono::steady_clock::now() - before, 10s) << "the stop waited for the read's time limit";
}

TEST(ReaderWait, OnADeviceThatCannotBeInterruptedReadsStayShort) {
    auto device = std::make_shared<QuietDevice>(false);
    ReaderThread reader(ReaderThread::Setup{.input = device});
    ASSERT_TRUE(reader.started());
    EXPECT_EQ(device->firstWait(), kReadTimeout);
}
