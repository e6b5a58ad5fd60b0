// The settings page in the real main window with the real skin, on virtual time, with a
// stand-in mouse behind the apply worker: what the page shows of a stored profile, what
// an edit changes, when it is applied, and what reaches the mouse.
#include <gtest/gtest.h>

#include "storage/MacroStore.h"
#include "storage/SettingsFile.h"
#include "support/Macros.h"
#include "support/PageHarness.h"
#include "ui/kit/Button.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Label.h"
#include "ui/kit/List.h"
#include "ui/kit/Slider.h"
#include "protocol/ApplyWorker.h"
#include "protocol/CommandReports.h"
#include "records/Settings.h"
#include "ui/page/PageSection.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;

class Page : public test::PageHarness {
protected:
    void open(kit::Skin* useSkin = nullptr) { PageHarness::open(true, false, useSkin); }
};

constexpr int kSensorReport = 0x04;
constexpr int kLightReport = 0x05;
constexpr int kPollingReport = 0x06;

// ---- What a stored profile looks like on the page ----

TEST_F(Page, AStoredProfileIsShownInEveryControl) {
    store({[](MouseProfile& p) {
        p.dpiStep = 2;
        p.dpiValue[0] = 201;
        p.dpiColor[1] = {0x12, 0x34, 0x56, 0};
        p.lightEffect = 2;
        p.pollingRate = 1;
        p.keyDebounce = 4;
        p.lightOffTimer = 3;
        p.sleepTimer = 10;
        p.angleSnap = 1;
    }});
    open();
    EXPECT_EQ(find<kit::Option>("ms_1_option_dpi_step_3")->isSelected(), true);
    EXPECT_EQ(find<kit::Slider>("ms_1_slider_dpi_1")->value(), 201);
    EXPECT_EQ(shown("ms_1_label_dpi_1"), u"10100"_qs);
    EXPECT_EQ(find<kit::Edit>("ms_1_edit_dpi_1")->QLineEdit::text(), u"10100"_qs);
    EXPECT_EQ(find<kit::Button>("ms_1_btn_dpi_color_2")->bkColor(), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(find<kit::Combo>("ms_1_combo_light")->currentSelection(), 2);
    EXPECT_TRUE(find<kit::Option>("ms_1_btn_prate_2")->isSelected());
    EXPECT_EQ(shown("ms_1_label_prate"), skin.text(u"prate_2_text"_qs));
    EXPECT_EQ(shown("ms_1_label_key_debounce"), u"8 MS"_qs);
    EXPECT_EQ(shown("ms_1_label_light_off"),
              skin.text(u"sleep_timer_1_text"_qs) + u"1.5 "_qs + skin.text(u"sleep_timer_2_text"_qs));
    EXPECT_EQ(shown("ms_1_label_sleep_timer"),
              skin.text(u"sleep_timer_3_text"_qs) + u"10 "_qs + skin.text(u"sleep_timer_2_text"_qs));
    EXPECT_TRUE(find<kit::Option>("ms_1_option_angle_snap_2")->isSelected());
    EXPECT_EQ(find<kit::List>("ms_1_list_profile")->rowText(0), u"P1"_qs);
    // The light section starts closed and the lift-off toggle cannot be opened.
    EXPECT_FALSE(visible("ms_1_ver_light"));
    EXPECT_FALSE(visible("ms_1_check_lift_of_distance"));
}

TEST_F(Page, ValuesOutOfRangeAreShownAndSentWithinRangeAndNeverIndexPastATable) {
    store({[](MouseProfile& p) {
        p.dpiValue[0] = 999;
        p.dpiValue[1] = -5;
        p.dpiStep = 40;
        p.lightEffect = 200;
        p.lightEffectBle = -1;
        p.pollingRate = 9;
        p.dpiColor[0].zero = 0x77;
        p.keyDebounce = 1000;
    }});
    {
        SettingsFile settings(data.path());
        settings.saveModelId(7);
    }
    open();
    EXPECT_EQ(current().dpiValue[0], 280);
    EXPECT_EQ(current().dpiValue[1], 0);
    EXPECT_EQ(current().dpiStep, 7);
    EXPECT_EQ(current().lightEffect, 15);
    EXPECT_EQ(current().lightEffectBle, 0);
    EXPECT_EQ(current().pollingRate, 3);
    EXPECT_EQ(current().dpiColor[0].zero, 0);
    EXPECT_EQ(shown("ms_1_label_dpi_1"), u"18000"_qs);
    EXPECT_EQ(find<kit::Combo>("ms_1_combo_light")->currentSelection(), 15);
    // A model id outside 0..2 shows the first picture and is written back as 0.
    EXPECT_TRUE(find<kit::Option>("ms_1_option_mouse_pic_1")->isSelected());
    EXPECT_EQ(SettingsFile(data.path()).readModelId(), 0);

    applyAndForget();  // the first apply after start sends everything
    // What the mouse is sent is what the page shows.
    EXPECT_EQ(BringIntoRange(current()), false);
}

TEST_F(Page, TheFirstClickOnAnotherProfileMakesItCurrentAndSendsAllOfIt) {
    store({[](MouseProfile&) {}, [](MouseProfile& p) { p.dpiStep = 4; }});
    open();
    applyAndForget();
    auto* list = find<kit::List>("ms_1_list_profile");
    ASSERT_EQ(list->rowCount(), 2);
    // As a user's click: the list's own current-row change, no program selection.
    list->setCurrentRow(1);
    EXPECT_EQ(page->currentProfile(), &page->profileStore().at(1));
    EXPECT_TRUE(find<kit::Option>("ms_1_option_dpi_step_5")->isSelected());
    settle();
    // Another profile goes out whole: the preamble and every group.
    const std::vector<int> ids = sentIds();
    EXPECT_EQ(ids.front(), 0x0C);
    EXPECT_NE(std::find(ids.begin(), ids.end(), kLightReport), ids.end());
}

TEST_F(Page, KeyButtonsShowTheirAssignments) {
    store({[](MouseProfile& p) {
        p.buttons[3].function = ButtonFunction::KeyCombination;
        p.buttons[3].keyModifiers = kModCtrl | kModShift;
        p.buttons[3].keyUsage = 0x0E;  // K
        p.buttons[4].function = ButtonFunction::Macro;
        p.buttons[4].macroName[0] = u'M';
        p.buttons[5].function = 68;
        p.buttons[6].function = 200;  // no such code
    }});
    open();
    EXPECT_EQ(shown("ms_1_btn_key_1"), skin.text(u"left_click_text"_qs));
    EXPECT_EQ(shown("ms_1_btn_key_4"),
              skin.text(u"keyboard_ctrl_text"_qs) + u"+"_qs + skin.text(u"keyboard_shift_text"_qs) + u"+K"_qs);
    EXPECT_EQ(shown("ms_1_btn_key_5"), skin.text(u"assign_macro_text"_qs) + u"M"_qs);
    EXPECT_EQ(shown("ms_1_btn_key_6"), skin.text(u"next_track_text"_qs));
    EXPECT_EQ(shown("ms_1_btn_key_7"), QString());
    EXPECT_EQ(shown("ms_1_btn_key_9"), QString());  // code 121 has no text
    EXPECT_EQ(shown("ms_1_btn_key_18"), skin.text(u"scroll_up_text"_qs));
}

TEST_F(Page, ASkinWithoutMostControlsLeavesThemInertAndEverythingElseWorking) {
    auto folder = test::SkinFolder::CopyOfRealSkin();
    folder->write("main.xml", R"(<Window size="800,572">
      <Vertical virtualwnd="MS_1_Page">
        <Option name="ms_1_option_dpi_step_3" group="g"/>
        <Slider name="ms_1_slider_dpi_2" min="1" max="280"/>
      </Vertical></Window>)");
    kit::Skin thin = folder->makeSkin();
    open(&thin);
    applyAndForget();
    page->selectDpiLevel(5);
    page->selectLightEffect(3);
    page->showIndicator(DeviceObserver::Indicator::Ble, true);
    page->batteryChanged(BatteryState::Of(BatteryState::Kind::Plugged));
    page->batteryChanged(BatteryState::AtLevel(40));
    links.bleLink = 1;
    page->updateLinkSections();
    find<kit::Option>("ms_1_option_dpi_step_3")->click();
    settle();
    EXPECT_EQ(current().dpiStep, 2);
    EXPECT_EQ(sentIds(), std::vector<int>{kSensorReport});

    // And a skin that is not there at all.
    test::SkinFolder empty;
    kit::Skin none = empty.makeSkin();
    window.reset();
    page.reset();
    open(&none);
    page->refreshControls();
    EXPECT_TRUE(page->currentProfile());
}

// ---- Sections ----

TEST_F(Page, PollingAndDebounceFollowTheLinksTheyCanBeChangedOver) {
    open();
    auto* prate = find<kit::CheckBox>("ms_1_check_prate");
    auto* debounce = find<kit::CheckBox>("ms_1_check_key_debounce");
    ASSERT_TRUE(prate->isChecked());

    links.wirelessLink = 0;
    links.bleLink = 1;
    page->updateLinkSections();
    for (const char* name : {"ms_1_check_prate", "ms_1_check_key_debounce", "ms_1_ver_prate", "ms_1_hor_key_debounce"})
        EXPECT_FALSE(visible(name)) << name;
    EXPECT_FALSE(prate->isChecked());
    EXPECT_FALSE(debounce->isChecked());

    // 2.4 GHz alone after Bluetooth LE leaves them as they are ...
    links.bleLink = 0;
    links.wirelessLink = 1;
    page->updateLinkSections();
    EXPECT_FALSE(visible("ms_1_check_prate"));
    // ... until a cable link comes up; the panels keep their own state.
    links.wiredLink = 1;
    page->updateLinkSections();
    EXPECT_TRUE(visible("ms_1_check_prate"));
    EXPECT_TRUE(visible("ms_1_check_key_debounce"));
    EXPECT_FALSE(visible("ms_1_ver_prate"));
}

TEST_F(Page, SectionsOpenAndCloseAndTheLowerOnesScrollIntoView) {
    open();
    auto* angle = find<kit::CheckBox>("ms_1_check_angle_snap");
    angle->click();  // closes
    EXPECT_FALSE(visible("ms_1_hor_angle_snap"));
    EXPECT_FALSE(window->isTimerActive(TimerId::ScrollSettings));
    angle->click();  // opens, and the column scrolls to its end 10 ms later
    EXPECT_TRUE(visible("ms_1_hor_angle_snap"));
    EXPECT_TRUE(window->isTimerActive(TimerId::ScrollSettings));
    time->advance(10ms);
    EXPECT_FALSE(window->isTimerActive(TimerId::ScrollSettings));

    auto* light = find<kit::CheckBox>("ms_1_check_light");
    light->click();
    EXPECT_TRUE(visible("ms_1_ver_light"));
    EXPECT_FALSE(window->isTimerActive(TimerId::ScrollSettings));
}

// ---- DPI ----

TEST_F(Page, TypedDpiValuesCommitOnLeavingOrEnterAsTheConversionSays) {
    open();
    auto* edit = find<kit::RichEdit>("ms_1_edit_dpi_2");
    auto* slider = find<kit::Slider>("ms_1_slider_dpi_2");
    struct Case {
        const char* typed;
        int value;
        const char* shows;
    };
    for (const Case& c : {Case{"0", 1, "50"}, Case{"", 1, "50"}, Case{"75", 1, "50"}, Case{"120", 2, "100"},
                          Case{"10050", 200, "10000"}, Case{"10150", 201, "10100"}, Case{"17999", 279, "17900"},
                          Case{"99999", 280, "18000"},
                          // Longer than any DPI: taken as the most, not cut to 32 bits (2^32 + 50).
                          Case{"4294967346", 280, "18000"}, Case{"123456789012345678901234567890", 280, "18000"}}) {
        for (bool enter : {false, true}) {
            edit->setText(QString::fromLatin1(c.typed), kit::Notify::No);
            kit::Notification n;
            n.type = enter ? kit::notify::kReturn : kit::notify::kKillFocus;
            n.sender = edit;
            page->notify(n);
            EXPECT_EQ(current().dpiValue[1], c.value) << c.typed;
            EXPECT_EQ(slider->value(), c.value) << c.typed;
            EXPECT_EQ(edit->QLineEdit::text(), QString::fromLatin1(c.shows)) << c.typed;
        }
    }
    // Letters pasted in disappear at once, the caret at the end.
    edit->setText(u"1a2b"_qs, kit::Notify::Yes);
    EXPECT_EQ(edit->QLineEdit::text(), u"12"_qs);
    EXPECT_EQ(edit->cursorPosition(), 2);
}

TEST_F(Page, DpiSlidersWaitForAnApplyWhileLevelColourAndResetApplyAtOnce) {
    open();
    applyAndForget();
    auto* slider = find<kit::Slider>("ms_1_slider_dpi_1");
    slider->QSlider::setValue(40);  // a drag
    EXPECT_EQ(current().dpiValue[0], 40);
    EXPECT_EQ(shown("ms_1_label_dpi_1"), u"2000"_qs);
    settle();
    EXPECT_TRUE(mouse.written().empty());

    find<kit::Option>("ms_1_option_dpi_step_3")->click();
    settle();
    EXPECT_EQ(current().dpiStep, 2);
    EXPECT_EQ(sentIds(), std::vector<int>{kSensorReport});  // the slider's change goes with it
    mouse.clear();

    // A cancelled picker changes nothing; a chosen colour is stored and applied.
    find<kit::Button>("ms_1_btn_dpi_color_4")->click();
    ASSERT_TRUE(pickerAsked);
    EXPECT_EQ(pickerAsked->first, 0xFFFFFF00u);
    settle();
    EXPECT_TRUE(mouse.written().empty());
    pickerAnswer = 0xFF102030u;
    find<kit::Button>("ms_1_btn_dpi_color_4")->click();
    settle();
    EXPECT_EQ(current().dpiColor[3], (RgbColor{0x10, 0x20, 0x30, 0}));
    EXPECT_EQ(find<kit::Button>("ms_1_btn_dpi_color_4")->bkColor(), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(sentIds(), std::vector<int>{kSensorReport});
    mouse.clear();

    current().dpiValueCopy[5] = 17;
    find<kit::Button>("ms_1_btn_reset_dpi")->click();
    settle();
    EXPECT_EQ(current().dpiStep, 1);
    EXPECT_EQ(current().dpiValue[5], 280);
    EXPECT_EQ(current().dpiValueCopy[5], 280) << "the copies go with the levels to the mouse";
    EXPECT_EQ(current().dpiValue[6], 0);
    EXPECT_EQ(current().dpiEnabled[6], 0);
    EXPECT_EQ(current().dpiColor[6], (RgbColor{255, 64, 0, 0}));
    EXPECT_EQ(shown("ms_1_label_dpi_7"), u"0"_qs);
    EXPECT_EQ(sentIds(), std::vector<int>{kSensorReport});
}

TEST_F(Page, AColourPickerOpensUnderItsButtonTwoHundredPixelsToTheLeft) {
    open();
    auto* button = find<kit::Button>("ms_1_btn_dpi_color_1");
    button->click();
    ASSERT_TRUE(pickerAsked);
    const QPoint below = button->mapTo(window.get(), QPoint(0, button->height()));
    EXPECT_EQ(pickerAsked->second, window->geometry().topLeft() + QPoint(below.x() - 200, below.y()));
}

// ---- The one table of settings ----

TEST_F(Page, TheSkinHasEveryControlTheTableNamesWithTheTablesRange) {
    open();
    for (const SettingRow& row : kSettings) {
        SCOPED_TRACE(std::string(row.cliName));
        if (!row.textKey.empty()) {
            EXPECT_NE(text(std::string(row.textKey).c_str()),
                      QString::fromLatin1(row.textKey.data(), row.textKey.size()));
        }
        if (!row.valueLabel.empty()) {
            EXPECT_TRUE(window->find<kit::Label>(SectionBinder::Numbered(row.valueLabel, 1)));
        }
        const int controls = row.control == SettingControl::Options ? row.range.max - row.range.min + 1 : 1;
        for (int n = 1; n <= controls && row.control != SettingControl::None; ++n) {
            kit::Control* c = window->findControl(SectionBinder::Numbered(row.controlName, n));
            ASSERT_TRUE(c) << n;
            switch (row.control) {
                case SettingControl::Slider: {
                    auto* slider = dynamic_cast<kit::Slider*>(c);
                    ASSERT_TRUE(slider);
                    const SettingRange range = row.id == SettingId::DpiValue ? kDpiSliderRange : row.range;
                    EXPECT_EQ(slider->minimum(), range.min);
                    EXPECT_EQ(slider->maximum(), range.max);
                    break;
                }
                case SettingControl::Options: EXPECT_TRUE(dynamic_cast<kit::Option*>(c)); break;
                case SettingControl::Check: EXPECT_TRUE(dynamic_cast<kit::CheckBox*>(c)); break;
                case SettingControl::Combo: EXPECT_EQ(dynamic_cast<kit::Combo*>(c)->count(), row.range.max + 1); break;
                case SettingControl::Color: EXPECT_TRUE(dynamic_cast<kit::Button*>(c)); break;
                case SettingControl::None: break;
            }
        }
    }
}

// Move mode included, which once kept the state the user last gave it.
TEST_F(Page, EveryControlOfTheTableShowsTheProfileChosen) {
    store({[](MouseProfile&) {},
           [](MouseProfile& p) {
               for (const SettingRow& row : kSettings) test::SetOtherSettingValue(p, row);
           }});
    open();
    const MouseProfile first = current();
    find<kit::List>("ms_1_list_profile")->selectRow(1, kit::Notify::Yes);
    ASSERT_EQ(page->profileStore().selectedProfile(), 1);
    const MouseProfile second = current();
    for (const SettingRow& row : kSettings) {
        SCOPED_TRACE(std::string(row.cliName));
        const std::optional<std::int32_t> value = test::ShownSettingValue(*window, row);
        if (!value) continue;
        EXPECT_NE(test::ModelSettingValue(first, row), test::ModelSettingValue(second, row));
        EXPECT_EQ(*value, test::ModelSettingValue(second, row));
    }
}

// ---- What the mouse reports ----

// A press of the mouse's DPI button changes the active level in the profile and in what
// the mouse holds, and nothing else: a DPI dragged before it still goes out.
TEST_F(Page, AReportedSettingTakesItsFieldOnlyAndPendingEditsStillGo) {
    open();
    applyAndForget();
    find<kit::Slider>("ms_1_slider_dpi_2")->QSlider::setValue(40);
    time->advance(kReportCrossingWindow * 2);
    clock.advanceBy(kReportCrossingWindow * 2);
    page->settingReported(SettingId::DpiActive, 4);
    page->selectDpiLevel(5);
    settle();
    EXPECT_TRUE(mouse.written().empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->lastApplied() && page->lastApplied()->dpiStep == 4; }));
    EXPECT_EQ(page->lastApplied()->dpiValue[1], 32) << "the drag was taken for sent";
    EXPECT_EQ(current().dpiStep, 4);

    find<kit::Button>("ms_1_btn_apply_dpi")->click();
    settle();
    ASSERT_EQ(sentIds(), std::vector<int>{kSensorReport});
    const auto expected = BuildSensorReport(current());
    EXPECT_EQ(mouse.written()[0].bytes, std::vector<std::uint8_t>(expected.bytes().begin(), expected.bytes().end()));
    EXPECT_EQ(page->lastApplied()->dpiValue[1], 40);
}

