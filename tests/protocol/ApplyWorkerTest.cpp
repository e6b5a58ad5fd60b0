#include "protocol/ApplyWorker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <string>
#include <thread>

#include "protocol/ApplySequence.h"
#include "protocol/RecordingTransports.h"
#include "support/Hex.h"
#include "support/PostedTasks.h"
#include "support/VirtualClock.h"
#include "support/Macros.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using test::VirtualClock;

// The main thread's side: every call logged, and a note when one arrives elsewhere.
class HostLog final : public ApplyHost {
public:
    void stopLinkWatchdog() override { note("watchdog stop"); }
    void startLinkWatchdog(std::chrono::milliseconds d) override { note("watchdog " + std::to_string(d.count())); }
    void setApplyRingVisible(bool v) override { note(v ? "ring shown" : "ring hidden"); }
    void saveProfileStore() override { note("save"); }
    void lastAppliedChanged(const MouseProfile& p) override {
        note("applied");
        applied.push_back(std::make_unique<MouseProfile>(p));
    }
    void applyProgress(std::size_t sent, std::size_t planned) override {
        note("progress " + std::to_string(sent) + "/" + std::to_string(planned));
    }
    void applyDropped() override { note("dropped"); }
    void applyFinished(ApplyOutcome outcome) override {
        static const char* names[] = {"applied", "unconfirmed", "incomplete"};
        note(std::string("outcome ") + names[static_cast<int>(outcome)]);
        outcomes.push_back(outcome);
        ++finished;
    }

    std::vector<std::string> calls;
    std::vector<ApplyOutcome> outcomes;
    std::vector<std::unique_ptr<MouseProfile>> applied;
    std::size_t finished = 0;  // applies run to their last step
    bool calledOffMainThread = false;

private:
    void note(std::string call) {
        if (std::this_thread::get_id() != mainThread_) calledOffMainThread = true;
        calls.push_back(std::move(call));
    }
    std::thread::id mainThread_ = std::this_thread::get_id();
};

// A worker on recording transports and virtual time; the test thread is its main
// thread. The worker is declared last, so it stops before anything it uses goes.
struct WorkerBench {
    explicit WorkerBench(VirtualClock::Mode mode = VirtualClock::Mode::AutoAdvance) : clock(mode) {}

    LinkState links;
    VirtualClock clock;
    RecordingTransports mouse{&links, &clock};
    test::PostedTasks mainThread;
    HostLog host;
    ApplyWorker worker{links, mouse.transports(), clock, host, mainThread.poster()};

    // Until `count` applies have run to their last step.
    bool waitForApplied(std::size_t count) {
        return mainThread.runUntil([&] { return host.finished >= count; });
    }
    bool waitForCall(const std::string& call) {
        return mainThread.runUntil(
            [&] { return std::find(host.calls.begin(), host.calls.end(), call) != host.calls.end(); });
    }
    std::vector<std::string> writtenHex() const {
        std::vector<std::string> out;
        for (const WrittenBuffer& w : mouse.written()) out.push_back(test::Hex(w.bytes));
        return out;
    }
};

std::vector<std::string> HexOf(const std::vector<Report>& reports) {
    std::vector<std::string> out;
    for (const Report& r : reports) out.push_back(test::Hex(r.bytes()));
    return out;
}

