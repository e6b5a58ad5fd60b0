// The real program under a real pointer, keyboard and wheel (xdotool under Xvfb):
// what was typed into a box lands before a clicked button acts, a cancel drops it,
// the wheel scrolls the settings column instead of changing what it passes over, a
// slider follows the pointer, the arrow keys move through an option group, the key
// combination dialog takes Enter and a key, and a drop-down opened by a click chooses.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <thread>

#include "HalvernUnderX.h"
#include "Stores.h"
#include "protocol/CommandReports.h"
#include "support/Hex.h"

namespace halvern::test {
namespace {

int Y(const std::pair<std::string, std::string>& at) { return std::stoi(at.second); }

TEST(PointerAndWheel, ADpiTypedThenApplyClickedReachesTheMouseAndTheStore) {
    HalvernUnderX h;
    ASSERT_EQ(h.problem(), "");
    ASSERT_TRUE(h->apply());
    const std::size_t seen = h->received().size();
    std::optional<MouseProfile> expected = StoredCurrentProfile(h->dataFolder());
    ASSERT_TRUE(expected);
    expected->dpiValue[2] = ValueFromDpi(3000);
    ASSERT_NE(Hex(BuildSensorReport(*StoredCurrentProfile(h->dataFolder())).bytes()),
              Hex(BuildSensorReport(*expected).bytes()));

    ASSERT_TRUE(h.typeInto("ms_1_edit_dpi_3", "3000"));
    const int applied = h->applies().first;
    ASSERT_TRUE(h.clickOn("ms_1_apply_btn"));
    ASSERT_TRUE(h->waitForAppliesAfter(applied));

    const std::vector<std::string> sent = h->receivedSince(seen);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), Hex(BuildSensorReport(*expected).bytes())), 1);
    EXPECT_TRUE(WaitFor([&] {
        const std::optional<MouseProfile> stored = StoredCurrentProfile(h->dataFolder());
        return stored && stored->dpiValue[2] == expected->dpiValue[2];
    }));
    EXPECT_EQ(h->field("ms_1_slider_dpi_3", "value"), std::to_string(expected->dpiValue[2]));
}

TEST(PointerAndWheel, TheMacroEditorTakesWhatWasTypedBeforeAClickOrAQuitAndDropsItOnCancel) {
    HalvernUnderX h;
    ASSERT_EQ(h.problem(), "");
    ASSERT_EQ(h->ask("click ms_1_btn_macro"), "ok");
    ASSERT_TRUE(WaitFor([&] { return h->ask("modal") == "ok MS/MS_1/ms_1_macropage.xml"; }));
    ASSERT_EQ(h->ask("click ms_1_macro_add_btn"), "ok");
    auto stored = [&] { return StoredMacros(h->dataFolder()); };
    ASSERT_TRUE(WaitFor([&] { return stored().size() == 1; }));
    {
        SCOPED_TRACE("a name typed, then Add clicked");
        ASSERT_TRUE(h.typeInto("ms_1_macro_name_edit", "Reload"));
        ASSERT_TRUE(h.clickOn("ms_1_macro_add_btn"));
        ASSERT_TRUE(WaitFor([&] { return stored().size() == 2; }));
        EXPECT_EQ(stored()[0].nameText(), u"Reload");
        EXPECT_EQ(h->ask("rows ms_1_macro_list").rfind("ok 2\tReload\t", 0), 0u);
    }
    // Four actions in the first macro (a left and a right click), the edit panel on
    // the first: a mouse action, so the panel's mouse page and its delay box.
    ASSERT_EQ(h->ask("pick ms_1_macro_list 0"), "ok");
    ASSERT_EQ(h->ask("click ms_1_macro_key1_btn"), "ok");
    ASSERT_EQ(h->ask("click ms_1_macro_key2_btn"), "ok");
    ASSERT_EQ(h->ask("pick ms_1_macro_action_list 0"), "ok");
    ASSERT_EQ(h->ask("click ms_1_macro_action_edit_check"), "ok");
    ASSERT_EQ(h->field("ms_1_macro_mouseaction_delay_edit", "visible"), "1");
    const std::vector<MacroRecord> before = stored();
    ASSERT_EQ(before[0].actionCount, 4);
    {
        SCOPED_TRACE("a delay typed, then Down clicked: the action moves with it");
        ASSERT_TRUE(h.typeInto("ms_1_macro_mouseaction_delay_edit", "250"));
        ASSERT_TRUE(h.clickOn("ms_1_macro_down_btn"));
        // The first two are the left button's press and release: the kinds tell them apart.
        ASSERT_TRUE(WaitFor([&] { return stored()[0].actions[1].kind == before[0].actions[0].kind; }));
        const MacroRecord now = stored()[0];
        EXPECT_EQ(now.actions[1].delay, 250);
        EXPECT_EQ(now.actions[0].kind, before[0].actions[1].kind);
        EXPECT_EQ(now.actions[0].delay, before[0].actions[1].delay);
        EXPECT_EQ(h->field("ms_1_macro_mouseaction_delay_edit", "text"), "250");
    }
    {
        SCOPED_TRACE("a delay typed, then Cancel clicked: dropped");
        ASSERT_TRUE(h.typeInto("ms_1_macro_mouseaction_delay_edit", "777"));
        ASSERT_TRUE(h.clickOn("ms_1_macro_cancel_btn"));
        ASSERT_TRUE(h->fieldBecomes("ms_1_macro_mouseaction_delay_edit", "visible", "0"));
        // Whatever the box's focus loss does afterwards has had its chance.
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(stored()[0].actions[1].delay, 250);
    }
    {
        SCOPED_TRACE("a name typed, then a quit from the tray with the editor open");
        ASSERT_TRUE(h.typeInto("ms_1_macro_name_edit", "Burst"));
        EXPECT_EQ(h->quit(), 0);
        EXPECT_EQ(stored()[0].nameText(), u"Burst");
    }
}

