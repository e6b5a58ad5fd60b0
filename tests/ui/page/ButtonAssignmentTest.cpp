// The button section of the settings page in the real main window with the real skin:
// where the assignment menu opens, what each of its items does to the current profile
// and the mouse, the two dialogs behind "key" and "macro", and the macro copies the
// buttons of every profile hold after the macro list changed. Modal windows are real;
// a script answers them in the order they open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <cstring>
#include <deque>
#include <set>

#include "app/CMainWnd.h"
#include "app/WindowTimers.h"
#include "platform/DataPaths.h"
#include "protocol/CommandReports.h"
#include "protocol/RecordingTransports.h"
#include "records/ButtonFunctions.h"
#include "storage/MacroStore.h"
#include "storage/ProfileStore.h"
#include "support/SkinFolder.h"
#include "support/TempDir.h"
#include "support/VirtualClock.h"
#include "support/PageHarness.h"
#include "support/VirtualTimerSource.h"
#include "ui/kit/Button.h"
#include "ui/kit/Edit.h"
#include "ui/kit/LayoutParser.h"
#include "ui/kit/List.h"
#include "ui/kit/MenuWindow.h"
#include "ui/page/ButtonSection.h"
#include "ui/page/CMS_1_Page.h"

namespace halvern {
namespace {

namespace fs = std::filesystem;

MacroRecord MakeMacro(const char16_t* name, std::uint8_t key) {
    MacroRecord m;
    m.setName(name);
    m.actionCount = 2;
    m.actions[0] = {key, MacroAction::Press, 20};
    m.actions[1] = {key, MacroAction::Release, 30};
    return m;
}

class ButtonSection : public test::PageHarness {
protected:
    // Before open(): the stored profiles by name (the first current) and macros.
    void store(const std::vector<std::u16string>& names, const std::vector<MacroRecord>& macroList = {},
               const std::function<void(ProfileStore&)>& edit = {}) {
        storeProfiles(names, 0, edit);
        MacroStore m(ModelFolder(data.path()));
        m.load();
        for (const MacroRecord& macro : macroList) m.append(std::make_unique<MacroRecord>(macro));
        ASSERT_FALSE(m.save());
    }

    kit::Button* keyButton(int n) const { return window->find<kit::Button>(u"ms_1_btn_key_%1"_qs.arg(n)); }

    // Opens the menu of key button n (1..12) and chooses `item` in it, as a user would.
    void choose(int n, const char* item) {
        keyButton(n)->click();
        kit::MenuWindow* menu = page->assignMenu();
        ASSERT_TRUE(menu && menu->isVisible()) << "no menu for button " << n;
        QAction* action = menu->findItem(QString::fromLatin1(item));
        ASSERT_TRUE(action) << item;
        menu->hide();
        action->trigger();
        QCoreApplication::processEvents();
        settle();
    }

    std::set<int> reportIdsSent() const {
        std::set<int> ids;
        for (const auto& w : mouse.written())
            if (!w.bytes.empty()) ids.insert(w.bytes[0]);
        return ids;
    }

    const ButtonAssignment& entry(int n) const { return page->currentProfile()->buttons[n - 1]; }
    QString shownText(int n) const { return keyButton(n)->shownText(); }

    // The stored profiles as a fresh start would read them.
    std::unique_ptr<ProfileStore> storedProfiles() const {
        auto s = std::make_unique<ProfileStore>(copy.path());
        fs::copy_file(ModelFolder(data.path()) / ProfileStore::kFileName, copy / ProfileStore::kFileName,
                      fs::copy_options::overwrite_existing);
        s->load(u"x");
        return s;
    }

