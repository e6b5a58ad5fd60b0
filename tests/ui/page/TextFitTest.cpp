// Every text of every language fits the control that draws it, in every window of the
// program (the main window's page, the dialogs and the macro editor), and the texts
// filled in while the program runs fit at their longest. Each window is built as the
// program builds it, in each language the skin holds, and measured with the program's
// own face. Menus are left out: a menu is as wide as its widest item.
#include <gtest/gtest.h>

#include <QTest>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "keys/KeyCodeTable.h"
#include "keys/UsKeyboardLayout.h"
#include "records/ButtonFunctions.h"
#include "records/MacroRecord.h"
#include "records/MouseProfile.h"
#include "storage/MacroStore.h"
#include "support/PageHarness.h"
#include "support/TextFit.h"
#include "ui/dialogs/CAboutWnd.h"
#include "ui/dialogs/CDPIMsg.h"
#include "ui/dialogs/CDpiColorWnd.h"
#include "ui/dialogs/CMS_1_ProfileName.h"
#include "ui/dialogs/CMS_1_SelectMacro.h"
#include "ui/dialogs/CMsgWnd.h"
#include "ui/kit/Edit.h"
#include "ui/kit/Languages.h"
#include "ui/kit/List.h"
#include "ui/kit/Slider.h"
#include "ui/macro/CMS_1_Macro.h"
#include "ui/macro/CShortcutWnd.h"

namespace halvern {
namespace {

using test::Misfit;

// The message box's texts, by the key the program asks with.
// clang-format off
constexpr const char* kMessages[] = {
    "delete_macro_text",        "one_profile_text",          "delete_profile_text",
    "restore_text",             "one_click_text",            "warn_name_1_text",
    "warn_name_2_text",         "no_mouse_settings_text",    "macro_file_not_read_text",
    "macro_file_not_written_text", "macro_file_replace_text", "overwrite_file_text",
    "export_failed_text",       "profile_file_refused_text", "autostart_write_failed_text",
    "autostart_remove_failed_text",
};
// clang-format on

// The notices under the link panel.
constexpr const char* kApplyNotices[] = {"apply_unconfirmed_text", "apply_incomplete_text", "apply_macro_cut_text"};

std::vector<QString> LanguageCodes() {
    std::vector<QString> codes;
    for (const kit::LanguageInfo& l : kit::FindLanguages(QString::fromStdString(test::SourceSkinFolder().string())))
        codes.push_back(l.code);
    return codes;
}

MacroRecord Macro(std::u16string_view name, std::initializer_list<MacroAction> actions) {
    MacroRecord m;
    m.setName(name);
    int n = 0;
    for (const MacroAction& a : actions) m.actions[n++] = a;
    m.actionCount = n;
    return m;
}

class TextFit : public test::PageHarness {
protected:
    using Visit = std::function<void(QWidget& window, const std::string& name)>;

    void SetUp() override {
        PageHarness::SetUp();
        // The face the skin names must be the one measured: another face has other widths.
        ASSERT_EQ(test::ProgramFont::ResolvedFamily(), u"Inter"_qs) << "fonts-inter is not installed";
        languages = LanguageCodes();
        ASSERT_GE(languages.size(), 2u);
    }

    // `visit` for every window of the program in each of its states, in `language`.
    void forEachWindow(const QString& language, const Visit& visit) {
        ASSERT_FALSE(skin.setLanguage(language));
        const std::string in = " (" + language.toStdString() + ")";

        open(false, true);
        visit(*window, "main window without a mouse" + in);
        // The widest characters, as many as a name holds.
        const std::u16string longestProfile(kProfileNameUnits - 1, u'W');
        const std::u16string longestMacro(kMacroNameUnits - 1, u'W');
        storeProfiles({u"Profile 1", longestProfile});
        open(true, true);
        for (kit::Control* c : window->controls()) {
            auto* section = dynamic_cast<kit::CheckBox*>(c);
            const bool closed = section && section->styleClass() == u"section" && !section->isChecked();
            if (closed && section->isVisibleTo(window.get())) section->click();
        }
        visit(*window, "main window, every section open" + in);

        for (const char* key : kMessages) {
            CMsgWnd box(skin, nullptr);
            box.setTitle(u"warning_title_text"_qs);
            box.setMessage(QString::fromLatin1(key));
            show(box, visit, std::string("message box ") + key + in);
        }
        {
            CDpiColorWnd colour(skin, nullptr);
            show(colour, visit, "colour picker" + in);
        }
        for (const char* title : {"profile_name_1_text", "profile_name_2_text"}) {
            CMS_1_ProfileName name(skin, nullptr, QString::fromLatin1(title), [](const QString&) { return false; });
            show(name, visit, std::string("profile name ") + title + in);
        }
        for (int mode = 0; mode < 3; ++mode) {
            CMS_1_SelectMacro select(skin, nullptr, {u"Burst"_qs, u"Reload"_qs}, {0, mode, 3});
            show(select, visit, "macro select, mode " + std::to_string(mode) + in);
        }
        {
            CShortcutWnd shortcut(skin, nullptr, {}, {});
            show(shortcut, visit, "shortcut capture, no key yet" + in);
        }
        macroEditor(visit, in);
    }