// The kit draws its sliders and follows the pointer itself, as QSlider would: a left
// click beside the handle pages towards the pointer, the middle button puts the handle
// under it, and the handle dragged past the start stops there; the box follows each.
TEST(PointerAndWheel, ASliderFollowsTheRealPointerAsQSliderWould) {
    HalvernUnderX h;
    ASSERT_EQ(h.problem(), "");
    const std::string slider = "ms_1_slider_dpi_3";
    ASSERT_EQ(h->ask("slide " + slider + " 100"), "ok");
    const auto [cx, cy] = h.where(slider);
    // The slider is 286 pixels wide for positions 1 to 280: at 100 the handle lies in
    // its left half, and 120 pixels right of the centre is groove beyond it.
    const std::string beside = std::to_string(std::stoi(cx) + 120), end = std::to_string(std::stoi(cx) + 140);
    const std::string before = std::to_string(std::stoi(cx) - 200);
    auto value = [&] { return std::stoi(h->field(slider, "value")); };

    ASSERT_TRUE(h.x().xdotool({"mousemove", beside, cy, "sleep", "0.2", "click", "1", "sleep", "0.3"}));
    EXPECT_TRUE(WaitFor([&] { return value() > 100; })) << "a click beside the handle did not page";
    const int paged = value();
    EXPECT_LT(paged, 280) << "one click pages once, it does not jump";

    ASSERT_TRUE(h.x().xdotool({"mousemove", end, cy, "sleep", "0.2", "click", "2", "sleep", "0.3"}));
    EXPECT_TRUE(WaitFor([&] { return value() > paged; })) << "the middle button did not move the handle there";

    // The handle is now under the pointer: held and dragged past the slider's start.
    ASSERT_TRUE(h.x().xdotool(
        {"mousedown", "1", "sleep", "0.2", "mousemove", before, cy, "sleep", "0.2", "mouseup", "1", "sleep", "0.3"}));
    EXPECT_TRUE(WaitFor([&] { return value() == 1; })) << "the drag did not take the handle to the start";
    EXPECT_TRUE(h->fieldBecomes("ms_1_edit_dpi_3", "text", std::to_string(DpiFromValue(1))));
    // Released: moving the pointer back over the slider no longer moves it.
    ASSERT_TRUE(h.x().xdotool({"mousemove", end, cy, "sleep", "0.3"}));
    EXPECT_EQ(value(), 1);
}

