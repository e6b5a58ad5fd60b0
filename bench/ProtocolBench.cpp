// What an apply costs beyond the pauses the mouse asks for, and what building its
// reports costs.
//
//   FullApplyOnTheRealClock/<link>  one full apply through the apply worker and the send
//       path, the mouse answering every report at once; counters: the pauses asked for
//       (pause_ms), the wall time beyond them (overhead_ms) and that as a share of the
//       pauses (overhead_pct, target below 1).
//   BuildFullApplyReports/<macro steps>  every report of a full apply with all seven
//       macro buttons in use.
//   DetectChanges  comparing two profiles.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>

#include "protocol/ApplySequence.h"
#include "protocol/ApplyWorker.h"
#include "protocol/RecordingTransports.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;

// The steady clock, keeping count of the pauses asked of it.
class PauseCountingClock final : public Clock {
public:
    std::chrono::milliseconds now() const override { return steady_.now(); }
    void sleepFor(std::chrono::milliseconds duration) override {
        paused_ += duration;
        steady_.sleepFor(duration);
    }
    std::chrono::milliseconds paused() const { return paused_; }  // read after the worker stopped

private:
    SteadyClock steady_;
    std::chrono::milliseconds paused_{0};
};

// Host calls run on the worker thread here: there is no main loop to post to, and none
// of them touches anything but the completion flag.
class CompletionHost final : public ApplyHost {
public:
    void stopLinkWatchdog() override {}
    void startLinkWatchdog(std::chrono::milliseconds) override {}
    void setApplyRingVisible(bool) override {}
    void saveProfileStore() override {}
    void applyProgress(std::size_t, std::size_t) override {}
    void lastAppliedChanged(const MouseProfile&) override {
        std::lock_guard lock(mutex_);
        done_ = true;
        cv_.notify_all();
    }
    void wait() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return done_; });
        done_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
};

std::unique_ptr<MouseProfile> ProfileWithMacros(std::initializer_list<std::size_t> entries, std::size_t steps) {
    auto p = MouseProfile::Create(u"Bench");
    MacroRecord m;
    m.setName(u"Bench");
    m.actionCount = static_cast<std::int32_t>(steps);
    for (std::size_t i = 0; i < steps; ++i)
        m.actions[i] = {static_cast<std::uint8_t>(4 + i % 26), static_cast<std::uint8_t>(1 + i % 2),
                        static_cast<std::uint16_t>(i % 3 ? 20 : 250)};
    for (std::size_t e : entries) p->buttons[e].assignMacro(m, 0, 1, 0);
    return p;
}

void FullApplyOnTheRealClock(benchmark::State& state) {
    const auto link = static_cast<TransportLink>(state.range(0));
    auto profile = ProfileWithMacros({0, 8}, 40);
    std::chrono::nanoseconds wall{0};
    std::chrono::milliseconds paused{0};
    for (auto _ : state) {
        LinkState links;
        links.flag(link) = 1;
        PauseCountingClock clock;
        RecordingTransports mouse(&links);
        CompletionHost host;
        {
            ApplyWorker worker(links, mouse.transports(), clock, host, [](ApplyWorker::Task t) { t(); });
            auto start = std::chrono::steady_clock::now();
            worker.requestApply(*profile, true);
            host.wait();
            wall += std::chrono::steady_clock::now() - start;
        }
        paused += clock.paused();
    }
    const double pauseMs = static_cast<double>(paused.count());
    const double overheadMs = std::chrono::duration<double, std::milli>(wall).count() - pauseMs;
    state.counters["pause_ms"] = pauseMs / static_cast<double>(state.iterations());
    state.counters["overhead_ms"] = overheadMs / static_cast<double>(state.iterations());
    state.counters["overhead_pct"] = 100.0 * overheadMs / pauseMs;
}
BENCHMARK(FullApplyOnTheRealClock)
    ->ArgName("link")
    ->Arg(static_cast<int>(TransportLink::Cable))
    ->Arg(static_cast<int>(TransportLink::Receiver))
    ->Arg(static_cast<int>(TransportLink::Ble))
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BuildFullApplyReports(benchmark::State& state) {
    auto profile = ProfileWithMacros({0, 1, 2, 3, 4, 8, 9}, static_cast<std::size_t>(state.range(0)));
    MouseProfile lastApplied;
    std::size_t reports = 0;
    for (auto _ : state) {
        std::vector<Report> plan = PlanApply(*profile, lastApplied, true);
        reports = plan.size();
        benchmark::DoNotOptimize(plan.data());
    }
    state.counters["reports"] = static_cast<double>(reports);
}
BENCHMARK(BuildFullApplyReports)->ArgName("steps")->Arg(0)->Arg(40)->Arg(160)->Unit(benchmark::kMicrosecond);

void DetectChangesBench(benchmark::State& state) {
    auto a = ProfileWithMacros({0, 8}, 160);
    MouseProfile b = *a;
    b.buttons[9].macroActions[159].delay = 1;  // the last byte compared
    for (auto _ : state) benchmark::DoNotOptimize(DetectChanges(*a, b));
}
BENCHMARK(DetectChangesBench)->Name("DetectChanges")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace halvern

BENCHMARK_MAIN();
