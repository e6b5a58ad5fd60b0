// Applying a profile through the apply worker, the send path and the device link's
// transports to the virtual mouse, on virtual time: what the mouse then holds, what it
// was sent, and what the pauses and retries cost.
#include <gtest/gtest.h>

#include "FirmwareState.h"
#include "protocol/ApplyWorker.h"
#include "support/DeviceHarness.h"

namespace halvern::test {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

class RecordingApplyHost final : public ApplyHost {
public:
    explicit RecordingApplyHost(VirtualLoop& loop) : loop_(loop) {}
    void stopLinkWatchdog() override { loop_.kill(TimerId::WirelessTimeout); }
    void startLinkWatchdog(std::chrono::milliseconds delay) override { loop_.arm(TimerId::WirelessTimeout, delay); }
    void setApplyRingVisible(bool) override {}
    void saveProfileStore() override { ++saves; }
    void lastAppliedChanged(const MouseProfile&) override {}
    void applyProgress(std::size_t, std::size_t) override {}
    void applyDropped() override { ++dropped; }
    void applyFinished(ApplyOutcome outcome) override { outcomes.push_back(outcome); }
    std::vector<ApplyOutcome> outcomes;
    int dropped = 0;
    int saves = 0;

private:
    VirtualLoop& loop_;
};

// The device link and an apply worker on it, as the settings page has them.
class Applying {
public:
    explicit Applying(const std::string& scenario, bool driver = false) : h(scenario, Options(driver)), host(h.loop) {
        worker = std::make_unique<ApplyWorker>(h.links, h.link().transports(), h.clock, host,
                                               [this](ApplyWorker::Task task) { h.loop.postTask(std::move(task)); });
        h.profiles.onReported = [this](SettingId setting, std::int32_t value) {
            worker->adoptReported(setting, value, h.clock.now());
        };
    }
    ~Applying() { worker.reset(); }

    // Starts the link and waits until the mouse can be applied to.
    void start() {
        h.start();
        ASSERT_TRUE(h.runUntil([&] { return h.links.applyLinkUp(); }));
        h.settle();
    }
    void apply(bool full) {
        const std::size_t before = host.outcomes.size();
        h.mouse().clearHistory();
        worker->requestApply(*h.profiles.current, full);
        ASSERT_TRUE(h.runUntil([&] { return host.outcomes.size() > before; }));
        h.settle();
    }
    std::vector<Bytes> received(std::uint8_t reportId) {
        std::vector<Bytes> out;
        for (Bytes& b : h.mouse().received())
            if (!b.empty() && b[0] == reportId) out.push_back(std::move(b));
        return out;
    }
    void expectMouseHolds(const MouseProfile& p) {
        for (const std::string& d : emu::Differences(h.mouse().state(), emu::ExpectedState(p))) ADD_FAILURE() << d;
        for (const emu::Rejection& r : h.mouse().rejections()) ADD_FAILURE() << "refused: " << r.reason;
    }