TEST(ApplyWorker, FullApplyRunsEveryStepInOrderAndHandsTheMainThreadItsShare) {
    WorkerBench b;
    b.links.wirelessLink = 1;
    auto p = MouseProfile::Create(u"P");
    p->buttons[0].assignMacro(test::ShortStepMacro(60), 0, 1, 0);
    p->buttons[8].assignMacro(test::ShortStepMacro(4), 0, 1, 1);
    b.worker.adoptAsApplied(*p);
    b.worker.requestApply(*p, true);
    ASSERT_TRUE(b.waitForApplied(1));

    const std::vector<std::string> expectedCalls = {"watchdog stop", "ring shown",   "progress 0/8", "progress 1/8",
                                                    "progress 2/8",  "progress 3/8", "progress 4/8", "progress 5/8",
                                                    "progress 6/8",  "progress 7/8", "progress 8/8", "watchdog 6000",
                                                    "save",          "applied",      "ring hidden",  "outcome applied"};
    EXPECT_EQ(b.host.calls, expectedCalls);
    EXPECT_FALSE(b.host.calledOffMainThread);
    EXPECT_EQ(std::memcmp(b.host.applied[0].get(), p.get(), sizeof(MouseProfile)), 0);

    // On the receiver each chunk travels as three parts, the mouse answering at once.
    std::vector<std::string> expected;
    for (const Report& r : PlanApply(*p, *p, true)) {
        if (r.id() != ReportId::MacroChunk) {
            expected.push_back(test::Hex(r.bytes()));
            continue;
        }
        for (const Report& part : SplitMacroChunk(r.bytes(), SplitLink::Receiver))
            expected.push_back(test::Hex(part.bytes()));
    }
    EXPECT_EQ(b.writtenHex(), expected);
    EXPECT_EQ(expected.size(), 5u + 3 * 3);
    // 500 ms after each ordinary report; 3 x 1000 ms for the parts and 500 ms after each chunk.
    EXPECT_EQ(b.clock.sleptInTotal(), 5 * 500ms + 3 * (3 * 1000ms + 500ms));
}

TEST(ApplyWorker, LaterAppliesSendOnlyWhatDiffersFromWhatWasSent) {
    WorkerBench b;
    b.links.wiredLink = 1;
    auto p = MouseProfile::Create(u"P");
    b.worker.adoptAsApplied(*p);
    b.worker.requestApply(*p, true);
    ASSERT_TRUE(b.waitForApplied(1));
    b.mouse.clear();

    p->lightEffectBle = 0;
    b.worker.requestApply(*p);
    ASSERT_TRUE(b.waitForApplied(2));
    EXPECT_EQ(b.writtenHex(), HexOf({BuildLightPowerReport(*p)}));

    // A rename reaches no report, but the apply still ends as every apply does.
    b.mouse.clear();
    b.host.calls.clear();
    p->setName(u"Renamed");
    b.worker.requestApply(*p);
    ASSERT_TRUE(b.waitForApplied(3));
    EXPECT_TRUE(b.mouse.written().empty());
    EXPECT_EQ(b.host.calls, (std::vector<std::string>{"watchdog stop", "ring shown", "progress 0/0", "watchdog 6000",
                                                      "save", "applied", "ring hidden", "outcome applied"}));
}

TEST(ApplyWorker, ARequestWithoutALinkIsDroppedAndAFullApplyStaysDue) {
    WorkerBench b;
    auto p = MouseProfile::Create(u"P");
    b.worker.adoptAsApplied(*p);
    b.worker.requestApply(*p, true);
    ASSERT_TRUE(b.waitForCall("dropped"));
    EXPECT_TRUE(b.worker.fullApplyPending());

    b.links.wirelessLink = 2;  // the send path would use it, the worker does not
    b.worker.requestApply(*p);
    ASSERT_TRUE(b.mainThread.runUntil([&] { return b.host.calls.size() == 2; }));
    EXPECT_EQ(b.host.calls, (std::vector<std::string>{"dropped", "dropped"}));
    EXPECT_TRUE(b.mouse.written().empty());

    b.links.wirelessLink = 0;
    b.links.bleLink = 1;
    b.worker.requestApply(*p);  // an ordinary request, run as the full one still due
    ASSERT_TRUE(b.waitForApplied(1));
    EXPECT_FALSE(b.worker.fullApplyPending());
    std::vector<std::string> written = b.writtenHex();
    ASSERT_EQ(written.size(), 4u);  // no polling report over Bluetooth LE
    EXPECT_EQ(written[0], test::Hex(BuildPreamble().bytes()));
}

TEST(ApplyWorker, ASettingTheMouseReportedIsNotSentBack) {
    WorkerBench b;
    b.links.wiredLink = 1;
    auto p = MouseProfile::Create(u"P");
    b.worker.adoptAsApplied(*p);
    p->dpiStep = 2;  // the DPI button on the mouse
    b.worker.adoptAsApplied(*p);
    b.worker.requestApply(*p);
    ASSERT_TRUE(b.waitForApplied(1));
    EXPECT_TRUE(b.mouse.written().empty());
}

