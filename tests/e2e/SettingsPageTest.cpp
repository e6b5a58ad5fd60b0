// The settings page of the built program, used as a user would, against the virtual
// mouse: what the mouse receives for each edit and when, what a press on the mouse does
// to the page, how the page follows the links, and how typed DPI values land.
#include <gtest/gtest.h>

#include <set>

#include "RunningHalvern.h"
#include "Stores.h"
#include "protocol/ApplyWorker.h"
#include "protocol/CommandReports.h"
#include "support/Hex.h"

namespace halvern::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kSensorActiveLevel = 24;  // sensor report: the active level, 1..8
constexpr std::size_t kLightEffect = 3;         // light report: effect * 16
constexpr std::size_t kLightBrightness = 5;     // light report: sleep * 16 | brightness

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

// Waits until a report arrives after the first `seen`, then a little longer, so that a
// second report a faulty page might send is caught too.
std::vector<std::string> AwaitReports(RunningHalvern& halvern, std::size_t seen,
                                      Clock::time_point* firstSeen = nullptr) {
    EXPECT_TRUE(WaitFor([&] { return halvern.received().size() > seen; }));
    if (firstSeen) *firstSeen = Clock::now();
    std::this_thread::sleep_for(800ms);
    return halvern.receivedSince(seen);
}

// ---- What the page sends ----

// The first apply after start-up sends everything, so each case notes what the mouse
// had received before it and looks only at what came after.
TEST(SettingsPageEndToEnd, EachEditSendsOnlyItsOwnReportAtItsOwnTime) {
    RunningHalvern halvern("receiver");
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    ASSERT_TRUE(halvern.apply());
    ASSERT_FALSE(halvern.received().empty());

    {
        SCOPED_TRACE("choosing DPI level 3 sends one sensor report with level 3, at once");
        const std::size_t seen = halvern.received().size();
        const int applied = halvern.applies().first;
        ASSERT_EQ(halvern.ask("click ms_1_option_dpi_step_3"), "ok");
        ASSERT_TRUE(halvern.waitForAppliesAfter(applied));
        const std::vector<std::string> sent = halvern.receivedSince(seen);
        ASSERT_EQ(sent.size(), 1u) << Joined(sent);
        EXPECT_EQ(ByteAt(sent[0], 0), ReportId::Sensor);
        EXPECT_EQ(ByteAt(sent[0], kSensorActiveLevel), 3);
        EXPECT_EQ(halvern.field("ms_1_option_dpi_step_3", "selected"), "1");
    }
    {
        SCOPED_TRACE("the light effect waits 200 ms, then sends one light report");
        ASSERT_EQ(halvern.ask("click ms_1_check_light"), "ok");
        const std::size_t seen = halvern.received().size();
        const auto picked = Clock::now();
        ASSERT_EQ(halvern.ask("pick ms_1_combo_light 1"), "ok");
        EXPECT_EQ(halvern.receivedSince(seen).size(), 0u);
        Clock::time_point arrived;
        const std::vector<std::string> sent = AwaitReports(halvern, seen, &arrived);
        ASSERT_EQ(sent.size(), 1u) << Joined(sent);
        EXPECT_EQ(ByteAt(sent[0], 0), ReportId::LightPower);
        EXPECT_EQ(ByteAt(sent[0], kLightEffect), 0x10);
        // Measured from before the command went out: a slow machine only adds to it.
        EXPECT_GE(arrived - picked, 190ms);
        EXPECT_EQ(halvern.field("ms_1_ver_brightness", "visible"), "1");
    }
    {
        SCOPED_TRACE("ten brightness values in half a second send one light report, 500 ms after the last");
        const std::size_t before = halvern.received().size();
        ASSERT_EQ(halvern.ask("slide ms_1_slider_brightness 3"), "ok");
        ASSERT_EQ(AwaitReports(halvern, before).size(), 1u);

        const std::size_t seen = halvern.received().size();
        Clock::time_point lastValue;
        Clock::duration longestGap{};
        for (int value = 4; value <= 13; ++value) {
            const auto sent = Clock::now();
            if (value > 4) longestGap = std::max(longestGap, sent - lastValue);
            lastValue = sent;
            ASSERT_EQ(halvern.ask("slide ms_1_slider_brightness " + std::to_string(value)), "ok");
            std::this_thread::sleep_for(35ms);
        }
        // A pause of half a second between two values is a drag of its own; only a
        // machine too busy to keep the pace makes one.
        if (longestGap >= 450ms) GTEST_SKIP() << "the drag could not keep its pace on this machine";
        EXPECT_EQ(halvern.receivedSince(seen).size(), 0u) << "sent before the pause";
        Clock::time_point arrived;
        const std::vector<std::string> sent = AwaitReports(halvern, seen, &arrived);
        ASSERT_EQ(sent.size(), 1u) << Joined(sent);
        EXPECT_EQ(ByteAt(sent[0], 0), ReportId::LightPower);
        EXPECT_EQ(ByteAt(sent[0], kLightBrightness) & 0x0F, 13);
        EXPECT_GE(arrived - lastValue, 480ms);
    }
}