// With an option focused, the real arrow keys move the selection through its group
// alone, and stop at the group's ends.
TEST(PointerAndWheel, ArrowKeysMoveTheSelectionThroughTheFocusedOptionsGroup) {
    HalvernUnderX h;
    ASSERT_EQ(h.problem(), "");
    auto selected = [&] {
        std::string steps;
        for (int i = 1; i <= 8; ++i)
            if (h->field("ms_1_option_dpi_step_" + std::to_string(i), "selected") == "1") steps += std::to_string(i);
        return steps;
    };
    const std::string picture = h->field("ms_1_option_mouse_pic_1", "selected");

    ASSERT_EQ(h->ask("click ms_1_option_dpi_step_2"), "ok");
    ASSERT_EQ(h->ask("focus ms_1_option_dpi_step_2"), "ok");
    ASSERT_EQ(selected(), "2");
    ASSERT_TRUE(h.x().xdotool({"key", "Left", "sleep", "0.2", "key", "Left", "sleep", "0.3"}));
    EXPECT_TRUE(WaitFor([&] { return selected() == "1"; })) << selected();
    ASSERT_TRUE(h.x().xdotool({"key", "Right", "sleep", "0.2", "key", "Right", "sleep", "0.3"}));
    EXPECT_TRUE(WaitFor([&] { return selected() == "3"; })) << selected();
    EXPECT_EQ(h->field("ms_1_option_mouse_pic_1", "selected"), picture) << "another group moved";
}

// The key combination dialog opens on its key box: the real Enter its hint asks for,
// then a real key, gives the key, where Enter once pressed the close button the focus
// began on.
TEST(PointerAndWheel, TheKeyCombinationDialogTakesEnterThenAKeyFromTheKeyboard) {
    HalvernUnderX h;
    ASSERT_EQ(h.problem(), "");
    ASSERT_EQ(h->ask("click ms_1_btn_key_6"), "ok");
    ASSERT_EQ(h->ask("click ms_1_shortcut"), "ok");
    ASSERT_TRUE(WaitFor([&] { return h->ask("modal") == "ok shortcut.xml"; }));
    ASSERT_TRUE(h.x().xdotool({"sleep", "0.3", "key", "Return", "sleep", "0.3", "key", "k", "sleep", "0.3"}));
    ASSERT_EQ(h->ask("modal"), "ok shortcut.xml") << "Enter closed the dialog";
    EXPECT_TRUE(h->fieldBecomes("edit_key", "text", "K"));
    ASSERT_EQ(h->ask("click btn_ok"), "ok");
    EXPECT_TRUE(h->fieldBecomes("ms_1_btn_key_6", "text", "K"));
}

// A combo builds its drop-down only when it is first opened: opened by a real click, it
// shows its effects, and the one the keys then choose is sent.
TEST(PointerAndWheel, AnEffectChosenFromTheDropDownAClickOpenedReachesTheMouse) {
    HalvernUnderX h;
    ASSERT_EQ(h.problem(), "");
    ASSERT_TRUE(h->apply());
    // The sections above closed, so that the light section's combo is on the screen.
    for (const char* above : {"ms_1_check_profile", "ms_1_check_dpi", "ms_1_check_button", "ms_1_check_light"})
        ASSERT_EQ(h->ask(std::string("click ") + above), "ok");
    ASSERT_TRUE(h->fieldBecomes("ms_1_combo_light", "visible", "1"));
    std::this_thread::sleep_for(300ms);  // the column settles
    const std::string before = h->field("ms_1_combo_light", "value");
    const std::size_t seen = h->received().size();

    ASSERT_TRUE(h.clickOn("ms_1_combo_light"));
    ASSERT_TRUE(h.x().xdotool({"key", "Down", "sleep", "0.2", "key", "Return"}));
    EXPECT_TRUE(WaitFor([&] { return h->field("ms_1_combo_light", "value") != before; }));
    EXPECT_TRUE(WaitFor([&] { return !h->receivedSince(seen).empty(); })) << "nothing reached the mouse";
}