    DeviceHarness h;
    RecordingApplyHost host;
    std::unique_ptr<ApplyWorker> worker;

private:
    static HarnessOptions Options(bool driver) {
        HarnessOptions o;
        o.driver = driver;
        return o;
    }
};

MacroRecord Macro(int steps, int firstDelay) {
    MacroRecord m;
    m.setName(u"m");
    m.actionCount = steps;
    for (int i = 0; i < steps; ++i)
        m.actions[i] = {static_cast<std::uint8_t>(0x04 + i % 20), static_cast<std::uint8_t>(i % 2 ? 2 : 1),
                        static_cast<std::uint16_t>(firstDelay + 37 * i)};
    return m;
}

// Everything the reports carry, away from the defaults: DPI values in each encoding
// range, keys, media codes, macros of one and several chunks.
void MakeRich(MouseProfile& p) {
    const std::int32_t values[8] = {1, 150, 200, 201, 220, 221, 280, 0};
    for (int k = 0; k < 8; ++k) {
        p.dpiValue[k] = values[k];
        p.dpiEnabled[k] = k % 3 ? 1 : 0;
        p.dpiColor[k] = {static_cast<std::uint8_t>(30 * k), 7, static_cast<std::uint8_t>(255 - k), 0};
    }
    p.dpiEnabled[4] = 1;
    p.dpiStep = 4;
    p.angleSnap = 1;
    p.rippleControl = 0;
    p.pollingRate = 1;
    p.lightEffect = 9;
    p.brightness = 5;
    p.breathSpeed = 2;
    p.sleepTimer = 0x37;
    p.lightOffTimer = 12;
    p.keyDebounce = 7;
    p.lightColor = {9, 8, 7, 0};
    p.buttons[2].assignKey(0x1B, kModCtrl | kModShift);
    p.buttons[3].function = 65;
    p.buttons[4].function = 121;
    p.buttons[0].assignMacro(Macro(60, 1), 1, 3, 0);
    p.buttons[8].assignMacro(Macro(7, 120), 2, 0, 1);
    p.buttons[9].assignMacro(Macro(0, 0), 0, 1, 2);
}

TEST(ApplyOverLinks, AFullApplyOnTheReceiverLeavesTheMouseHoldingTheProfile) {
    Applying a("receiver");
    a.start();
    MakeRich(*a.h.profiles.current);
    a.apply(true);
    a.expectMouseHolds(*a.h.profiles.current);
    EXPECT_EQ(a.h.mouse().preamblesReceived(), 1);
    EXPECT_EQ(a.host.saves, 1);
    // Macro chunks travel as three parts, the third saying 12 bytes on this link.
    std::vector<Bytes> parts = a.received(0x09);
    ASSERT_FALSE(parts.empty());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        EXPECT_EQ(parts[i].size(), 64u);
        EXPECT_EQ(parts[i][1], i % 3 == 2 ? 0x0C : 0x40);
    }
}

TEST(ApplyOverLinks, AFullApplyThroughTheDriverLibraryLeavesTheMouseHoldingTheProfile) {
    Applying a("cable", true);
    a.start();
    MakeRich(*a.h.profiles.current);
    a.apply(true);
    a.expectMouseHolds(*a.h.profiles.current);
    for (const Bytes& part : a.received(0x09)) EXPECT_EQ(part[1], 0x40);
}

TEST(ApplyOverLinks, AFullApplyOverBluetoothLeavesTheMouseHoldingAllButThePollingRate) {
    Applying a("ble");
    a.start();
    MakeRich(*a.h.profiles.current);
    a.apply(true);
    MouseProfile expected = *a.h.profiles.current;
    expected.pollingRate = 3;  // never sent over Bluetooth LE: the mouse keeps its own
    a.expectMouseHolds(expected);
    for (const Bytes& chunk : a.received(0x09)) EXPECT_EQ(chunk.size(), 131u);
}

TEST(ApplyOverLinks, ADpiPressIsAdoptedAndSentBackOnlyWhenItMayHaveCrossedAnApply) {
    // A press well after the apply is what the mouse holds: only the other edit goes.
    // A press that arrives right after an apply wrote the DPI group may have come
    // before that write reached the mouse, so the level goes again: either way the
    // mouse ends on the level the page shows.
    const struct {
        std::chrono::milliseconds afterApply;
        bool sentBack;
    } cases[] = {{kReportCrossingWindow + std::chrono::milliseconds(1), false}, {std::chrono::milliseconds(0), true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.afterApply.count());
        Applying a("receiver");
        a.start();
        a.apply(true);
        a.h.clock.advance(c.afterApply);
        a.h.mouse().pressDpiButton(Link::Receiver);
        a.h.settle();
        EXPECT_EQ(a.h.profiles.current->dpiStep, 2);
        EXPECT_EQ(a.h.profiles.stores, 1);

        a.h.profiles.current->brightness = 3;
        a.apply(false);
        EXPECT_EQ(a.received(0x04).size(), c.sentBack ? 1u : 0u);
        EXPECT_EQ(a.received(0x05).size(), 1u);
        EXPECT_EQ(a.h.mouse().state().dpiLevel, 3);
    }
}

