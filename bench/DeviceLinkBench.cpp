// The device link's running costs, with the virtual receiver linked, on the real
// clock and Qt's event loop as halvern runs them:
// - idle: the process's CPU time and wake-ups (context switches) per second while
//   the mouse is linked and silent; target under 0.5 % of one core;
// - input latency: from an input report leaving the mouse to its effect on the main
//   thread; target p99 under 12 ms.
// Not a test: run it by hand, `build/bench/device_link_bench [idle-seconds] [events]`.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QTimer>

#include "VirtualDevices.h"
#include "host/DeviceStack.h"
#include "host/QtDeviceLoop.h"

namespace {

using namespace halvern;
using WallClock = std::chrono::steady_clock;

// Stamps the arrival of each event on the main thread.
class Stamps final : public QuietDeviceObserver {
public:
    void eventDispatched(Link, DeviceEvent event) override {
        if (event.code() == EventCode::BatteryLevel) arrivals.push_back({event.value, WallClock::now()});
    }
    std::vector<std::pair<int, WallClock::time_point>> arrivals;
};

class Scratch final : public ProfileHolder {
public:
    MouseProfile* currentProfile() override { return p.get(); }
    void settingReported(SettingId setting, std::int32_t value) override { SetValue(*p, setting, value); }
    void mouseSaved() override {}
    std::unique_ptr<MouseProfile> p = MouseProfile::Create(u"bench");
};

struct Usage {
    double cpuSeconds;
    long switches;
};

Usage Now() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return {
        static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6,
        r.ru_nvcsw + r.ru_nivcsw};
}

void RunFor(std::chrono::milliseconds d) {
    QTimer::singleShot(static_cast<int>(d.count()), [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    const int idleSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int events = argc > 2 ? std::max(10, std::atoi(argv[2])) : 2000;
    QCoreApplication app(argc, argv);

    SteadyClock clock;
    emu::VirtualDevices::Options vo;
    vo.realTime = true;
    emu::VirtualDevices world(*emu::NamedScenario("receiver"), clock, vo);
    QtDeviceLoop loop;
    Stamps observer;
    Scratch profile;
    LinkState links;
    DeviceStack::Options options;
    options.virtualDevices = &world;
    options.loadDriver = false;
    std::string error;
    auto stack = DeviceStack::Create(options, {loop, loop.window(), observer, profile, links}, error);
    loop.setMessageHandler(
        [&](std::uint32_t m, std::uintptr_t w, std::intptr_t l) { stack->link().handleMessage(m, w, l); });
    loop.setTimerHandler([&](int id) { stack->link().onTimer(id); });
    stack->link().start();
    RunFor(std::chrono::milliseconds(300));
    if (links.wirelessLink != 1) {
        std::fprintf(stderr, "device_link_bench: the virtual receiver did not link\n");
        return 1;
    }

    // Idle: the mouse stays silent. After 6 s the watchdog takes the link as lost,
    // which does not change what runs: the reader keeps waiting for reports.
    Usage before = Now();
    auto start = WallClock::now();
    RunFor(std::chrono::seconds(idleSeconds));
    double wall = std::chrono::duration<double>(WallClock::now() - start).count();
    Usage after = Now();
    std::printf("idle, receiver linked, %d reader: %.3f %% of one core, %.1f wake-ups/s (%.1f s)\n",
                stack->link().discovery().readerCount(), 100.0 * (after.cpuSeconds - before.cpuSeconds) / wall,
                static_cast<double>(after.switches - before.switches) / wall, wall);

    // Latency: the mouse reports its battery level (an event without other effects)
    // every 2 ms from a thread of its own.
    std::vector<WallClock::time_point> sent(static_cast<std::size_t>(events));
    std::atomic<bool> done{false};
    std::thread mouse([&] {
        for (int i = 0; i < events; ++i) {
            sent[static_cast<std::size_t>(i)] = WallClock::now();
            world.mouse().raise(Link::Receiver,
                                DeviceEvent::Make(EventCode::BatteryLevel, static_cast<std::uint16_t>(i)));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        done = true;
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done && observer.arrivals.size() >= static_cast<std::size_t>(events)) QCoreApplication::quit();
    });
    poll.start(20);
    QTimer::singleShot(60000, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    mouse.join();

    std::vector<double> latencies;
    for (auto& [index, arrived] : observer.arrivals)
        if (index >= 0 && index < events)
            latencies.push_back(
                std::chrono::duration<double, std::milli>(arrived - sent[static_cast<std::size_t>(index)]).count());
    std::sort(latencies.begin(), latencies.end());
    auto pct = [&](double p) {
        return latencies.empty() ? 0.0 : latencies[static_cast<std::size_t>(p * (latencies.size() - 1))];
    };
    std::printf("input report to main thread, %zu of %d events: p50 %.3f ms, p99 %.3f ms, max %.3f ms\n",
                latencies.size(), events, pct(0.50), pct(0.99), latencies.empty() ? 0.0 : latencies.back());
    stack.reset();
    return 0;
}