TEST(PointerAndWheel, AWheelFlickScrollsTheSettingsColumnPastItsControls) {
    HalvernUnderX h;
    ASSERT_EQ(h.problem(), "");
    ASSERT_TRUE(h->apply());
    {
        SCOPED_TRACE("a slider with the focus takes the wheel, and the column stays");
        ASSERT_TRUE(h.clickOn("ms_1_slider_dpi_1"));
        const std::string clicked = h->field("ms_1_slider_dpi_1", "value");
        const int at = Y(h.where("ms_1_slider_dpi_1"));
        ASSERT_TRUE(h.x().xdotool({"click", "--repeat", "2", "--delay", "60", "5", "sleep", "0.3"}));
        EXPECT_TRUE(WaitFor([&] { return h->field("ms_1_slider_dpi_1", "value") != clicked; }));
        EXPECT_EQ(Y(h.where("ms_1_slider_dpi_1")), at);
        // The focus goes to a box, which takes no wheel.
        ASSERT_TRUE(h.clickOn("ms_1_edit_dpi_1"));
    }
    // The light section open, so that its effect combo and sliders are in the column.
    ASSERT_EQ(h->ask("click ms_1_check_light"), "ok");
    ASSERT_TRUE(h->fieldBecomes("ms_1_combo_light", "visible", "1"));
    std::this_thread::sleep_for(300ms);  // the column settles
    const std::vector<std::string> passing = {
        "ms_1_slider_dpi_5", "ms_1_slider_dpi_8",       "ms_1_combo_light",      "ms_1_slider_brightness",
        "ms_1_btn_prate_4",  "ms_1_slider_sleep_timer", "ms_1_slider_light_off", "ms_1_slider_key_debounce"};
    std::vector<std::string> watched = passing;
    for (const char* more :
         {"ms_1_slider_dpi_4", "ms_1_slider_dpi_6", "ms_1_slider_dpi_7", "ms_1_btn_prate_1", "ms_1_btn_prate_2",
          "ms_1_btn_prate_3", "ms_1_slider_breathspeed", "ms_1_combo_light_ble", "ms_1_option_ripple_control_1",
          "ms_1_option_ripple_control_2", "ms_1_option_angle_snap_1", "ms_1_option_angle_snap_2"})
        watched.emplace_back(more);
    std::map<std::string, std::string> shown;
    std::map<std::string, int> yBefore;
    for (const std::string& c : watched) {
        shown[c] = h->ask("get " + c);
        yBefore[c] = Y(h.where(c));
    }
    const std::size_t seen = h->received().size();

    // The pointer starts on DPI level 4's slider, over the fourth polling option's
    // column, through which the lower DPI sliders, the light section, the polling
    // options and the power and debounce sliders all pass as the column scrolls down.
    const std::string x = h.where("ms_1_btn_prate_4").first;
    const int pointerY = Y(h.where("ms_1_slider_dpi_4"));
    ASSERT_TRUE(h.x().xdotool({"mousemove", x, std::to_string(pointerY), "sleep", "0.3"}));
    ASSERT_TRUE(h.x().xdotool({"click", "--repeat", "25", "--delay", "40", "5"}));
    // Until the column has moved and taken the last notch.
    int last = yBefore["ms_1_slider_dpi_5"];
    ASSERT_TRUE(WaitFor([&] {
        std::this_thread::sleep_for(200ms);
        const int now = Y(h.where("ms_1_slider_dpi_5"));
        const bool settled = now == last && now != yBefore["ms_1_slider_dpi_5"];
        last = now;
        return settled;
    })) << "the column did not scroll";

    for (const std::string& c : watched) EXPECT_EQ(h->ask("get " + c), shown[c]) << c;
    for (const std::string& c : passing) {
        const int yAfter = Y(h.where(c));
        EXPECT_LT(yAfter, yBefore[c]) << c << ": the column did not scroll";
        EXPECT_TRUE(yAfter <= pointerY && pointerY <= yBefore[c]) << c << " did not pass under the pointer";
    }
    // The sliders and the effect would have gone out within half a second.
    std::this_thread::sleep_for(800ms);
    EXPECT_EQ(h->receivedSince(seen), std::vector<std::string>{});
}

}  // namespace
}  // namespace halvern::test