// ---- What the store keeps ----

MouseProfile StoredProfile(const std::filesystem::path& data, std::size_t at) {
    ProfileStore s(ModelFolder(data));
    s.read(u"x");
    return s.at(at);
}

TEST_F(Page, EditsReachTheStoreASecondAfterTheLastWithOrWithoutALink) {
    for (bool linked : {true, false}) {
        SCOPED_TRACE(linked);
        reopen();
        std::filesystem::remove_all(ModelFolder(data.path()));
        PageHarness::open(linked);
        find<kit::Option>("ms_1_option_dpi_step_4")->click();
        time->advance(600ms);
        find<kit::Slider>("ms_1_slider_brightness")->QSlider::setValue(9);
        time->advance(999ms);
        EXPECT_NE(StoredProfile(data.path(), 0).brightness, 9) << "saved before the edits settled";
        time->advance(1ms);
        const MouseProfile stored = StoredProfile(data.path(), 0);
        EXPECT_EQ(stored.dpiStep, 3);
        EXPECT_EQ(stored.brightness, 9);
        EXPECT_FALSE(page->storeUnsaved());
    }
}

TEST_F(Page, AStoreThatCannotBeWrittenIsSaidTriedAgainAndAskedAboutAtQuit) {
    open();
    const std::filesystem::path file = ModelFolder(data.path()) / ProfileStore::kFileName;
    // A folder where the store goes: every write of it fails, whoever runs the test.
    auto block = [&] {
        std::filesystem::remove(file);
        std::filesystem::create_directories(file / "in-the-way");
    };
    auto unblock = [&] { std::filesystem::remove_all(file); };
    block();
    find<kit::Option>("ms_1_option_dpi_step_6")->click();
    time->advance(1s);
    EXPECT_TRUE(visible("ms_1_label_apply_state"));
    EXPECT_EQ(shown("ms_1_label_apply_state"), text("store_not_saved_text"));
    EXPECT_TRUE(page->storeUnsaved());
    unblock();
    time->advance(5s);  // tried again on its own
    EXPECT_FALSE(page->storeUnsaved());
    EXPECT_EQ(StoredProfile(data.path(), 0).dpiStep, 5);
    EXPECT_FALSE(visible("ms_1_label_apply_state"));

    // At quit: OK tries again (here after the way is clear), Cancel ends without.
    for (int answer : {1, 0}) {
        SCOPED_TRACE(answer);
        block();
        find<kit::Option>(answer ? "ms_1_option_dpi_step_2" : "ms_1_option_dpi_step_3")->click();
        shownWindows.clear();
        then([&, answer](kit::SkinWindow& w) {
            if (answer) unblock();
            w.closeWindow(answer);
        });
        page->keepBeforeQuit();
        ASSERT_EQ(shownWindows.size(), 1u);
        EXPECT_EQ(shownWindows[0].text, text("store_not_saved_quit_text"));
        EXPECT_EQ(page->storeUnsaved(), answer == 0);
        unblock();
    }
}