TEST(ApplyWorker, EditsMadeWhileAnApplyRunsAreNeitherHalfSentNorLost) {
    WorkerBench b(VirtualClock::Mode::Manual);
    b.links.wirelessLink = 1;
    b.mouse.acknowledgeAtOnce = true;
    MouseProfile live = *MouseProfile::Create(u"P");
    b.worker.adoptAsApplied(live);

    for (auto& v : live.dpiValue) v = 100;
    b.worker.requestApply(live);
    const MouseProfile requested = live;

    // Hold the worker in the pause after its first write and edit the live profile on
    // the main thread meanwhile, as a user dragging sliders would.
    ASSERT_TRUE(b.clock.waitForSleepers(1));
    for (auto& v : live.dpiValue) v = 50;
    live.brightness = 3;
    live.dpiColor[0] = {1, 2, 3, 0};
    b.worker.requestApply(live);

    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (b.host.finished < 2 && std::chrono::steady_clock::now() < deadline) {
        if (b.clock.waitForSleepers(1, 20ms)) b.clock.advanceBy(500ms);
        b.mainThread.runPending();
    }
    ASSERT_EQ(b.host.applied.size(), 2u);
    EXPECT_EQ(b.writtenHex(),
              HexOf({BuildSensorReport(requested), BuildSensorReport(live), BuildLightPowerReport(live)}));
    EXPECT_EQ(std::memcmp(b.host.applied[0].get(), &requested, sizeof(MouseProfile)), 0);
    EXPECT_EQ(std::memcmp(b.host.applied[1].get(), &live, sizeof(MouseProfile)), 0);
}

TEST(ApplyWorker, UnderConstantEditsEverySentReportComesFromOneWholeSnapshot) {
    WorkerBench b;
    b.links.wiredLink = 1;
    MouseProfile live = *MouseProfile::Create(u"P");
    b.worker.adoptAsApplied(live);
    constexpr int kEdits = 150;
    for (int n = 1; n <= kEdits; ++n) {
        // One edit touches many fields; a torn read would mix two edits.
        for (std::size_t k = 0; k < kDpiLevels; ++k) {
            live.dpiValue[k] = n;
            live.dpiColor[k] = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n), 0, 0};
        }
        live.lightOffTimer = n;
        live.keyDebounce = n;
        b.worker.requestApply(live);
        b.mainThread.runPending();
    }
    ASSERT_TRUE(b.waitForApplied(kEdits));
    std::size_t sensorReports = 0;
    for (const WrittenBuffer& w : b.mouse.written()) {
        if (w.bytes[0] == ReportId::Sensor) {
            ++sensorReports;
            const std::uint8_t n = w.bytes[25];
            MouseProfile whole = live;
            for (std::size_t k = 0; k < kDpiLevels; ++k) {
                whole.dpiValue[k] = n;
                whole.dpiColor[k] = {n, n, 0, 0};
            }
            EXPECT_EQ(test::Hex(w.bytes), test::Hex(BuildSensorReport(whole).bytes()));
        } else {
            ASSERT_EQ(w.bytes[0], ReportId::LightPower);
            EXPECT_EQ(w.bytes[9], w.bytes[10]);
        }
    }
    EXPECT_EQ(sensorReports, static_cast<std::size_t>(kEdits));
}

// ---- what reached the mouse --------------------------------------------------------