TEST(ApplyOverLinks, AMouseThatNeverAcknowledgesCostsTenAttemptsAndIsAskedAgainNextTime) {
    Applying a("silent mouse");
    a.start();
    a.h.profiles.current->brightness = 3;
    a.h.profiles.current->lightEffect = 1;
    a.worker->adoptAsApplied(*MouseProfile::Create(u"test"));
    const auto before = a.h.clock.slept();
    a.apply(false);
    EXPECT_EQ(a.received(0x05).size(), 10u);
    EXPECT_EQ(a.h.mouse().received().size(), 10u);
    EXPECT_EQ(a.h.clock.slept() - before, 10 * 500ms);
    EXPECT_EQ(a.host.outcomes, std::vector<ApplyOutcome>{ApplyOutcome::Unconfirmed});

    a.apply(false);
    EXPECT_EQ(a.received(0x05).size(), 10u);
    EXPECT_EQ(a.h.mouse().received().size(), 10u);
    EXPECT_EQ(a.host.outcomes.back(), ApplyOutcome::Unconfirmed);
}

TEST(ApplyOverLinks, ALateAcknowledgementEndsTheRetriesAtTheNextAttempt) {
    Applying a("late mouse");  // answers 1200 ms after each report
    a.start();
    a.h.profiles.current->keyDebounce = 2;
    a.worker->adoptAsApplied(*MouseProfile::Create(u"test"));
    const auto before = a.h.clock.slept();
    a.apply(false);
    EXPECT_EQ(a.received(0x05).size(), 3u);
    EXPECT_EQ(a.h.clock.slept() - before, 3 * 500ms);
}

TEST(ApplyOverLinks, ARefusingMouseGetsEveryAttempt) {
    Applying a("refusing mouse");
    a.start();
    a.h.profiles.current->pollingRate = 0;
    a.worker->adoptAsApplied(*MouseProfile::Create(u"test"));
    a.apply(false);
    EXPECT_EQ(a.received(0x06).size(), 10u);
}

TEST(ApplyOverLinks, AReceiverPulledOutDuringAnApplyGetsTheRestOnceItIsBack) {
    Applying a("receiver");
    a.start();
    MakeRich(*a.h.profiles.current);
    const int receiver = a.h.world->deviceOf(Link::Receiver);
    a.h.world->unplugAfter(receiver, 4);  // preamble, sensor, light, polling
    a.apply(true);
    EXPECT_EQ(a.h.mouse().received().size(), 4u);
    EXPECT_TRUE(a.h.mouse().rejections().empty());
    EXPECT_FALSE(a.h.link().discovery().activeSlot().filled());
    EXPECT_EQ(a.h.link().discovery().readerCount(), 0);
    EXPECT_EQ(a.host.outcomes, std::vector<ApplyOutcome>{ApplyOutcome::Incomplete});
    EXPECT_EQ(a.host.saves, 1);  // the user's profile is kept whatever the mouse got

    ASSERT_TRUE(a.h.world->plug(receiver));
    a.h.settle();
    a.h.loop.advance(1000ms);
    ASSERT_TRUE(a.h.runUntil([&] { return a.h.links.wirelessLink == 1; }));
    a.apply(false);
    // Whether the polling report's answer made it out before the plug was pulled is a
    // race; the reports before it were acknowledged, the ones after it never written.
    EXPECT_EQ(a.h.mouse().preamblesReceived(), 0);
    EXPECT_TRUE(a.received(0x04).empty());
    EXPECT_TRUE(a.received(0x05).empty());
    EXPECT_EQ(a.received(0x08).size(), 1u);
    a.expectMouseHolds(*a.h.profiles.current);
    EXPECT_EQ(a.host.outcomes.back(), ApplyOutcome::Applied);
}

TEST(ApplyOverLinks, WithoutALinkTheRequestIsDroppedAndTheNextApplyIsFull) {
    Applying a("unplugged receiver");
    a.h.start();
    a.worker->requestApply(*a.h.profiles.current, true);
    ASSERT_TRUE(a.h.runUntil([&] { return a.host.dropped == 1; }));
    ASSERT_TRUE(a.h.world->plug(a.h.world->deviceOf(Link::Receiver)));
    a.h.settle();
    a.h.loop.advance(1000ms);
    ASSERT_TRUE(a.h.runUntil([&] { return a.h.links.wirelessLink == 1; }));
    a.apply(false);
    EXPECT_EQ(a.h.mouse().preamblesReceived(), 1);
    a.expectMouseHolds(*a.h.profiles.current);
}

}  // namespace
}  // namespace halvern::test