// ---- What the mouse tells the page ----

TEST(SettingsPageEndToEnd, ADpiPressOnTheMouseIsShownAndSavedButNotSentBack) {
    RunningHalvern halvern("receiver");
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    ASSERT_TRUE(halvern.apply());
    const std::size_t seen = halvern.received().size();
    std::optional<MouseProfile> before = StoredCurrentProfile(halvern.dataFolder());
    ASSERT_TRUE(before);
    ASSERT_NE(before->dpiStep, 4);

    // A press right after an apply may have crossed it and is sent back (the device
    // tests show that); this one comes well after.
    std::this_thread::sleep_for(kReportCrossingWindow * 2);
    ASSERT_EQ(halvern.ask("mouse dpi 5"), "ok");
    EXPECT_TRUE(halvern.fieldBecomes("ms_1_option_dpi_step_5", "selected", "1"));
    EXPECT_EQ(halvern.field("ms_1_option_dpi_step_2", "selected"), "0");
    // The DPI display shows the level's DPI (5000 by default) for two seconds.
    EXPECT_TRUE(halvern.fieldBecomes("dpi_label", "text", "DPI :5000", 1500ms));
    EXPECT_EQ(halvern.field("dpi_label", "visible"), "1");
    EXPECT_TRUE(WaitFor([&] {
        std::optional<MouseProfile> stored = StoredCurrentProfile(halvern.dataFolder());
        return stored && stored->dpiStep == 4;
    })) << "the store was not saved with the new level";

    // Selected without a notification: no apply follows, and the next apply has
    // nothing to send either, since the mouse already holds the level.
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(halvern.receivedSince(seen).size(), 0u) << Joined(halvern.receivedSince(seen));
    ASSERT_TRUE(halvern.apply());
    EXPECT_EQ(halvern.receivedSince(seen).size(), 0u) << Joined(halvern.receivedSince(seen));
}

// What the user set and the mouse has not been sent yet is not taken for sent when
// the mouse reports a setting of its own: a DPI dragged before a press on the mouse's
// DPI button goes out with the next apply, beside the level the mouse chose.
TEST(SettingsPageEndToEnd, APressOnTheMouseLeavesADraggedDpiToBeSent) {
    RunningHalvern halvern("receiver");
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    ASSERT_TRUE(halvern.apply());
    ASSERT_EQ(halvern.ask("slide ms_1_slider_dpi_2 40"), "ok");  // 2000 DPI
    std::this_thread::sleep_for(kReportCrossingWindow * 2);
    ASSERT_EQ(halvern.ask("mouse dpi 5"), "ok");
    ASSERT_TRUE(halvern.fieldBecomes("ms_1_option_dpi_step_5", "selected", "1"));

    const std::size_t seen = halvern.received().size();
    ASSERT_TRUE(halvern.apply("ms_1_btn_apply_dpi"));
    const std::vector<std::string> sent = halvern.receivedSince(seen);
    std::optional<MouseProfile> stored;
    ASSERT_TRUE(WaitFor([&] {
        stored = StoredCurrentProfile(halvern.dataFolder());
        return stored && stored->dpiValue[1] == 40 && stored->dpiStep == 4;
    })) << "the store lacks the dragged value or the level the mouse chose";
    ASSERT_EQ(sent.size(), 1u) << Joined(sent);
    EXPECT_EQ(sent[0], Hex(BuildSensorReport(*stored).bytes()));
}