TEST(ApplyWorkerReach, ALinkLostMidPlanLeavesTheRestDueAndTheNextApplySendsExactlyThat) {
    WorkerBench b;
    b.links.wirelessLink = 1;
    MouseProfile p = *MouseProfile::Create(u"P");
    b.worker.adoptAsApplied(p);
    p.dpiValue[0] = 40;
    p.brightness = 2;
    b.clock.at(100ms, [&] { b.links.wirelessLink = 0; });  // after the sensor report was acknowledged
    b.worker.requestApply(p);
    ASSERT_TRUE(b.waitForApplied(1));
    EXPECT_EQ(b.writtenHex(), HexOf({BuildSensorReport(p)}));
    EXPECT_EQ(b.host.outcomes, std::vector<ApplyOutcome>{ApplyOutcome::Incomplete});
    // The user's edits are saved all the same; the store never held lastApplied.
    EXPECT_NE(std::find(b.host.calls.begin(), b.host.calls.end(), "save"), b.host.calls.end());

    b.mouse.clear();
    b.links.wirelessLink = 1;
    b.worker.requestApply(p);
    ASSERT_TRUE(b.waitForApplied(2));
    EXPECT_EQ(b.writtenHex(), HexOf({BuildLightPowerReport(p)}));
    EXPECT_EQ(b.host.outcomes.back(), ApplyOutcome::Applied);

    b.mouse.clear();
    b.worker.requestApply(p);
    ASSERT_TRUE(b.waitForApplied(3));
    EXPECT_TRUE(b.mouse.written().empty());
}

TEST(ApplyWorkerReach, AnUnacknowledgedMacroIsSentAgainWithoutTheButtonReportThatGotThrough) {
    WorkerBench b;
    b.links.wirelessLink = 1;
    MouseProfile p = *MouseProfile::Create(u"P");
    b.worker.adoptAsApplied(p);
    p.buttons[2].assignMacro(test::ShortStepMacro(3), 0, 1, 0);
    // The mouse answers the button report, then falls silent.
    b.clock.at(100ms, [&] { b.mouse.acknowledgeAtOnce = false; });
    b.worker.requestApply(p);
    ASSERT_TRUE(b.waitForApplied(1));
    EXPECT_EQ(b.mouse.written().size(), 1u + 10 * 3);
    EXPECT_EQ(b.host.outcomes, std::vector<ApplyOutcome>{ApplyOutcome::Unconfirmed});

    // The button group covers the macro's bytes too, so only a mark on the macro can
    // bring back the chunk alone.
    b.mouse.clear();
    b.mouse.acknowledgeAtOnce = true;
    b.worker.requestApply(p);
    ASSERT_TRUE(b.waitForApplied(2));
    std::vector<std::string> expected;
    for (const Report& part : SplitMacroChunk(BuildMacroChunks(p.buttons[2], 9)[0].bytes(), SplitLink::Receiver))
        expected.push_back(test::Hex(part.bytes()));
    EXPECT_EQ(b.writtenHex(), expected);
    EXPECT_EQ(b.host.outcomes.back(), ApplyOutcome::Applied);
}

TEST(ApplyWorkerReach, DueGroupsOutliveASettingTheMouseReported) {
    WorkerBench b;
    b.links.wirelessLink = 1;
    b.mouse.acknowledgeAtOnce = false;
    MouseProfile p = *MouseProfile::Create(u"P");
    b.worker.adoptAsApplied(p);
    p.keyDebounce = 9;
    b.worker.requestApply(p);
    ASSERT_TRUE(b.waitForApplied(1));
    EXPECT_EQ(b.mouse.written().size(), 10u);

    p.dpiStep = 3;  // the DPI button on the mouse, stored as the program stores it
    b.worker.adoptAsApplied(p);
    b.mouse.clear();
    b.mouse.acknowledgeAtOnce = true;
    b.worker.requestApply(p);
    ASSERT_TRUE(b.waitForApplied(2));
    EXPECT_EQ(b.writtenHex(), HexOf({BuildLightPowerReport(p)}));
}

TEST(ApplyWorkerReach, AFullApplyWhosePreambleFailedIsFullAgainNextTime) {
    WorkerBench b;
    b.links.wiredLink = 1;
    b.mouse.driverResult = 0;
    b.clock.at(100ms, [&] { b.mouse.driverResult = 1; });  // only the preamble fails
    auto p = MouseProfile::Create(u"P");
    b.worker.adoptAsApplied(*p);
    b.worker.requestApply(*p, true);
    ASSERT_TRUE(b.waitForApplied(1));
    EXPECT_EQ(b.mouse.written().size(), 5u);
    EXPECT_EQ(b.host.outcomes, std::vector<ApplyOutcome>{ApplyOutcome::Incomplete});
    EXPECT_TRUE(b.worker.fullApplyPending());

    b.mouse.clear();
    b.worker.requestApply(*p);
    ASSERT_TRUE(b.waitForApplied(2));
    EXPECT_EQ(b.writtenHex(), HexOf(PlanApply(*p, *p, true)));
    EXPECT_FALSE(b.worker.fullApplyPending());
    EXPECT_EQ(b.host.outcomes.back(), ApplyOutcome::Applied);
}

