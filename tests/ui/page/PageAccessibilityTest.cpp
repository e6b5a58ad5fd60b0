// The settings page as assistive technology and the keyboard meet it: every control in
// its accessible tree that a user can act on, or that says something, has a name that
// says which setting it belongs to; sliders read as the numbers shown beside them, in
// the language's way of writing numbers; sections' headers expand; Tab follows the
// layout; keys act on the profile as clicks and drags do.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QTest>

#include <map>
#include <set>

#include "app/CMainWnd.h"
#include "app/WindowTimers.h"
#include "protocol/RecordingTransports.h"
#include "support/SkinFolder.h"
#include "support/TempDir.h"
#include "support/VirtualClock.h"
#include "support/PageHarness.h"
#include "support/VirtualTimerSource.h"
#include "ui/kit/Button.h"
#include "ui/kit/Label.h"
#include "ui/kit/Slider.h"
#include "ui/page/CMS_1_Page.h"

namespace halvern {
namespace {

// Roles of controls that a user acts on or that carry information of their own.
bool NeedsName(QAccessible::Role role) {
    switch (role) {
        case QAccessible::Button:
        case QAccessible::RadioButton:
        case QAccessible::CheckBox:
        case QAccessible::Slider:
        case QAccessible::EditableText:
        case QAccessible::ComboBox:
        case QAccessible::List:
        case QAccessible::ProgressBar:
        case QAccessible::ColorChooser: return true;
        default: return false;
    }
}

struct Visit {
    std::string control;
    QAccessible::Role role;
    QString name;
};

void Walk(QAccessibleInterface* node, std::vector<Visit>& out, int depth = 0) {
    ASSERT_LT(depth, 64) << "the accessible tree loops";
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (!child || !child->isValid()) continue;
        auto* control = dynamic_cast<kit::Control*>(qobject_cast<QWidget*>(child->object()));
        if (control && !control->widget()->isHidden())
            out.push_back({control->name().toStdString(), child->role(), child->text(QAccessible::Name)});
        Walk(child, out, depth + 1);
    }
}

class PageForEveryone : public test::PageHarness {
protected:
    // What joins after the first paint is part of the page too.
    void SetUp() override {
        PageHarness::SetUp();
        open(true, true);
    }
    std::vector<Visit> walk() {
        std::vector<Visit> visits;
        QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window.get());
        EXPECT_TRUE(root);
        if (root) Walk(root, visits);
        return visits;
    }
};

TEST_F(PageForEveryone, EveryControlOfThePageInTheAccessibleTreeHasAName) {
    const std::vector<Visit> visits = walk();
    std::set<std::string> seen;
    for (const Visit& v : visits) {
        seen.insert(v.control);
        if (NeedsName(v.role)) { EXPECT_FALSE(v.name.trimmed().isEmpty()) << v.control << " role " << v.role; }
        auto* label = window->find<kit::Label>(QString::fromStdString(v.control));
        if (label && !label->shownText().trimmed().isEmpty()) {
            EXPECT_EQ(v.name, label->shownText().trimmed()) << v.control;
        }
    }
    // The walk reached the whole page, the part that joined late included.
    for (const char* name : {"skin_btn", "main_menu_btn", "exit_btn", "ms_1_list_profile", "ms_1_slider_dpi_8",
                             "ms_1_edit_dpi_1", "ms_1_option_dpi_step_3", "ms_1_check_button", "ms_1_btn_key_1",
                             "ms_1_combo_light", "ms_1_slider_key_debounce", "ms_1_apply_btn"})
        EXPECT_TRUE(seen.contains(name)) << name;
}

TEST_F(PageForEveryone, TheNamesAreThoseOfTheLanguageShown) {
    ASSERT_FALSE(skin.setLanguage(QStringLiteral("de")));
    window->retranslate();
    page->languageChanged();
    for (const Visit& v : walk()) {
        const std::map<std::string, QString> expected = {{"ms_1_apply_btn", QStringLiteral("Übernehmen")},
                                                         {"ms_1_slider_dpi_1", QStringLiteral("DPI der Stufe 1")},
                                                         {"main_menu_btn", QStringLiteral("Menü")}};
        if (auto it = expected.find(v.control); it != expected.end()) { EXPECT_EQ(v.name, it->second); }
    }
}