// With no mouse linked nothing is applied, and nothing applied used to mean nothing
// saved: an assignment and a level chosen then are still there after the program ends,
// from the tray or by the session ending, at once (well within the store's pause), and
// starts again.
TEST(SettingsPageEndToEnd, EditsMadeWithoutAMouseSurviveTheEndAndAStart) {
    for (bool bySession : {false, true}) {
        SCOPED_TRACE(bySession ? "SIGTERM" : "the tray's Quit");
        TempDir keep;
        {
            RunningHalvern halvern("receiver", keep.path());
            ASSERT_TRUE(halvern.ready()) << halvern.err();
            ASSERT_EQ(halvern.ask("mouse unplug receiver"), "ok");
            ASSERT_TRUE(halvern.fieldBecomes("ms_1_wireless", "visible", "0"));
            ASSERT_EQ(halvern.ask("click ms_1_btn_key_4"), "ok");
            ASSERT_EQ(halvern.ask("click ms_1_volume_up"), "ok");
            ASSERT_EQ(halvern.field("ms_1_btn_key_4", "text"), "Volume up");
            ASSERT_EQ(halvern.ask("click ms_1_option_dpi_step_4"), "ok");
            EXPECT_EQ(bySession ? halvern.terminate() : halvern.quit(), 0) << halvern.err();
        }
        RunningHalvern again("receiver", keep.path());
        ASSERT_TRUE(again.ready()) << again.err();
        EXPECT_EQ(again.field("ms_1_btn_key_4", "text"), "Volume up");
        EXPECT_EQ(again.field("ms_1_option_dpi_step_4", "selected"), "1");
    }
}

// ---- The test driver's answers ----

// A text that looks like fields, holds backslashes or ends in "=" reads back whole, the
// fields after it read as they are, and help names every command once.
TEST(SettingsPageEndToEnd, DriverAnswersKeepTheirFieldsApartWhateverATextHolds) {
    RunningHalvern halvern("receiver");
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    for (const std::string text : {"Game value=3 visible=0", "C:\\Games\\x=", "a = b", "plain"}) {
        SCOPED_TRACE(text);
        ASSERT_EQ(halvern.ask("type ms_1_edit_auto_app " + text), "ok");
        const std::string answer = halvern.ask("get ms_1_edit_auto_app");
        EXPECT_EQ(AnswerField(answer, "text"), text) << answer;
        EXPECT_EQ(AnswerField(answer, "enabled"), "1") << answer;
        EXPECT_FALSE(AnswerField(answer, "value")) << answer;
    }
    const std::string help = halvern.ask("help");
    for (const char* verb : {"click NAME", "get NAME", "mouse dpi N", "state", "help", "focus NAME"})
        EXPECT_NE(help.find(std::string("\t") + verb), std::string::npos) << verb << " in " << help;
}

// ---- Links ----

TEST(SettingsPageEndToEnd, IndicatorsFollowTheReceiverAndTheCable) {
    RunningHalvern halvern("receiver,cable");
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    ASSERT_EQ(halvern.ask("mouse unplug cable"), "ok");
    ASSERT_TRUE(halvern.fieldBecomes("ms_1_wired", "visible", "0"));
    // The receiver's battery report makes it the link.
    ASSERT_TRUE(halvern.fieldBecomes("ms_1_wireless", "visible", "1"));
    EXPECT_EQ(halvern.field("ms_1_check_prate", "visible"), "1");

    {
        SCOPED_TRACE("unplugging the receiver hides its indicator");
        ASSERT_EQ(halvern.ask("mouse unplug receiver"), "ok");
        EXPECT_TRUE(halvern.fieldBecomes("ms_1_wireless", "visible", "0"));
        // Nothing is linked: the side column shows the hint instead of the links.
        EXPECT_EQ(halvern.field("ms_1_label_power", "visible"), "0");
    }
    {
        SCOPED_TRACE("attaching the cable shows it, charging, with the animation running");
        ASSERT_EQ(halvern.ask("mouse plug cable"), "ok");
        ASSERT_TRUE(halvern.fieldBecomes("ms_1_wired", "visible", "1"));
        EXPECT_EQ(halvern.field("ms_1_wireless", "visible"), "0");
        EXPECT_EQ(halvern.field("ms_1_label_power", "text"), "Charging");
        std::set<std::string> bar;
        for (int i = 0; i < 8; ++i) {
            bar.insert(halvern.field("ms_1_progress_power", "value"));
            std::this_thread::sleep_for(40ms);
        }
        EXPECT_GE(bar.size(), 3u) << "the charging bar does not move";
        EXPECT_EQ(halvern.field("ms_1_check_prate", "visible"), "1");
        EXPECT_EQ(halvern.field("ms_1_check_key_debounce", "visible"), "1");
    }
}