// ---- Light, polling, power ----

TEST_F(Page, TheEffectDecidesWhichLightPanelsShow) {
    open();
    auto* combo = find<kit::Combo>("ms_1_combo_light");
    struct Case {
        int effect;
        bool brightness, speed, color;
    };
    for (const Case& c : {Case{0, false, false, false}, Case{1, true, false, true}, Case{2, false, true, true},
                          Case{11, false, true, false}, Case{12, false, false, false}}) {
        combo->setCurrentIndex(c.effect);
        EXPECT_EQ(current().lightEffect, c.effect);
        EXPECT_EQ(visible("ms_1_ver_brightness"), c.brightness) << c.effect;
        EXPECT_EQ(visible("ms_1_ver_breathspeed"), c.speed) << c.effect;
        EXPECT_EQ(visible("ms_1_hor_light_color"), c.color) << c.effect;
    }
    find<kit::Combo>("ms_1_combo_light_ble")->setCurrentIndex(1);
    EXPECT_EQ(current().lightEffectBle, 1);
    EXPECT_FALSE(visible("ms_1_ver_brightness"));
}

TEST_F(Page, ADragAppliesOnceHalfASecondAfterItsLastValueAndAnEffect200msAfterItsChoice) {
    open();
    applyAndForget();
    auto* brightness = find<kit::Slider>("ms_1_slider_brightness");
    for (int v = 1; v <= 10; ++v) {
        brightness->QSlider::setValue(v);
        time->advance(50ms);
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(mouse.written().empty());
    time->advance(449ms);
    QCoreApplication::processEvents();
    EXPECT_TRUE(mouse.written().empty());
    time->advance(1ms);
    settle();
    EXPECT_EQ(sentIds(), std::vector<int>{kLightReport});
    EXPECT_EQ(current().brightness, 10);
    mouse.clear();

    find<kit::Combo>("ms_1_combo_light")->setCurrentIndex(4);
    time->advance(199ms);
    QCoreApplication::processEvents();
    EXPECT_TRUE(mouse.written().empty());
    time->advance(1ms);
    settle();
    EXPECT_EQ(sentIds(), std::vector<int>{kLightReport});
}

TEST_F(Page, OptionsAndMoveModeApplyAtOnceAndThePictureIsOnlyRemembered) {
    open();
    applyAndForget();
    find<kit::Option>("ms_1_btn_prate_1")->click();
    settle();
    EXPECT_EQ(current().pollingRate, 0);
    EXPECT_EQ(shown("ms_1_label_prate"), skin.text(u"prate_1_text"_qs));
    EXPECT_EQ(sentIds(), std::vector<int>{kPollingReport});
    mouse.clear();

    find<kit::Option>("ms_1_option_ripple_control_2")->click();
    find<kit::CheckBox>("ms_1_check_movemode")->click();
    settle();
    EXPECT_EQ(current().rippleControl, 1);
    EXPECT_EQ(current().moveMode, 1);
    mouse.clear();

    find<kit::Option>("ms_1_option_mouse_pic_2")->click();
    settle();
    EXPECT_TRUE(mouse.written().empty());
    EXPECT_EQ(SettingsFile(data.path()).readModelId(), 1);
    EXPECT_EQ(find<kit::Control>("ms_1_container_mouse_pic")->bkImage().file, u"skins/ms_1/mouse_2.png"_qs);

    find<kit::Button>("ms_1_btn_mouse_attribute")->click();
    EXPECT_EQ(mouseSettingsOpened, 1);
}

TEST_F(Page, TimerTextsFollowTheirSliders) {
    open();
    find<kit::Slider>("ms_1_slider_key_debounce")->QSlider::setValue(7);
    EXPECT_EQ(shown("ms_1_label_key_debounce"), u"14 MS"_qs);
    find<kit::Slider>("ms_1_slider_light_off")->QSlider::setValue(4);
    EXPECT_EQ(shown("ms_1_label_light_off"),
              skin.text(u"sleep_timer_1_text"_qs) + u"2.0 "_qs + skin.text(u"sleep_timer_2_text"_qs));
    EXPECT_TRUE(window->isTimerActive(TimerId::ApplyDebounce));
}

// ---- What the mouse did ----

TEST_F(Page, SettingsTheMouseReportsAreSelectedWithoutAnApply) {
    open();
    applyAndForget();
    page->selectDpiLevel(6);
    page->selectPollingRate(2);
    page->selectLightEffect(3);
    page->selectLightEffect(99);  // not an item: ignored
    page->selectDpiLevel(0);
    page->selectPollingRate(7);
    EXPECT_TRUE(find<kit::Option>("ms_1_option_dpi_step_6")->isSelected());
    EXPECT_TRUE(find<kit::Option>("ms_1_btn_prate_3")->isSelected());
    EXPECT_EQ(find<kit::Combo>("ms_1_combo_light")->currentSelection(), 3);
    settle();
    EXPECT_TRUE(mouse.written().empty());

    // The charging text is the language's, though the page was bound before it loaded.
    page->batteryChanged(BatteryState::Of(BatteryState::Kind::Plugged));
    EXPECT_EQ(shown("ms_1_label_power"), skin.text(u"charging_text"_qs));
    EXPECT_NE(shown("ms_1_label_power"), u"charging_text"_qs);
    page->batteryChanged(BatteryState::AtLevel(57));
    EXPECT_EQ(shown("ms_1_label_power"), u"57%"_qs);

    page->showIndicator(DeviceObserver::Indicator::Wireless, true);
    EXPECT_TRUE(visible("ms_1_wireless"));
    page->showIndicator(DeviceObserver::Indicator::Wireless, false);
    EXPECT_FALSE(visible("ms_1_wireless"));
}

TEST_F(Page, EditsMadeWithoutALinkGoOutWhenOneComesUp) {
    open();
    applyAndForget();
    links.wirelessLink = 0;
    links.anyLink = 0;
    find<kit::Option>("ms_1_option_dpi_step_4")->click();
    settle();
    EXPECT_TRUE(mouse.written().empty());

    links.wirelessLink = 1;
    links.anyLink = 1;
    page->updateLinkSections();
    settle();
    EXPECT_EQ(sentIds(), std::vector<int>{kSensorReport});
    EXPECT_EQ(mouse.written().front().bytes.size() > 0, true);
}

TEST_F(Page, AnApplyTheMouseDidNotConfirmIsSaidInThePageAndSentAgain) {
    open();
    applyAndForget();
    mouse.acknowledgeAtOnce = false;
    find<kit::Option>("ms_1_option_dpi_step_5")->click();
    settle();
    EXPECT_TRUE(visible("ms_1_label_apply_state"));
    EXPECT_EQ(shown("ms_1_label_apply_state"), skin.text(u"apply_unconfirmed_text"_qs));
    // Every attempt went out; the next apply sends the sensor report again.
    mouse.clear();
    mouse.acknowledgeAtOnce = true;
    find<kit::Option>("ms_1_btn_prate_2")->click();
    settle();
    const std::vector<int> ids = sentIds();
    EXPECT_NE(std::find(ids.begin(), ids.end(), kSensorReport), ids.end());
    EXPECT_NE(std::find(ids.begin(), ids.end(), kPollingReport), ids.end());
    EXPECT_FALSE(visible("ms_1_label_apply_state"));
}

// A macro kept from before that is too long for its button is cut on the mouse: the
// page says so, not that the mouse went away, and a later edit does not send it again.
TEST_F(Page, AnApplyThatCutAMacroSaysSoInThePage) {
    const MacroRecord tooLong = test::LongPauseMacro(120, u"Burst");
    store({[&](MouseProfile& p) { p.buttons[1].assignMacro(tooLong, 0, 1, 0); }});
    open();
    applyAndForget();
    EXPECT_TRUE(visible("ms_1_label_apply_state"));
    EXPECT_EQ(shown("ms_1_label_apply_state"), skin.text(u"apply_macro_cut_text"_qs));
    find<kit::Option>("ms_1_option_dpi_step_5")->click();
    settle();
    EXPECT_EQ(sentIds(), std::vector<int>{kSensorReport});
}

// ---- The macro editor ----

TEST_F(Page, ClosingTheMacroEditorBringsTheButtonsMacrosInLineWithTheList) {
    MacroRecord burst;
    burst.setName(u"Burst");
    burst.actionCount = 2;
    burst.actions[0] = {0x04, 1, 10};
    burst.actions[1] = {0x04, 2, 10};
    MacroRecord other = burst;
    other.setName(u"Other");
    store({[&](MouseProfile& p) {
        p.buttons[2].assignMacro(burst, 1, 1, 0);
        p.buttons[3].assignMacro(other, 1, 1, 1);
    }});
    MacroStore macros(ModelFolder(data.path()));
    macros.append(std::make_unique<MacroRecord>(burst));
    macros.append(std::make_unique<MacroRecord>(other));
    ASSERT_FALSE(macros.save());
    open();
    applyAndForget();

    // In the editor: "Burst" is renamed, and "Other" gets a third action.
    QTimer::singleShot(0, [&] {
        auto* editor = dynamic_cast<kit::SkinWindow*>(QApplication::activeModalWidget());
        ASSERT_TRUE(editor);
        editor->find<kit::List>(u"ms_1_macro_list"_qs)->selectRow(0, kit::Notify::Yes);
        auto* name = editor->find<kit::Edit>(u"ms_1_macro_name_edit"_qs);
        name->setText(u"Renamed"_qs, kit::Notify::No);
        editor->dispatchNotification({"killfocus", name, 0, 0, {}});
        editor->find<kit::List>(u"ms_1_macro_list"_qs)->selectRow(1, kit::Notify::Yes);
        editor->find<kit::Button>(u"ms_1_macro_key1_btn"_qs)->click();
        editor->find<kit::Button>(u"btn_exit"_qs)->click();
    });
    find<kit::Button>("ms_1_btn_macro")->click();

    // A renamed macro stays on its button under the new name.
    EXPECT_EQ(current().buttons[2].function, ButtonFunction::Macro);
    EXPECT_EQ(current().buttons[2].macroNameText(), u"Renamed");
    EXPECT_EQ(current().buttons[3].function, ButtonFunction::Macro);
    EXPECT_EQ(current().buttons[3].macroActionCount, 4);
    EXPECT_EQ(shown("ms_1_btn_key_3"), skin.text(u"assign_macro_text"_qs) + u"Renamed"_qs);
    settle();
    EXPECT_FALSE(mouse.written().empty());
}

}  // namespace
}  // namespace halvern