TEST_F(PageForEveryone, TabFollowsTheLayoutFromTheTitleBarToTheLastSection) {
    std::vector<std::string> byLayout, byTab;
    for (kit::Control* c : window->controls())
        if ((c->widget()->focusPolicy() & Qt::TabFocus) && c->widget()->window() == window.get())
            byLayout.push_back(c->name().toStdString());
    for (QWidget* w = window->nextInFocusChain(); w != window.get(); w = w->nextInFocusChain())
        if (auto* c = dynamic_cast<kit::Control*>(w); c && (w->focusPolicy() & Qt::TabFocus))
            byTab.push_back(c->name().toStdString());
    EXPECT_EQ(byTab, byLayout);
    ASSERT_FALSE(byTab.empty());
    EXPECT_EQ(byTab.front(), "skin_btn");
}

TEST_F(PageForEveryone, KeysChangeTheProfileAsClicksAndDragsDo) {
    auto* step1 = window->find<kit::Option>(QStringLiteral("ms_1_option_dpi_step_1"));
    ASSERT_TRUE(step1);
    page->currentProfile()->dpiStep = 0;
    page->languageChanged();  // shows the profile again
    ASSERT_TRUE(step1->isSelected());
    QTest::keyClick(step1, Qt::Key_Right);
    EXPECT_EQ(page->currentProfile()->dpiStep, 1);
    EXPECT_TRUE(window->find<kit::Option>(QStringLiteral("ms_1_option_dpi_step_2"))->isSelected());

    auto* slider = window->find<kit::Slider>(QStringLiteral("ms_1_slider_brightness"));
    ASSERT_TRUE(slider);
    const int before = slider->value();
    QTest::keyClick(slider, before < slider->maximum() ? Qt::Key_Right : Qt::Key_Left);
    EXPECT_NE(slider->value(), before);

    auto* section = window->find<kit::CheckBox>(QStringLiteral("ms_1_check_dpi"));
    ASSERT_TRUE(section);
    const bool open = section->isChecked();
    QTest::keyClick(section, Qt::Key_Return);
    EXPECT_NE(section->isChecked(), open);
    EXPECT_EQ(window->find<kit::Control>(QStringLiteral("ms_1_ver_dpi"))->widget()->isHidden(), open);
}

// Controls that show a number or a word alone say what they set, in either language.
TEST_F(PageForEveryone, ControlsSayWhichSettingTheyBelongTo) {
    struct Case {
        const char* control;
        const char* english;
        const char* german;
    };
    const Case cases[] = {
        {"ms_1_option_dpi_step_3", "DPI level 3", "DPI-Stufe 3"},
        {"ms_1_slider_dpi_3", "DPI of level 3", "DPI der Stufe 3"},
        {"ms_1_edit_dpi_3", "DPI of level 3, typed", "DPI der Stufe 3, eingetippt"},
        {"ms_1_btn_dpi_color_3", "Colour of DPI level 3", "Farbe der DPI-Stufe 3"},
        {"ms_1_btn_prate_1", "Polling rate: 125 Hz", "Abfragerate: 125 Hz"},
        {"ms_1_option_ripple_control_1", "Ripple control: Off", "Ripple-Kontrolle: Aus"},
        {"ms_1_option_angle_snap_2", "Angle snapping: On", "Winkelkorrektur: An"},
        {"ms_1_slider_sleep_timer", "Sleep after, in minutes", "Ruhezustand nach, in Minuten"},
        {"ms_1_slider_light_off", "Lights off after, in minutes", "Licht aus nach, in Minuten"},
        {"ms_1_slider_key_debounce", "Key debounce, in ms", "Tastenentprellung, in ms"},
        {"ms_1_btn_light_color", "Light colour", "Lichtfarbe"},
        {"ms_1_option_mouse_pic_2", "Mouse picture 2", "Mausbild 2"},
    };
    auto named = [&](const char* control) {
        return QAccessible::queryAccessibleInterface(window->findControl(QString::fromLatin1(control))->widget())
            ->text(QAccessible::Name);
    };
    ASSERT_FALSE(skin.setLanguage(QStringLiteral("en")));
    window->retranslate();
    page->languageChanged();
    for (const Case& c : cases) EXPECT_EQ(named(c.control), QString::fromUtf8(c.english)) << c.control;
    // Every key button by its number and what it does.
    for (int n : {1, 4, 13, 18}) {
        auto* key = window->find<kit::Button>(u"ms_1_btn_key_%1"_qs.arg(n));
        EXPECT_EQ(named(key->name().toLatin1().constData()), u"Button %1: %2"_qs.arg(n).arg(key->shownText())) << n;
    }
    ASSERT_FALSE(skin.setLanguage(QStringLiteral("de")));
    window->retranslate();
    page->languageChanged();
    for (const Case& c : cases) EXPECT_EQ(named(c.control), QString::fromUtf8(c.german)) << c.control;
    auto* key4 = window->find<kit::Button>(u"ms_1_btn_key_4"_qs);
    EXPECT_EQ(named("ms_1_btn_key_4"), u"Taste 4: "_qs + key4->shownText());
}