TEST(SettingsPageEndToEnd, BluetoothAloneHidesPollingAndDebounceWithTheirPanelsClosed) {
    RunningHalvern halvern("ble");
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    EXPECT_TRUE(halvern.fieldBecomes("ms_1_BLE", "visible", "1"));
    EXPECT_EQ(halvern.field("ms_1_wired", "visible"), "0");
    EXPECT_EQ(halvern.field("ms_1_wireless", "visible"), "0");
    for (const char* section : {"prate", "key_debounce"}) {
        SCOPED_TRACE(section);
        const std::string check = std::string("ms_1_check_") + section;
        EXPECT_EQ(halvern.field(check, "visible"), "0");
        EXPECT_EQ(halvern.field(check, "selected"), "0");
    }
    EXPECT_EQ(halvern.field("ms_1_ver_prate", "visible"), "0");
    EXPECT_EQ(halvern.field("ms_1_hor_key_debounce", "visible"), "0");
    // The sections beside them stay as they were.
    EXPECT_EQ(halvern.field("ms_1_ver_dpi", "visible"), "1");
    EXPECT_EQ(halvern.field("ms_1_ver_power_setting", "visible"), "1");
    // Until the mouse reports its battery over Bluetooth LE it counts as full.
    EXPECT_EQ(halvern.field("ms_1_label_power", "text"), "100%");
}

// ---- Typed DPI values ----

TEST(SettingsPageEndToEnd, TypedDpiValuesCommitOnLeavingTheBoxOrReturnWithinTheMouseRange) {
    RunningHalvern halvern("receiver");
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    std::optional<MouseProfile> expected = StoredCurrentProfile(halvern.dataFolder());
    ASSERT_TRUE(expected);

    struct Typed {
        int level;
        const char* text;
        const char* commit;  // "Tab", "Return", or "" when typing into the next box does
        const char* shown;
        int value;
    };
    const Typed cases[] = {
        {1, "0", "Tab", "50", 1},          {2, "75", "Return", "50", 1},         {3, "10050", "", "10000", 200},
        {4, "10150", "Tab", "10100", 201}, {5, "17999", "Return", "17900", 279}, {6, "99999", "Tab", "18000", 280},
    };
    for (const Typed& t : cases) {
        SCOPED_TRACE(std::string("typed ") + t.text);
        const std::string edit = "ms_1_edit_dpi_" + std::to_string(t.level);
        const std::string slider = "ms_1_slider_dpi_" + std::to_string(t.level);
        const std::string untouched = halvern.field(slider, "value");
        ASSERT_EQ(halvern.ask("type " + edit + " " + t.text), "ok");
        // Typing alone commits nothing.
        EXPECT_EQ(halvern.field(edit, "text"), t.text);
        EXPECT_EQ(halvern.field(slider, "value"), untouched);
        if (*t.commit) ASSERT_EQ(halvern.ask("key " + edit + " " + t.commit), "ok");
        else ASSERT_EQ(halvern.ask("type ms_1_edit_dpi_7 1"), "ok");
        EXPECT_EQ(halvern.field(edit, "text"), t.shown);
        EXPECT_EQ(halvern.field(slider, "value"), std::to_string(t.value));
        expected->dpiValue[t.level - 1] = t.value;
    }
    {
        SCOPED_TRACE("letters disappear as they are typed");
        ASSERT_EQ(halvern.ask("type ms_1_edit_dpi_7 1x2y0"), "ok");
        EXPECT_EQ(halvern.field("ms_1_edit_dpi_7", "text"), "120");
        ASSERT_EQ(halvern.ask("key ms_1_edit_dpi_7 Return"), "ok");
        EXPECT_EQ(halvern.field("ms_1_edit_dpi_7", "text"), "100");
        expected->dpiValue[6] = 2;
    }

    // Typed values wait for an apply, which then carries all of them.
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(halvern.received().size(), 0u) << Joined(halvern.received());
    ASSERT_TRUE(halvern.apply("ms_1_btn_apply_dpi"));
    const std::vector<std::string> sent = halvern.received();
    const std::string sensor = Hex(BuildSensorReport(*expected).bytes());
    EXPECT_EQ(std::count(sent.begin(), sent.end(), sensor), 1) << "expected " << sensor << " in\n" << Joined(sent);
}

}  // namespace
}  // namespace halvern::test