    void show(kit::SkinWindow& w, const Visit& visit, const std::string& name) {
        ASSERT_FALSE(w.create(kit::WindowKind::Dialog)) << name;
        w.show();
        visit(w, name);
        w.hide();
    }

    void macroEditor(const Visit& visit, const std::string& in) {
        test::TempDir folder;
        MacroStore store(folder.path() / "ms_1");
        store.append(std::make_unique<MacroRecord>(Macro(u"Reload", {{0x15, MacroAction::Press, 40},
                                                                     {0x15, MacroAction::Release, 300},
                                                                     {kMouseForward, MacroAction::Press, 20},
                                                                     {kMouseForward, MacroAction::Release, 10}})));
        CMS_1_Macro::Parts parts{store};
        parts.keyboard = [this]() -> const KeyboardLayout& { return us; };
        parts.ask = [](const QString&, const QString&) { return 0; };
        CMS_1_Macro editor(skin, nullptr, std::move(parts));
        ASSERT_FALSE(editor.create(kit::WindowKind::Dialog));
        editor.resize(CMS_1_Macro::kWidth, CMS_1_Macro::kHeight);
        editor.show();
        visit(editor, "macro editor, nothing selected" + in);
        editor.find<kit::List>(u"ms_1_macro_list"_qs)->selectRow(0, kit::Notify::Yes);
        visit(editor, "macro editor, a macro selected" + in);
        auto* actions = editor.find<kit::List>(u"ms_1_macro_action_list"_qs);
        auto* edit = editor.find<kit::CheckBox>(u"ms_1_macro_action_edit_check"_qs);
        actions->selectRow(0, kit::Notify::Yes);
        edit->click();
        visit(editor, "macro editor, a key action edited" + in);
        actions->selectRow(2, kit::Notify::Yes);
        visit(editor, "macro editor, a click edited" + in);
        editor.find<kit::CheckBox>(u"ms_1_macro_insert_mouse_btn"_qs)->click();
        visit(editor, "macro editor, inserting clicks" + in);
        editor.hide();
    }

    static std::string Report(const std::vector<Misfit>& misfits) {
        std::string out;
        for (const Misfit& m : misfits) out += "\n  " + m.where + ": " + m.what;
        return out;
    }