TEST(ApplyWorkerReach, APollingRateBluetoothRefusesWaitsForALinkThatCarriesIt) {
    WorkerBench b;
    b.links.bleLink = 1;
    MouseProfile p = *MouseProfile::Create(u"P");
    b.worker.adoptAsApplied(p);
    p.pollingRate = 0;
    b.worker.requestApply(p);
    ASSERT_TRUE(b.waitForApplied(1));
    EXPECT_TRUE(b.mouse.written().empty());
    // The link never carries it: nothing failed.
    EXPECT_EQ(b.host.outcomes, std::vector<ApplyOutcome>{ApplyOutcome::Applied});

    b.links.bleLink = 0;
    b.links.wiredLink = 1;
    b.worker.requestApply(p);
    ASSERT_TRUE(b.waitForApplied(2));
    EXPECT_EQ(b.writtenHex(), HexOf({BuildPollingReport(p)}));
}

// ---- quitting -----------------------------------------------------------------------

TEST(ApplyWorkerQuit, QuittingStopsTheSendInProgressAtOnceAndSendsNothingMore) {
    WorkerBench b;
    b.links.wirelessLink = 1;
    b.mouse.acknowledgeAtOnce = false;  // every report costs ten attempts
    std::promise<void> quitRequested;
    b.clock.at(1200ms, [&] {  // on the worker, in the pause after the preamble's third attempt
        b.worker.requestQuit();
        quitRequested.set_value();
    });
    auto p = MouseProfile::Create(u"P");
    b.worker.requestApply(*p, true);
    b.worker.requestApply(*p, true);
    quitRequested.get_future().wait();
    b.worker.quit();
    b.mainThread.runPending();

    EXPECT_EQ(b.writtenHex(), std::vector<std::string>(3, test::Hex(BuildPreamble().bytes())));
    EXPECT_EQ(b.clock.now(), 1200ms);
    EXPECT_EQ(b.host.calls, (std::vector<std::string>{"watchdog stop", "ring shown", "progress 0/5"}));
    b.worker.quit();  // a second quit is harmless
}

TEST(ApplyWorkerQuit, QuitDuringAChunkToASilentMouseReturnsWithoutWaitingOutItsPasses) {
    WorkerBench b(VirtualClock::Mode::Manual);
    b.links.wirelessLink = 1;
    MouseProfile p = *MouseProfile::Create(u"P");
    b.worker.adoptAsApplied(p);
    p.buttons[0].assignMacro(test::ShortStepMacro(3), 0, 1, 0);
    b.worker.requestApply(p);

    // The button report is acknowledged; then the mouse falls silent for the chunk.
    ASSERT_TRUE(b.clock.waitForSleepers(1));
    b.mouse.acknowledgeAtOnce = false;
    b.clock.advanceBy(500ms);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (b.mouse.written().size() < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    ASSERT_EQ(b.mouse.written().size(), 2u);
    ASSERT_TRUE(b.clock.waitForSleepers(1));  // in the pause after the chunk's first part

    // Without a wake-up from the stop this would wait for virtual time that never comes.
    auto quitting = std::async(std::launch::async, [&] { b.worker.quit(); });
    if (quitting.wait_for(10s) != std::future_status::ready) {
        b.clock.advanceBy(1h);  // let the worker go before reporting
        quitting.wait();
        FAIL() << "quit() waited for the pause to end";
    }
    EXPECT_EQ(b.clock.now(), 500ms);
    EXPECT_EQ(b.mouse.written().size(), 2u);
    b.mainThread.runPending();
    EXPECT_TRUE(b.host.outcomes.empty());
}

}  // namespace
}  // namespace halvern
