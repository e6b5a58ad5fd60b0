// The settings page as assistive technology and the keyboard meet it: every control in
// its accessible tree that a user can act on, or that says something, has a name; Tab
// follows the layout; keys act on the profile as clicks and drags do.
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
        if (NeedsName(v.role)) {
            EXPECT_FALSE(v.name.trimmed().isEmpty()) << v.control << " role " << v.role;
        }
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
    for (const Visit& v : walk()) {
        const std::map<std::string, QString> expected = {{"ms_1_apply_btn", QStringLiteral("Übernehmen")},
                                                         {"ms_1_slider_dpi_1", QStringLiteral("DPI dieser Stufe")},
                                                         {"main_menu_btn", QStringLiteral("Menü")}};
        if (auto it = expected.find(v.control); it != expected.end()) {
            EXPECT_EQ(v.name, it->second);
        }
    }
}

TEST_F(PageForEveryone, TabFollowsTheLayoutFromTheTitleBarToTheLastSection) {
    std::vector<std::string> byLayout, byTab;
    for (kit::Control* c : window->controls())
        if ((c->widget()->focusPolicy() & Qt::TabFocus) && c->widget()->window() == window.get())
            byLayout.push_back(c->name().toStdString());
    for (QWidget* w = window->nextInFocusChain(); w != window.get(); w = w->nextInFocusChain())
        if (auto* c = dynamic_cast<kit::Control*>(w); c && (w->focusPolicy() & Qt::TabFocus)) byTab.push_back(c->name().toStdString());
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

}  // namespace
}  // namespace halvern