    test::ProgramFont font{skin};
    UsKeyboardLayout us;
    std::vector<QString> languages;
};

TEST_F(TextFit, EveryTextFitsItsControlInEveryWindowAndLanguage) {
    std::vector<Misfit> misfits;
    for (const QString& language : languages) {
        forEachWindow(language, [&](QWidget& w, const std::string& name) {
            for (Misfit& m : test::TextMisfits(w, name)) misfits.push_back(std::move(m));
        });
    }
    EXPECT_TRUE(misfits.empty()) << Report(misfits);
}

TEST_F(TextFit, EveryControlLiesInsideItsWindowClearOfTheOthers) {
    std::vector<Misfit> misfits;
    for (const QString& language : languages) {
        forEachWindow(language, [&](QWidget& w, const std::string& name) {
            for (Misfit& m : test::PlaceMisfits(w, name)) misfits.push_back(std::move(m));
        });
    }
    EXPECT_TRUE(misfits.empty()) << Report(misfits);
}

// In each look every text stands out from the surface it is drawn on: a colour one rule
// gives a kind of control and a surface another rule gives it can meet as white on white.
TEST_F(TextFit, EveryTextStandsOutFromItsSurfaceInEachLook) {
    std::vector<Misfit> misfits;
    for (const auto theme : {kit::Skin::Theme::Dark, kit::Skin::Theme::Light}) {
        skin.setTheme(theme);
        kit::ApplyBaseLook(skin);
        const std::string look = ", " + kit::Skin::ThemeName(theme).toStdString() + " look";
        forEachWindow(languages.front(), [&](QWidget& w, const std::string& name) {
            for (Misfit& m : test::ContrastMisfits(w, name + look)) misfits.push_back(std::move(m));
        });
    }
    skin.setTheme(kit::Skin::Theme::Dark);
    kit::ApplyBaseLook(skin);
    EXPECT_TRUE(misfits.empty()) << Report(misfits);
}

// The texts the program fills in at their longest: every level at 18000 DPI, the
// timers and the debounce at their ends, the battery full and charging, each notice,
// the DPI display, the About lines, every key name in the macro editor and the
// shortcut dialog and their key boxes waiting for a key, names as long as a profile or
// macro may have (a list draws them elided, whole on hover), and every key button at
// its longest, which the button draws elided, whole on hover, the grid and "Macros"
// staying in the window.
TEST_F(TextFit, TextsFilledInAtRunTimeFitAtTheirLongest) {
    std::vector<Misfit> misfits;
    auto check = [&](QWidget& w, const std::string& name) {
        for (Misfit& m : test::TextMisfits(w, name)) misfits.push_back(std::move(m));
        for (Misfit& m : test::PlaceMisfits(w, name)) misfits.push_back(std::move(m));
    };
    for (const QString& language : languages) {
        ASSERT_FALSE(skin.setLanguage(language));
        const std::string in = " (" + language.toStdString() + ")";

        // The widest characters, as many as a name holds.
        const std::u16string longestProfile(kProfileNameUnits - 1, u'W');
        const std::u16string longestMacro(kMacroNameUnits - 1, u'W');
        storeProfiles({u"Profile 1", longestProfile});
        open(true, true);
        for (kit::Control* c : window->controls())
            if (auto* slider = dynamic_cast<kit::Slider*>(c)) slider->setValue(slider->maximum(), kit::Notify::Yes);
        page->batteryChanged(BatteryState::Of(BatteryState::Kind::Charged));
        check(*window, "page at the sliders' ends, battery full" + in);
        page->batteryChanged(BatteryState::Of(BatteryState::Kind::Plugged));
        check(*window, "page, charging" + in);
        auto* notice = window->find<kit::Label>(u"ms_1_label_apply_state"_qs);
        ASSERT_TRUE(notice);
        notice->show();
        notice->setTextKeyMode(true);
        for (const char* key : kApplyNotices) {
            notice->setText(QString::fromLatin1(key));
            check(*window, std::string("page, notice ") + key + in);
        }
        notice->hide();

        {
            CMS_1_SelectMacro select(skin, nullptr, {u"Burst"_qs, QString::fromStdU16String(longestMacro)},
                                     {1, 0, 255});
            ASSERT_FALSE(select.create(kit::WindowKind::Dialog));
            select.show();
            check(select, "macro select, the longest name" + in);
        }
        {
            CDPIMsg osd(skin, nullptr, CMainWnd::DpiText(280));
            ASSERT_FALSE(osd.create(kit::WindowKind::Overlay));
            osd.show();
            check(osd, "DPI display at 18000" + in);
        }
        {
            // Of each pair of lines the program chooses between, the longer.
            const auto longer = [](const QString& a, const QString& b) { return a.size() >= b.size() ? a : b; };
            const QStringList lines = {
                text("about_version_text").arg(u"10.20.300"_qs),
                text("about_licence_text").arg(u"GPL-3.0-or-later"_qs),
                text("about_data_text").arg(u"/home/firstname.lastname/.local/share/halvern/Data"_qs),
                longer(text("about_rule_missing_text"),
                       text("about_rule_text").arg(u"/usr/lib/udev/rules.d/70-halvern.rules"_qs)),
                longer(text("about_nodes_none_text"), text("about_nodes_text").arg(12).arg(12)),
            };
            CAboutWnd about(skin, nullptr, lines.join(u'\n'));
            ASSERT_FALSE(about.create(kit::WindowKind::Dialog));
            about.show();
            check(about, "about" + in);
        }

        // Every key that has a name, pressed, with the longest pause.
        std::vector<std::uint8_t> named;
        for (int usage = 1; usage < 256; ++usage)
            if (!UsageToKeyName(static_cast<std::uint8_t>(usage), us, skin.language()).empty())
                named.push_back(static_cast<std::uint8_t>(usage));
        const QFontMetrics metrics(QApplication::font());
        const std::uint8_t widest = *std::max_element(named.begin(), named.end(), [&](std::uint8_t a, std::uint8_t b) {
            return metrics.horizontalAdvance(QString::fromStdU16String(UsageToKeyName(a, us, skin.language()))) <
                   metrics.horizontalAdvance(QString::fromStdU16String(UsageToKeyName(b, us, skin.language())));
        });
        {
            CShortcutWnd shortcut(skin, nullptr, {0x0F, widest}, {});
            ASSERT_FALSE(shortcut.create(kit::WindowKind::Dialog));
            shortcut.show();
            check(shortcut, "shortcut capture, every modifier and the widest key" + in);
            QTest::mouseClick(shortcut.find<kit::Edit>(u"edit_key"_qs), Qt::LeftButton);
            check(shortcut, "shortcut capture, waiting for the key" + in);
        }
        {
            // Every key button at once: the widest function text of the language, a macro
            // of the longest name (saying on buttons without blocks that it does not play),
            // every modifier with the widest key.
            const QFontMetrics keyFont(window->find<kit::Button>(u"ms_1_btn_key_1"_qs)->font());
            std::uint8_t widestFunction = 0;
            int widestWidth = -1;
            for (const ButtonFunctionRow& row : kButtonFunctions) {
                if (row.textKey.empty()) continue;
                const int width = keyFont.horizontalAdvance(text(std::string(row.textKey).c_str()));
                if (width > widestWidth) {
                    widestWidth = width;
                    widestFunction = row.code;
                }
            }
            MacroRecord longNamed;
            longNamed.setName(longestMacro);
            const std::pair<const char*, std::function<void(ButtonAssignment&)>> longest[] = {
                {"the widest function", [&](ButtonAssignment& b) { b.function = widestFunction; }},
                {"a macro of the longest name", [&](ButtonAssignment& b) { b.assignMacro(longNamed, 0, 1, 0); }},
                {"every modifier and the widest key", [&](ButtonAssignment& b) { b.assignKey(widest, 0x0F); }},
            };
            for (const auto& [what, assign] : longest) {
                for (std::size_t b = 0; b < kButtonPositions; ++b) assign(current().buttons[b]);
                page->refreshControls();
                check(*window, std::string("key buttons, ") + what + in);
            }
        }
        {
            test::TempDir folder;
            MacroStore store(folder.path() / "ms_1");
            MacroRecord keys;
            keys.setName(longestMacro);
            ASSERT_LT(named.size(), kMaxMacroActions);
            for (std::uint8_t usage : named) keys.actions[keys.actionCount++] = {usage, MacroAction::Press, 25000};
            keys.actions[keys.actionCount++] = {widest, MacroAction::Release, 25000};
            store.append(std::make_unique<MacroRecord>(keys));
            CMS_1_Macro::Parts parts{store};
            parts.keyboard = [this]() -> const KeyboardLayout& { return us; };
            CMS_1_Macro editor(skin, nullptr, std::move(parts));
            ASSERT_FALSE(editor.create(kit::WindowKind::Dialog));
            editor.resize(CMS_1_Macro::kWidth, CMS_1_Macro::kHeight);
            editor.show();
            editor.find<kit::List>(u"ms_1_macro_list"_qs)->selectRow(0, kit::Notify::Yes);
            auto* actions = editor.find<kit::List>(u"ms_1_macro_action_list"_qs);
            actions->selectRow(actions->rowCount() - 1, kit::Notify::Yes);
            editor.find<kit::CheckBox>(u"ms_1_macro_action_edit_check"_qs)->click();
            check(editor, "macro editor, every key and the widest edited" + in);
            QTest::mouseClick(editor.find<kit::Edit>(u"ms_1_macro_action_edit"_qs), Qt::LeftButton);
            check(editor, "macro editor, the key box waiting for the key" + in);
        }
    }
    EXPECT_TRUE(misfits.empty()) << Report(misfits);
}

}  // namespace
}  // namespace halvern