// What a screen reader reads from a slider is the number beside it, in its unit; the
// label writes it the language's way.
TEST_F(PageForEveryone, SlidersReadAsTheValueShownBesideThem) {
    struct Case {
        const char* slider;
        std::function<void(MouseProfile&, std::int32_t)> set;
        std::int32_t stored;
        double read;
        double minimum, maximum, step;
        const char* label;  // beside the slider, or nullptr
        const char* english;
        const char* german;
    };
    const Case cases[] = {
        {"ms_1_slider_dpi_1", [](MouseProfile& p, std::int32_t v) { p.dpiValue[0] = v; }, 16, 800, 50, 18000, 50,
         "ms_1_label_dpi_1", "800", "800"},
        {"ms_1_slider_dpi_2", [](MouseProfile& p, std::int32_t v) { p.dpiValue[1] = v; }, 250, 15000, 50, 18000, 50,
         "ms_1_label_dpi_2", "15000", "15000"},
        // A level without a value: its slider rests at its first position, its label says 0.
        {"ms_1_slider_dpi_7", [](MouseProfile& p, std::int32_t v) { p.dpiValue[6] = v; }, 0, 0, 0, 18000, 50,
         "ms_1_label_dpi_7", "0", "0"},
        {"ms_1_slider_light_off", [](MouseProfile& p, std::int32_t v) { p.lightOffTimer = v; }, 1, 0.5, 0.5, 15, 0.5,
         "ms_1_label_light_off", "Lights off after 0.5 min", "Licht aus nach 0,5 min"},
        {"ms_1_slider_sleep_timer", [](MouseProfile& p, std::int32_t v) { p.sleepTimer = v; }, 10, 10, 1, 15, 1,
         "ms_1_label_sleep_timer", "Sleep after 10 min", "Ruhezustand nach 10 min"},
        {"ms_1_slider_key_debounce", [](MouseProfile& p, std::int32_t v) { p.keyDebounce = v; }, 4, 8, 2, 30, 2,
         "ms_1_label_key_debounce", "8 MS", "8 MS"},
        {"ms_1_slider_brightness", [](MouseProfile& p, std::int32_t v) { p.brightness = v; }, 7, 7, 1, 15, 1, nullptr,
         "", ""},
    };
    for (const char* language : {"en", "de"}) {
        ASSERT_FALSE(skin.setLanguage(QString::fromLatin1(language)));
        window->retranslate();
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.slider) + " " + language);
            c.set(*page->currentProfile(), c.stored);
            page->languageChanged();  // shows the profile again
            QAccessibleValueInterface* value =
                QAccessible::queryAccessibleInterface(window->findControl(QString::fromLatin1(c.slider))->widget())
                    ->valueInterface();
            ASSERT_TRUE(value);
            EXPECT_DOUBLE_EQ(value->currentValue().toDouble(), c.read);
            EXPECT_DOUBLE_EQ(value->minimumValue().toDouble(), c.minimum);
            EXPECT_DOUBLE_EQ(value->maximumValue().toDouble(), c.maximum);
            EXPECT_DOUBLE_EQ(value->minimumStepSize().toDouble(), c.step);
            if (c.label) {
                EXPECT_EQ(window->find<kit::Label>(QString::fromLatin1(c.label))->shownText(),
                          QString::fromUtf8(std::string(language) == "en" ? c.english : c.german));
            }
        }
    }
}

TEST_F(PageForEveryone, SectionHeadersExpandTheirPanels) {
    auto* header = window->find<kit::CheckBox>(QStringLiteral("ms_1_check_light"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(header);
    EXPECT_EQ(accessible->role(), QAccessible::Button);
    EXPECT_TRUE(accessible->state().expandable);
    EXPECT_FALSE(accessible->state().expanded) << "lighting starts closed";
    accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(accessible->state().expanded);
    EXPECT_FALSE(window->findControl(QStringLiteral("ms_1_ver_light"))->widget()->isHidden());
}

}  // namespace
}  // namespace halvern