    test::TempDir copy;
};

// ---- The menu and where it opens ----

TEST(AssignMenuOrigin, BesideTheButtonUnlessTheScreenEndsFirst) {
    const QRect screen(0, 0, 1280, 800);
    const QRect button(100, 200, 150, 28);
    EXPECT_EQ(halvern::ButtonSection::AssignMenuOrigin(button, {180, 488}, screen), QPoint(250, 200));
    // The first row whose menu would reach the bottom: it opens above, its bottom edge
    // 25 pixels below the button's top.
    const QRect low(100, 800 - 301, 150, 28);
    EXPECT_EQ(halvern::ButtonSection::AssignMenuOrigin(low, {180, 300}, screen), QPoint(250, 800 - 301));
    const QRect lower(100, 800 - 300, 150, 28);
    EXPECT_EQ(halvern::ButtonSection::AssignMenuOrigin(lower, {180, 300}, screen), QPoint(250, 800 - 300 + 25 - 300));
    // A menu taller than the room above starts at the screen's top instead of off it.
    EXPECT_EQ(halvern::ButtonSection::AssignMenuOrigin(QRect(100, 300, 150, 28), {180, 700}, QRect(0, 0, 1280, 600)),
              QPoint(250, 0));
    // No room on the right: it opens on the button's left.
    EXPECT_EQ(halvern::ButtonSection::AssignMenuOrigin(QRect(1150, 100, 100, 28), {180, 300}, screen),
              QPoint(970, 100));
    // On a second screen to the right and lower down, the same rules in its coordinates.
    const QRect second(1280, 200, 1024, 768);
    EXPECT_EQ(halvern::ButtonSection::AssignMenuOrigin(QRect(1400, 900, 150, 28), {180, 400}, second),
              QPoint(1550, 900 + 25 - 400));
}

TEST_F(ButtonSection, TheMenuOpensBesideTheKeyButtonAndAboveItNearTheScreensBottom) {
    store({u"A"});
    open();
    // The sections above closed, so that the buttons are in view.
    window->find<kit::Button>(u"ms_1_check_profile"_qs)->click();
    window->find<kit::Button>(u"ms_1_check_dpi"_qs)->click();
    QCoreApplication::processEvents();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    kit::Button* button = keyButton(1);

    button->click();
    kit::MenuWindow* menu = page->assignMenu();
    ASSERT_TRUE(menu && menu->isVisible());
    QPoint b = button->mapToGlobal(QPoint(0, 0));
    ASSERT_LT(b.y() + menu->height(), area.bottom()) << "the window must start high enough for this test";
    EXPECT_EQ(menu->geometry().topLeft(), QPoint(b.x() + button->width(), b.y()));
    menu->hide();

    // The window moved down until the button sits 40 pixels above the screen's bottom.
    window->move(window->pos() + QPoint(0, area.bottom() - 40 - b.y()));
    QCoreApplication::processEvents();
    b = button->mapToGlobal(QPoint(0, 0));
    button->click();
    kit::MenuWindow* again = page->assignMenu();
    ASSERT_TRUE(again && again->isVisible());
    EXPECT_EQ(again->geometry().left(), b.x() + button->width());
    EXPECT_EQ(again->geometry().bottom() + 1, b.y() + 25);
    again->hide();
}

TEST_F(ButtonSection, OnlyButtonsOneToTwelveOpenTheMenuAndOnlyOneMenuExists) {
    store({u"A"});
    open();
    keyButton(13)->click();
    EXPECT_FALSE(page->assignMenu());
    keyButton(3)->click();
    QPointer<kit::MenuWindow> first = page->assignMenu();
    keyButton(12)->click();
    EXPECT_TRUE(first.isNull()) << "the menu of the earlier click is gone";
    ASSERT_TRUE(page->assignMenu());
    page->assignMenu()->hide();
}

TEST(AssignMenuFile, HoldsEveryMenuItemOfTheTableOnceAndNothingElse) {
    QFile file(QString::fromStdString((test::SourceSkinFolder() / "MS/MS_1/ms_1_menu.xml").string()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    auto parsed = kit::LayoutParser::Parse(file.readAll(), u"ms_1_menu.xml"_qs);
    ASSERT_TRUE(std::holds_alternative<kit::LayoutNode>(parsed));
    std::multiset<std::string> items;
    std::function<void(const kit::LayoutNode&)> walk = [&](const kit::LayoutNode& node) {
        for (const kit::LayoutNode& child : node.children) {
            if (child.children.empty()) items.insert(child.attributeOr(u"name"_qs).toStdString());
            else walk(child);
        }
    };
    walk(std::get<kit::LayoutNode>(parsed));
    std::multiset<std::string> fromTable;
    for (const ButtonFunctionRow& row : kButtonFunctions)
        if (!row.menuItem.empty()) fromTable.insert(std::string(row.menuItem));
    EXPECT_EQ(items, fromTable);
}

// ---- What the items do ----

TEST_F(ButtonSection, EveryPlainItemAssignsItsCodeShowsItsTextAndSendsTheButtons) {
    store({u"A"});
    open();
    for (const ButtonFunctionRow& row : kButtonFunctions) {
        if (row.menuItem.empty() || row.code == ButtonFunction::KeyCombination || row.code == ButtonFunction::Macro)
            continue;
        SCOPED_TRACE(std::string(row.menuItem));
        mouse.clear();
        choose(2, std::string(row.menuItem).c_str());
        EXPECT_EQ(entry(2).function, row.code);
        EXPECT_EQ(shownText(2),
                  skin.text(QString::fromLatin1(row.textKey.data(), static_cast<qsizetype>(row.textKey.size()))));
        // Right click is button 2's function already: nothing changed, nothing to send.
        if (row.code != ButtonFunction::RightClick) { EXPECT_TRUE(reportIdsSent().count(ReportId::Buttons)); }
    }
}

TEST_F(ButtonSection, ItemNamesMatchWithoutRegardToCaseAndAnUnknownNameIsLeftClick) {
    store({u"A"});
    open();
    keyButton(4)->click();
    page->assignMenu()->hide();
    page->onMenuItem(u"MS_1_Mute"_qs);
    EXPECT_EQ(entry(4).function, 71);
    page->onMenuItem(u"ms_1_no_such_item"_qs);
    EXPECT_EQ(entry(4).function, ButtonFunction::LeftClick);
    EXPECT_EQ(shownText(4), text("left_click_text"));
    settle();
}

TEST_F(ButtonSection, TheLastLeftClickCannotBeTakenAwayUntilAnotherButtonHasOne) {
    store({u"A"});
    open();
    then([](kit::SkinWindow& w) { w.closeWindow(1); });
    choose(1, "ms_1_menu");
    ASSERT_EQ(shownWindows.size(), 1u);
    EXPECT_EQ(shownWindows[0].layout, u"msg.xml"_qs);
    EXPECT_EQ(entry(1).function, ButtonFunction::LeftClick);
    EXPECT_EQ(entry(2).function, ButtonFunction::RightClick);
    EXPECT_EQ(shownText(1), text("left_click_text"));

    choose(2, "ms_1_click");
    choose(1, "ms_1_menu");
    EXPECT_EQ(entry(1).function, ButtonFunction::RightClick);
    EXPECT_EQ(entry(2).function, ButtonFunction::LeftClick);
    EXPECT_EQ(shownWindows.size(), 1u);
}

// Buttons 13..16 cannot be reassigned here, but a left click a stored profile gives
// one of them still counts; 17 and 18 do not.
TEST_F(ButtonSection, ALeftClickOnButtonsThirteenToSixteenCountsAndBeyondDoesNot) {
    for (int holder : {13, 16, 17}) {
        SCOPED_TRACE(holder);
        reopen();
        shownWindows.clear();
        store({u"A"}, {},
              [holder](ProfileStore& s) { s.at(0).buttons[holder - 1].function = ButtonFunction::LeftClick; });
        open();
        if (holder > 16) then([](kit::SkinWindow& w) { w.closeWindow(1); });
        choose(1, "ms_1_menu");
        EXPECT_EQ(entry(1).function, holder <= 16 ? ButtonFunction::RightClick : ButtonFunction::LeftClick);
        EXPECT_EQ(shownWindows.size(), holder <= 16 ? 0u : 1u);
    }
}

// ---- Key combinations ----

// In the shortcut dialog: ticks the boxes `modifiers` (1..4), clicks the key box and
// presses the key of Linux key code `evdev` (0: none), then OK.
std::function<void(kit::SkinWindow&)> Combination(std::vector<int> modifiers, quint32 evdev) {
    return [modifiers, evdev](kit::SkinWindow& w) {
        for (int m : modifiers) QTest::mouseClick(w.find<kit::Button>(u"check_flag_%1"_qs.arg(m)), Qt::LeftButton);
        if (evdev) {
            auto* box = w.find<kit::Edit>(u"edit_key"_qs);
            w.activateWindow();
            box->setFocus(Qt::OtherFocusReason);
            QTest::mouseClick(box, Qt::LeftButton);  // starts the capture
            QCoreApplication::processEvents();
            for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
                QKeyEvent event(type, 0, Qt::NoModifier, evdev + 8, 0, 0);
                QApplication::sendEvent(box, &event);
            }
            QCoreApplication::processEvents();
        }
        QTest::mouseClick(w.find<kit::Button>(u"btn_ok"_qs), Qt::LeftButton);
    };
}

TEST_F(ButtonSection, TheKeyItemStoresTheCapturedCombinationAndShowsIt) {
    store({u"A"});
    open();
    then(Combination({1, 2}, 37));  // Ctrl, Shift, K
    choose(4, "ms_1_shortcut");
    ASSERT_EQ(shownLayouts(), std::vector<QString>{u"shortcut.xml"_qs});
    EXPECT_EQ(entry(4).function, ButtonFunction::KeyCombination);
    EXPECT_EQ(entry(4).keyModifiers, 0b0011);
    EXPECT_EQ(entry(4).keyUsage, 0x0E);
    EXPECT_EQ(shownText(4), text("keyboard_ctrl_text") + u"+"_qs + text("keyboard_shift_text") + u"+K"_qs);
    EXPECT_TRUE(reportIdsSent().count(ReportId::Buttons));

    // Opened again, the dialog starts from that combination; modifiers alone are kept.
    then([](kit::SkinWindow& w) {
        EXPECT_EQ(w.find<kit::Edit>(u"edit_key"_qs)->QLineEdit::text(), u"K"_qs);
        EXPECT_TRUE(w.find<kit::CheckBox>(u"check_flag_2"_qs)->isChecked());
        Combination({2, 3}, 0)(w);  // Shift off, Alt on
    });
    choose(4, "ms_1_shortcut");
    EXPECT_EQ(entry(4).keyModifiers, 0b0101);
    EXPECT_EQ(entry(4).keyUsage, 0x0E);
}

TEST_F(ButtonSection, ModifiersWithoutAKeyAreACombinationButNothingAtAllChangesNothing) {
    store({u"A"});
    open();
    then(Combination({1, 2}, 0));
    choose(5, "ms_1_shortcut");
    EXPECT_EQ(entry(5).function, ButtonFunction::KeyCombination);
    EXPECT_EQ(shownText(5), text("keyboard_ctrl_text") + u"+"_qs + text("keyboard_shift_text") + u"+"_qs);

    mouse.clear();
    then(Combination({}, 0));
    choose(3, "ms_1_shortcut");
    then([](kit::SkinWindow& w) { w.closeWindow(0); });
    choose(2, "ms_1_shortcut");
    EXPECT_EQ(entry(3).function, ButtonFunction::WheelClick);
    EXPECT_EQ(entry(2).function, ButtonFunction::RightClick);
    EXPECT_TRUE(mouse.written().empty());
}

// ---- Macros ----

TEST_F(ButtonSection, TheMacroItemCopiesTheChosenMacroWithItsRepeatMode) {
    store({u"A"}, {MakeMacro(u"Burst", 0x04), MakeMacro(u"Reload", 0x15)});
    open();
    then([](kit::SkinWindow& w) {
        w.find<kit::List>(u"list_macro"_qs)->setCurrentRow(1);
        auto* box = w.find<kit::Edit>(u"edit_loop_time"_qs);
        box->setText(u"3"_qs, kit::Notify::Yes);
        QTest::mouseClick(w.find<kit::Button>(u"btn_ok"_qs), Qt::LeftButton);
    });
    choose(5, "ms_1_select_macro");
    ASSERT_EQ(shownLayouts(), std::vector<QString>{u"MS/MS_1/selectmacro.xml"_qs});
    const ButtonAssignment& b = entry(5);
    EXPECT_EQ(b.function, ButtonFunction::Macro);
    EXPECT_EQ(b.macroNameText(), u"Reload");
    EXPECT_EQ(b.macroMode, 0);
    EXPECT_EQ(b.macroLoopCount, 3);
    EXPECT_EQ(b.macroIndex, 1);
    EXPECT_EQ(b.macroActionCount, 2);
    EXPECT_EQ(b.macroActions[1], (MacroAction{0x15, MacroAction::Release, 30}));
    EXPECT_EQ(shownText(5), text("assign_macro_text") + u"Reload"_qs);
    const std::set<int> ids = reportIdsSent();
    EXPECT_TRUE(ids.count(ReportId::Buttons));
    EXPECT_TRUE(ids.count(ReportId::MacroChunk));

    // Opened again, the dialog shows the button's macro, found by its name.
    then([](kit::SkinWindow& w) {
        EXPECT_EQ(w.find<kit::List>(u"list_macro"_qs)->selectedRow(), 1);
        EXPECT_EQ(w.find<kit::Edit>(u"edit_loop_time"_qs)->QLineEdit::text(), u"3"_qs);
        QTest::mouseClick(w.find<kit::Button>(u"repeat_3"_qs), Qt::LeftButton);
        QTest::mouseClick(w.find<kit::Button>(u"btn_cancel"_qs), Qt::LeftButton);
    });
    choose(5, "ms_1_select_macro");
    EXPECT_EQ(entry(5).macroMode, 0) << "Cancel changes nothing";

    // OK without a row on a button without a macro changes nothing either.
    const std::uint8_t before = entry(9).function;
    then([](kit::SkinWindow& w) { QTest::mouseClick(w.find<kit::Button>(u"btn_ok"_qs), Qt::LeftButton); });
    choose(9, "ms_1_select_macro");
    EXPECT_EQ(entry(9).function, before);
}

// "Macro…" is offered where the mouse keeps macros, greyed elsewhere with the reason on
// hover; a choice of it that reaches such a button anyway (a command posted before)
// changes nothing and opens no dialog.
TEST_F(ButtonSection, MacroIsOfferedOnlyOnButtonsThatOwnMacroBlocks) {
    store({u"A"}, {MakeMacro(u"Burst", 0x04)});
    open();
    const QString why = text("macro_no_blocks_tip_text").arg(u"1, 2, 3, 4, 5, 9, 10"_qs);
    for (int n = 1; n <= 12; ++n) {
        SCOPED_TRACE(n);
        const bool owns = macroBlockBase[static_cast<std::size_t>(n - 1)] != 0;
        keyButton(n)->click();
        kit::MenuWindow* menu = page->assignMenu();
        ASSERT_TRUE(menu && menu->isVisible());
        QAction* item = menu->findItem(u"ms_1_select_macro"_qs);
        ASSERT_TRUE(item);
        EXPECT_EQ(item->isEnabled(), owns);
        const QPoint at = menu->actionGeometry(item).center();
        QHelpEvent hover(QEvent::ToolTip, at, menu->mapToGlobal(at));
        QApplication::sendEvent(menu, &hover);
        EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(), owns ? QString() : why);
        QToolTip::hideText();
        menu->hide();
        if (owns) continue;
        const ButtonAssignment before = entry(n);
        page->onMenuItem(u"ms_1_select_macro"_qs);
        settle();
        EXPECT_EQ(std::memcmp(&before, &entry(n), sizeof before), 0);
    }
    EXPECT_TRUE(shownWindows.empty());
    EXPECT_TRUE(mouse.written().empty());
}

// ---- Macro copies after the macro list changed ----

TEST_F(ButtonSection, RenamesFollowIntoEveryProfileAndTheStoreKeepsThem) {
    store({u"A", u"B"}, {MakeMacro(u"Fire", 0x04)}, [](ProfileStore& s) {
        const MacroRecord fire = MakeMacro(u"Fire", 0x04);
        s.at(0).buttons[4].assignMacro(fire, 0, 3, 0);
        s.at(1).buttons[7].assignMacro(fire, 1, 1, 0);
    });
    open();
    page->macroStore().at(0).setName(u"Volley");
    page->macroStore().at(0).actions[1].delay = 99;
    page->reconcileMacroCopies({{u"Fire", u"Volley"}});
    settle();
    EXPECT_EQ(shownText(5), text("assign_macro_text") + u"Volley"_qs);
    EXPECT_EQ(entry(5).macroLoopCount, 3);
    EXPECT_EQ(entry(5).macroActions[1].delay, 99);
    EXPECT_TRUE(reportIdsSent().count(ReportId::MacroChunk));
    auto stored = storedProfiles();
    EXPECT_EQ(stored->at(0).buttons[4].macroNameText(), u"Volley");
    EXPECT_EQ(stored->at(1).buttons[7].macroNameText(), u"Volley") << "the profile that is not current too";
    EXPECT_EQ(stored->at(1).buttons[7].function, ButtonFunction::Macro);
}

TEST_F(ButtonSection, ADeletedMacroGivesItsButtonsTheirDefaultFunctionInEveryProfile) {
    store({u"A", u"B"}, {MakeMacro(u"Fire", 0x04)}, [](ProfileStore& s) {
        const MacroRecord fire = MakeMacro(u"Fire", 0x04);
        s.at(0).buttons[2].assignMacro(fire, 0, 3, 0);
        s.at(1).buttons[9].assignMacro(fire, 0, 1, 0);
    });
    open();
    page->macroStore().remove(0);
    page->reconcileMacroCopies({});
    settle();
    EXPECT_EQ(entry(3).function, ButtonFunction::WheelClick);
    EXPECT_EQ(shownText(3), text("wheel_click_text"));
    EXPECT_TRUE(reportIdsSent().count(ReportId::Buttons));
    auto stored = storedProfiles();
    EXPECT_EQ(stored->at(1).buttons[9].function, 6) << "DPI cycle, button 10's default";
    EXPECT_TRUE(stored->at(1).buttons[9].macroNameText().empty());
}

}  // namespace
}  // namespace halvern
