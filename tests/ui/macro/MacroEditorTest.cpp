// The macro editor window over a real macro store and the real skin: the macro list,
// the action list, the edit panel, recording from posted hook events on virtual time,
// and macro files. The hook library is a table of recording stand-ins.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QTest>

#include <fstream>

#include "keys/UsKeyboardLayout.h"
#include "storage/MacroStore.h"
#include "storage/RecordFiles.h"
#include "support/SkinFolder.h"
#include "support/TempDir.h"
#include "ui/kit/Button.h"
#include "ui/kit/Combo.h"
#include "ui/kit/Edit.h"
#include "ui/kit/FileDialog.h"
#include "ui/kit/Label.h"
#include "ui/kit/List.h"
#include "ui/kit/Skin.h"
#include "ui/kit/TabLayout.h"
#include "ui/macro/CMS_1_Macro.h"

namespace halvern {
namespace {

// What the editor asked of the hook library, in order.
std::vector<std::string>& HookCalls() {
    static std::vector<std::string> calls;
    return calls;
}
int gInstallResult = 1;

HookTable RecordingHooks() {
    HookTable t;
    // clang-format off
    t.installmousehook = [](const HalvernHostWindow*) { HookCalls().push_back("installmousehook"); return 0; };
    t.removemousehook = [] { HookCalls().push_back("removemousehook"); return 0; };
    t.enablemousehook = [](int on) { HookCalls().push_back("enablemousehook " + std::to_string(on)); return 0; };
    t.installhook = [](const HalvernHostWindow*) { HookCalls().push_back("installhook"); return gInstallResult; };
    t.removehook = [] { HookCalls().push_back("removehook"); return 0; };
    t.enablehook = [](int on) { HookCalls().push_back("enablehook " + std::to_string(on)); return 0; };
    t.mousewheelenable = [](int on) { HookCalls().push_back("mousewheelenable " + std::to_string(on)); return 0; };
    // clang-format on
    return t;
}

MacroRecord MakeMacro(std::u16string_view name, int count, std::uint16_t delay = 20) {
    MacroRecord m;
    m.setName(name);
    for (int i = 0; i < count; ++i)
        m.actions[i] = {static_cast<std::uint8_t>(0x04 + i % 26), static_cast<std::uint8_t>(i % 2 ? 2 : 1), delay};
    m.actionCount = count;
    return m;
}

class MacroEditor : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(skin.loadLanguage(u"lan.xml"_qs));
        HookCalls().clear();
        gInstallResult = 1;
    }
    void TearDown() override { editor.reset(); }

    void addStored(const MacroRecord& m) {
        store.append(std::make_unique<MacroRecord>(m));
        ASSERT_FALSE(store.save());
    }

    void open() {
        CMS_1_Macro::Parts parts{store};
        parts.hooks = RecordingHooks();
        parts.keyboard = [this]() -> const KeyboardLayout& { return us; };
        parts.dataFolder = dir.path();
        parts.nowMs = [this] { return now; };
        parts.ask = [this](const QString&, const QString& message) {
            asked.push_back(message.toStdString());
            return answer;
        };
        editor = std::make_unique<CMS_1_Macro>(skin, nullptr, std::move(parts));
        ASSERT_FALSE(editor->create(kit::WindowKind::Dialog));
        editor->show();
    }

    template <typename T>
    T* control(const char* name) {
        T* c = editor->find<T>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    void click(const char* name) { QTest::mouseClick(control<kit::Button>(name), Qt::LeftButton); }
    void raise(std::string_view type, const char* name, std::uintptr_t wParam = 0) {
        editor->dispatchNotification(
            {std::string(type), editor->findControl(QString::fromLatin1(name)), wParam, 0, {}});
    }
    void type(const char* name, const QString& text) {
        auto* edit = control<kit::Edit>(name);
        edit->QLineEdit::setText(text);
        edit->setText(text, kit::Notify::No);
        raise(kit::notify::kKillFocus, name);
    }
    void selectMacro(int row) { control<kit::List>("ms_1_macro_list")->selectRow(row, kit::Notify::Yes); }
    // The pointer moved to a point of the screen, the window told of it as a user's would be.
    void pointerTo(const QPoint& global) {
        QCursor::setPos(global);
        QCoreApplication::processEvents();
    }
    QPoint onRecordButton() {
        auto* record = control<kit::Button>("ms_1_macro_record_btn");
        return record->mapToGlobal(record->rect().center());
    }
    QPoint offTheEditor() const { return editor->frameGeometry().bottomRight() + QPoint(40, 40); }
    void selectAction(int row) { control<kit::List>("ms_1_macro_action_list")->selectRow(row, kit::Notify::Yes); }
    void hook(std::uintptr_t w, std::intptr_t l, std::uint32_t at) {
        now = at;
        editor->post(UM_HOOK_EVENT, w, l);
        QCoreApplication::processEvents();
    }
    std::vector<std::string> macroRows() {
        std::vector<std::string> rows;
        auto* list = control<kit::List>("ms_1_macro_list");
        for (int i = 0; i < list->rowCount(); ++i) rows.push_back(list->rowText(i).toStdString());
        return rows;
    }
    std::string rowKey(int row) {
        kit::ListRow* r = control<kit::List>("ms_1_macro_action_list")->layoutRow(row);
        return r ? r->find<kit::Label>(u"key"_qs)->QLabel::text().toStdString() : "<no row>";
    }
    std::string rowDelay(int row) {
        kit::ListRow* r = control<kit::List>("ms_1_macro_action_list")->layoutRow(row);
        return r ? r->find<kit::Label>(u"delay"_qs)->QLabel::text().toStdString() : "<no row>";
    }
    // The store as another reader of the file sees it.
    std::unique_ptr<MacroStore> reread() {
        auto other = std::make_unique<MacroStore>(dir.path() / "ms_1");
        other->load(Leftovers::Keep);
        return other;
    }

    test::TempDir dir;
    kit::Skin skin{QString::fromStdString(test::SourceSkinFolder().string())};
    MacroStore store{dir.path() / "ms_1"};
    UsKeyboardLayout us;
    std::uint32_t now = 5000;
    int answer = 1;
    std::vector<std::string> asked;
    std::unique_ptr<CMS_1_Macro> editor;
};

// ---- The macro list ----

TEST_F(MacroEditor, OpensWithEveryStoredMacroListedAndNoneSelected) {
    addStored(MakeMacro(u"One", 2));
    addStored(MakeMacro(u"Two", 3));
    open();
    EXPECT_EQ(macroRows(), (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(control<kit::List>("ms_1_macro_list")->selectedRow(), -1);
    EXPECT_EQ(control<kit::List>("ms_1_macro_action_list")->rowCount(), 0);
    EXPECT_EQ(editor->currentMacroIndex(), -1);
}

// A screen reader reads each step as the row shows it, and again after an edit.
TEST_F(MacroEditor, EachStepReadsAsItsRowShows) {
    addStored(MakeMacro(u"One", 2, 30));
    open();
    selectMacro(0);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(control<kit::List>("ms_1_macro_action_list"));
    ASSERT_TRUE(list);
    ASSERT_GE(list->childCount(), 2);
    EXPECT_EQ(list->child(0)->text(QAccessible::Name), u"Macro step 1: A, press, 30 ms"_qs);
    EXPECT_EQ(list->child(1)->text(QAccessible::Name), u"Macro step 2: B, release, 30 ms"_qs);
    selectAction(0);
    click("ms_1_macro_action_edit_check");
    type("ms_1_macro_delay_edit", u"120"_qs);
    EXPECT_EQ(list->child(0)->text(QAccessible::Name), u"Macro step 1: A, press, 120 ms"_qs);
}

TEST_F(MacroEditor, SelectingAMacroShowsItsNameAndOneRowPerActionWithTheLastSelected) {
    addStored(MakeMacro(u"One", 2));
    addStored(MakeMacro(u"Two", 3, 77));
    open();
    selectMacro(1);
    EXPECT_EQ(control<kit::Edit>("ms_1_macro_name_edit")->QLineEdit::text(), u"Two"_qs);
    EXPECT_EQ(control<kit::List>("ms_1_macro_action_list")->rowCount(), 3);
    EXPECT_EQ(rowKey(0), "A");
    EXPECT_EQ(rowDelay(0), "77");
    EXPECT_EQ(editor->workingCopy().iActionIndex, 2);
}

TEST_F(MacroEditor, AddCreatesANumberedMacroSelectsItAndSavesTheStore) {
    addStored(MakeMacro(u"One", 2));
    open();
    click("ms_1_macro_add_btn");
    EXPECT_EQ(macroRows(), (std::vector<std::string>{"One", "Macro 2"}));
    EXPECT_EQ(editor->currentMacroIndex(), 1);
    EXPECT_EQ(reread()->size(), 2u);
}

TEST_F(MacroEditor, DeleteAsksAndOnlyOkDeletes) {
    addStored(MakeMacro(u"One", 2));
    addStored(MakeMacro(u"Two", 2));
    open();
    selectMacro(1);
    answer = 0;
    click("ms_1_macro_delete_btn");
    EXPECT_EQ(asked, (std::vector<std::string>{"delete_macro_text"}));
    EXPECT_EQ(store.size(), 2u);

    answer = 1;
    click("ms_1_macro_delete_btn");
    EXPECT_EQ(macroRows(), (std::vector<std::string>{"One"}));
    EXPECT_EQ(editor->currentMacroIndex(), 0);  // the removed row was the last: one back
    EXPECT_EQ(reread()->size(), 1u);
}

TEST_F(MacroEditor, DeletingTheOnlyMacroLeavesNoCurrentMacro) {
    addStored(MakeMacro(u"One", 2));
    open();
    selectMacro(0);
    click("ms_1_macro_delete_btn");
    EXPECT_EQ(editor->currentMacroIndex(), -1);
    EXPECT_EQ(editor->workingCopy().iActionIndex, -1);
    EXPECT_EQ(control<kit::List>("ms_1_macro_action_list")->rowCount(), 0);
    click("ms_1_macro_clear_action_btn");  // needs a current macro: nothing happens
    click("ms_1_macro_key1_btn");
    EXPECT_EQ(store.size(), 0u);
}

TEST_F(MacroEditor, RenameTakesANewNameAndRefusesAnotherMacrosName) {
    addStored(MakeMacro(u"One", 2));
    addStored(MakeMacro(u"Two", 2));
    open();
    selectMacro(0);
    type("ms_1_macro_name_edit", u"ONE"_qs);  // its own name in other letters: nothing changes
    EXPECT_EQ(store.at(0).nameText(), u"One");
    type("ms_1_macro_name_edit", u"two"_qs);
    EXPECT_EQ(control<kit::Edit>("ms_1_macro_name_edit")->QLineEdit::text(), u"One"_qs);
    EXPECT_EQ(store.at(0).nameText(), u"One");
    type("ms_1_macro_name_edit", u"Burst"_qs);
    EXPECT_EQ(macroRows(), (std::vector<std::string>{"Burst", "Two"}));
    EXPECT_EQ(reread()->at(0).nameText(), u"Burst");
    type("ms_1_macro_name_edit", QString());
    EXPECT_EQ(reread()->at(0).nameText(), u"");
}

TEST_F(MacroEditor, TheNameBoxTakesNoMoreThanTheRecordHolds) {
    addStored(MakeMacro(u"One", 2));
    open();
    selectMacro(0);
    auto* name = control<kit::Edit>("ms_1_macro_name_edit");
    name->setFocus();
    name->QLineEdit::clear();
    QTest::keyClicks(name, QString(30, u'x'));
    EXPECT_EQ(name->QLineEdit::text().size(), 23);
    // Counted in UTF-16 units, as stored: a character outside the basic plane takes two.
    name->QLineEdit::clear();
    for (int i = 0; i < 12; ++i) {
        QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("\xF0\x9F\x98\x80"));
        QApplication::sendEvent(name, &typed);
    }
    EXPECT_LE(name->QLineEdit::text().size(), 23);
    raise(kit::notify::kKillFocus, "ms_1_macro_name_edit");
    EXPECT_EQ(store.at(0).nameText(), name->QLineEdit::text().toStdU16String());
}

// ---- Actions ----

TEST_F(MacroEditor, MovesDeletesAndClearsAreWrittenThroughAtOnce) {
    addStored(MakeMacro(u"One", 3));
    open();
    selectMacro(0);
    selectAction(2);
    click("ms_1_macro_up_btn");
    EXPECT_EQ(reread()->at(0).actions[1].key, 0x06);
    EXPECT_EQ(editor->workingCopy().iActionIndex, 1);
    EXPECT_EQ(rowKey(1), "C");
    click("ms_1_macro_down_btn");
    EXPECT_EQ(reread()->at(0).actions[2].key, 0x06);
    EXPECT_EQ(rowDelay(2), "0");  // the moved-to last row shows no pause after it

    selectAction(0);
    click("ms_1_macro_delete_action_btn");
    EXPECT_EQ(reread()->at(0).actionCount, 2);
    EXPECT_EQ(control<kit::List>("ms_1_macro_action_list")->rowCount(), 2);
    click("ms_1_macro_clear_action_btn");
    EXPECT_EQ(reread()->at(0).actionCount, 0);
    EXPECT_EQ(control<kit::List>("ms_1_macro_action_list")->rowCount(), 0);
}

TEST_F(MacroEditor, InsertedClicksTakeTheDefaultDelayInDefaultModeAnd10Otherwise) {
    addStored(MakeMacro(u"One", 1));
    open();
    selectMacro(0);
    control<kit::List>("ms_1_macro_action_list")->selectRow(-1, kit::Notify::No);
    editor->dispatchNotification(
        {"itemselect", editor->findControl(u"ms_1_macro_action_list"_qs), std::uintptr_t(-1), 0, {}});
    type("ms_1_default_delay_edit", u"33"_qs);
    click("ms_1_macro_key4_btn");
    MacroRecord stored = reread()->at(0);
    ASSERT_EQ(stored.actionCount, 3);
    EXPECT_EQ(stored.actions[0], (MacroAction{kMouseForward, 1, 33}));
    EXPECT_EQ(stored.actions[1], (MacroAction{kMouseForward, 2, 33}));

    click("ms_1_no_delay_btn");
    selectAction(2);
    click("ms_1_macro_key5_btn");
    stored = reread()->at(0);
    ASSERT_EQ(stored.actionCount, 5);
    EXPECT_EQ(stored.actions[3], (MacroAction{kMouseBackward, 1, 10}));
}

TEST_F(MacroEditor, TheDefaultDelayBoxTurnsValuesBelow10Into10) {
    open();
    type("ms_1_default_delay_edit", u"5"_qs);
    EXPECT_EQ(control<kit::Edit>("ms_1_default_delay_edit")->QLineEdit::text(), u"10"_qs);
}

TEST_F(MacroEditor, AChangeBeyond161IsUndoneByReloadingTheStoredMacro) {
    addStored(MakeMacro(u"Full", 160, 100));
    open();
    selectMacro(0);
    click("ms_1_macro_action_edit_check");
    selectAction(0);
    type("ms_1_macro_delay_edit", u"200"_qs);  // 161: still allowed
    EXPECT_EQ(reread()->at(0).actions[0].delay, 200);
    selectAction(1);
    type("ms_1_macro_delay_edit", u"200"_qs);  // 162
    EXPECT_EQ(reread()->at(0).actions[1].delay, 100);
    EXPECT_EQ(editor->workingCopy().actions[1].delay, 100);
    EXPECT_FALSE(control<kit::Label>("ms_1_macro_limit_note")->isVisibleTo(editor.get()));
}

TEST_F(MacroEditor, AMacroThatWouldOutgrowOneButtonsBlocksIsUndoneAndTheEditorSaysWhy) {
    addStored(MakeMacro(u"Long", 96, 128));
    open();
    selectMacro(0);
    click("ms_1_macro_key1_btn");
    EXPECT_EQ(reread()->at(0).actionCount, 96);
    EXPECT_EQ(editor->workingCopy().actionCount, 96);
    EXPECT_TRUE(control<kit::Label>("ms_1_macro_limit_note")->isVisibleTo(editor.get()));
}

TEST_F(MacroEditor, AStoredMacroLongerThanOneButtonsBlocksIsShownAsTooLong) {
    addStored(MakeMacro(u"Fits", 96, 128));
    addStored(MakeMacro(u"Long", 97, 128));
    open();
    auto* note = control<kit::Label>("ms_1_macro_limit_note");
    selectMacro(1);
    EXPECT_TRUE(note->isVisibleTo(editor.get()));
    EXPECT_EQ(note->text(), u"macro_stored_too_long_text"_qs);
    selectMacro(0);
    EXPECT_FALSE(note->isVisibleTo(editor.get()));
}

TEST_F(MacroEditor, TheEditPanelEditsDelaysWithinBoundsButNotTheLastActions) {
    addStored(MakeMacro(u"One", 3));
    open();
    selectMacro(0);
    selectAction(0);
    click("ms_1_macro_action_edit_check");
    EXPECT_EQ(control<kit::TabLayout>("ms_1_macro_action_edit_tab")->currentSelection(), 1);
    type("ms_1_macro_delay_edit", u"0"_qs);
    EXPECT_EQ(reread()->at(0).actions[0].delay, 1);
    type("ms_1_macro_delay_edit", u"99999"_qs);
    EXPECT_EQ(reread()->at(0).actions[0].delay, 25000);
    EXPECT_EQ(rowDelay(0), "25000");

    selectAction(2);
    auto* delay = control<kit::Edit>("ms_1_macro_delay_edit");
    EXPECT_EQ(delay->QLineEdit::text(), u"10"_qs);
    EXPECT_FALSE(delay->isEnabled());
}

TEST_F(MacroEditor, TheEditCheckStaysOffWithoutASelectedAction) {
    open();
    click("ms_1_macro_action_edit_check");
    EXPECT_FALSE(control<kit::CheckBox>("ms_1_macro_action_edit_check")->isChecked());
    EXPECT_EQ(control<kit::TabLayout>("ms_1_macro_action_edit_tab")->currentSelection(), 0);
}

TEST_F(MacroEditor, TheMouseComboChangesTheSelectedActionsButton) {
    addStored(MakeMacro(u"One", 0));
    open();
    selectMacro(0);
    click("ms_1_macro_key1_btn");
    selectAction(0);
    click("ms_1_macro_action_edit_check");
    EXPECT_EQ(control<kit::TabLayout>("ms_1_macro_action_edit_tab")->currentSelection(), 2);
    control<kit::Combo>("ms_1_macro_mouse_action_combo")->selectItem(3, kit::Notify::Yes);
    EXPECT_EQ(reread()->at(0).actions[0].key, kMouseForward);
    EXPECT_EQ(reread()->at(0).actions[0].kind, 1);
}

TEST_F(MacroEditor, KeyCaptureSetsOnlyTheSelectedActionsKey) {
    addStored(MakeMacro(u"One", 2));
    open();
    selectMacro(0);
    selectAction(1);
    click("ms_1_macro_action_edit_check");
    auto* box = control<kit::Edit>("ms_1_macro_action_edit");
    // Reaching the box captures nothing: a click on it starts the capture.
    box->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(HookCalls().empty());
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(HookCalls(), (std::vector<std::string>{"installhook", "enablehook 1"}));
    HookCalls().clear();
    hook(0x5A, 0, now);  // Z
    EXPECT_EQ(reread()->at(0).actions[1], (MacroAction{0x1D, 2, 20}));
    EXPECT_EQ(box->QLineEdit::text(), u"Z"_qs);
    // One key: the hook goes with it, and later keys change nothing.
    EXPECT_EQ(HookCalls(), (std::vector<std::string>{"removehook", "enablehook 0"}));
    hook(0x5A, 1, now);
    hook(0x41, 0, now);
    EXPECT_EQ(reread()->at(0).actions[1].key, 0x1D);
}

// What a keyboard user's keys do to the step whose key box they meet: only a started
// capture takes a key, and Escape ends the capture, then the editor.
TEST_F(MacroEditor, KeysReachTheKeyBoxOnlyOnceACaptureIsStarted) {
    constexpr quint32 kXkbTab = 15 + 8, kXkbEsc = 1 + 8, kXkbEnter = 28 + 8, kXkbSpace = 57 + 8, kXkbC = 46 + 8;
    struct Press {
        Qt::Key key;
        quint32 xkb;
    };
    struct Case {
        const char* what;
        std::vector<Press> presses;
        std::uint8_t key;  // the step's key afterwards
        bool boxHasFocus;
        bool editorOpen;
    };
    const Press tab{Qt::Key_Tab, kXkbTab}, esc{Qt::Key_Escape, kXkbEsc}, enter{Qt::Key_Return, kXkbEnter},
        space{Qt::Key_Space, kXkbSpace}, c{Qt::Key_C, kXkbC};
    const Case cases[] = {
        {"Tab passes through", {tab}, 0x05, false, true},
        {"Enter starts, C is taken", {enter, c}, 0x06, true, true},
        {"Space starts, Tab is taken", {space, tab}, 0x2B, true, true},
        {"Enter starts, Enter is taken", {enter, enter}, 0x28, true, true},
        {"Escape cancels the capture", {enter, esc}, 0x05, true, true},
        {"then Tab leaves", {enter, c, tab}, 0x06, false, true},
        {"Escape without a capture closes the editor", {esc}, 0x05, false, false},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        addStored(MakeMacro(u"One", 2));
        gInstallResult = 0;  // the box's own keys
        open();
        selectMacro(0);
        selectAction(1);  // B, released
        click("ms_1_macro_action_edit_check");
        auto* box = control<kit::Edit>("ms_1_macro_action_edit");
        editor->activateWindow();
        box->setFocus(Qt::TabFocusReason);
        for (const Press& p : row.presses) {
            QWidget* focused = QApplication::focusWidget() ? QApplication::focusWidget() : box;
            for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
                QKeyEvent event(type, p.key, Qt::NoModifier, p.xkb, 0, 0);
                QApplication::sendEvent(focused, &event);
            }
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(editor->workingCopy().actions[1].key, row.key);
        EXPECT_EQ(box->hasFocus(), row.boxHasFocus);
        EXPECT_EQ(editor->isVisible(), row.editorOpen);
        editor.reset();
        store.remove(0);
        ASSERT_FALSE(store.save());
    }
}

TEST_F(MacroEditor, CancelDropsPanelEditsThatWereNotCommitted) {
    addStored(MakeMacro(u"One", 2));
    open();
    selectMacro(0);
    click("ms_1_macro_action_edit_check");
    click("ms_1_macro_cancel_btn");
    EXPECT_EQ(control<kit::TabLayout>("ms_1_macro_action_edit_tab")->currentSelection(), 0);
    EXPECT_EQ(editor->workingCopy().actionCount, 2);
}

TEST_F(MacroEditor, EnterCommitsATypedDelayAndCancelDropsOnlyWhatWasTypedAfter) {
    addStored(MakeMacro(u"One", 3));
    open();
    selectMacro(0);
    selectAction(0);
    click("ms_1_macro_action_edit_check");
    auto* delay = control<kit::Edit>("ms_1_macro_delay_edit");
    delay->selectAll();
    QTest::keyClicks(delay, u"321"_qs);
    QTest::keyClick(delay, Qt::Key_Return);
    EXPECT_EQ(reread()->at(0).actions[0].delay, 321);
    delay->selectAll();
    QTest::keyClicks(delay, u"77"_qs);
    click("ms_1_macro_cancel_btn");
    EXPECT_EQ(reread()->at(0).actions[0].delay, 321);
    EXPECT_EQ(rowDelay(0), "321");
}

// ---- Recording ----

TEST_F(MacroEditor, RecordingWithNoMacroCreatesOneAndCommitsWhenItStops) {
    open();
    click("ms_1_record_delay_btn");
    pointerTo(offTheEditor());
    control<kit::CheckBox>("ms_1_macro_record_btn")->setChecked(true, kit::Notify::Yes);
    ASSERT_TRUE(editor->recording());
    EXPECT_EQ(store.size(), 1u);
    EXPECT_EQ(HookCalls(),
              (std::vector<std::string>{"installhook", "enablehook 1", "enablemousehook 1", "mousewheelenable 0"}));
    EXPECT_EQ(control<kit::Button>("ms_1_macro_record_btn")->QPushButton::text(), skin.text(u"stop_recording_text"_qs));
    hook(0x41, 0, 5200);
    hook(0x41, 1, 5260);
    hook(0x207, 0, 5900);
    hook(0x208, 0, 5950);
    EXPECT_EQ(reread()->at(0).actionCount, 0);  // nothing is stored before the stop

    HookCalls().clear();
    click("ms_1_macro_record_btn");
    EXPECT_FALSE(editor->recording());
    EXPECT_EQ(HookCalls(), (std::vector<std::string>{"removehook", "removemousehook", "enablemousehook 0",
                                                     "enablehook 0", "mousewheelenable 0"}));
    MacroRecord stored = reread()->at(0);
    ASSERT_EQ(stored.actionCount, 4);
    EXPECT_EQ(stored.actions[0], (MacroAction{0x04, 1, 60}));
    EXPECT_EQ(stored.actions[1], (MacroAction{0x04, 2, 640}));
    EXPECT_EQ(stored.actions[2], (MacroAction{kMouseMiddle, 1, 50}));
    EXPECT_EQ(stored.actions[3], (MacroAction{kMouseMiddle, 2, 10}));
}

TEST_F(MacroEditor, ARecordingStopsBeforeTheMacroOutgrowsOneButtonsBlocks) {
    addStored(MakeMacro(u"Long", 96, 128));
    open();
    selectMacro(0);
    click("ms_1_record_delay_btn");
    click("ms_1_macro_record_btn");  // after the selected last action
    hook(0x41, 0, now + 128);        // fits: it carries 10 ms
    hook(0x41, 1, now + 128);        // its 128 ms pause would not fit
    EXPECT_FALSE(editor->recording());
    EXPECT_TRUE(control<kit::Label>("ms_1_macro_limit_note")->isVisibleTo(editor.get()));
    MacroRecord stored = reread()->at(0);
    ASSERT_EQ(stored.actionCount, 97);
    EXPECT_EQ(stored.actions[96], (MacroAction{0x04, 1, 10}));
}

TEST_F(MacroEditor, ThePointerOverTheRecordButtonPausesMouseEvents) {
    open();
    click("ms_1_macro_record_btn");
    HookCalls().clear();
    raise(kit::notify::kMouseLeave, "ms_1_macro_record_btn");
    raise(kit::notify::kMouseEnter, "ms_1_macro_record_btn");
    EXPECT_EQ(HookCalls(), (std::vector<std::string>{"enablemousehook 1", "enablemousehook 0"}));
}

// Clicks count from the moment recording starts, however it was started, except those on
// the record button: the pointer on it pauses the library's mouse events, and a click the
// library reports while the pointer is on it is dropped all the same (its thread may
// overtake the pointer's arrival).
TEST_F(MacroEditor, ClicksCountFromTheStartExceptOnTheRecordButton) {
    struct Case {
        const char* start;
        bool byKey;        // Space on the focused button, else a click on it
        bool pointerOnIt;  // where the pointer is as recording starts
    };
    const Case cases[] = {{"Space, the pointer elsewhere", true, false},
                          {"Space, the pointer on the button", true, true},
                          {"a click on the button", false, true}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.start);
        open();
        auto* record = control<kit::Button>("ms_1_macro_record_btn");
        pointerTo(c.pointerOnIt ? onRecordButton() : offTheEditor());
        HookCalls().clear();
        if (c.byKey) {
            record->setFocus(Qt::TabFocusReason);
            QTest::keyClick(record, Qt::Key_Space);
        } else {
            QTest::mouseClick(record, Qt::LeftButton);
        }
        ASSERT_TRUE(editor->recording());
        ASSERT_EQ(HookCalls().size(), 4u);
        EXPECT_EQ(HookCalls()[2], c.pointerOnIt ? "enablemousehook 0" : "enablemousehook 1");

        pointerTo(offTheEditor());
        hook(0x204, 0, now + 100);  // a right click away from the button
        hook(0x205, 0, now + 150);
        pointerTo(onRecordButton());
        hook(0x201, 0, now + 200);  // the library's report of a click on the button
        hook(0x202, 0, now + 250);
        QTest::mouseClick(record, Qt::LeftButton);
        ASSERT_FALSE(editor->recording());
        const MacroRecord stored = reread()->at(i);
        ASSERT_EQ(stored.actionCount, 2);
        EXPECT_EQ(stored.actions[0].key, kMouseRight);
        EXPECT_EQ(stored.actions[1], (MacroAction{kMouseRight, MacroAction::Release, 10}));
    }
}

TEST_F(MacroEditor, ClosingWhileRecordingCommitsNothing) {
    addStored(MakeMacro(u"One", 2));
    open();
    selectMacro(0);
    control<kit::List>("ms_1_macro_action_list")->selectRow(-1, kit::Notify::Yes);
    click("ms_1_macro_record_btn");
    hook(0x42, 0, 6000);
    HookCalls().clear();
    click("btn_exit");
    EXPECT_EQ(HookCalls(), (std::vector<std::string>{"removehook"}));
    EXPECT_EQ(reread()->at(0).actionCount, 2);
}

TEST_F(MacroEditor, WithoutGlobalInputTheWindowSaysSoAndRecordsItsOwnKeys) {
    gInstallResult = 0;
    open();
    click("ms_1_macro_record_btn");
    EXPECT_FALSE(editor->globalInput());
    EXPECT_TRUE(control<kit::Label>("ms_1_macro_input_note")->isVisibleTo(editor.get()));
    // X key code 65 is evdev 57, the space bar, which would press a focused button.
    auto* record = control<kit::Button>("ms_1_macro_record_btn");
    record->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, 65, 0, 0, u" "_qs);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, 65, 0, 0, u" "_qs);
    QApplication::sendEvent(record, &press);
    QApplication::sendEvent(record, &release);
    QCoreApplication::processEvents();
    EXPECT_TRUE(editor->recording());
    click("ms_1_macro_record_btn");
    MacroRecord stored = reread()->at(0);
    ASSERT_EQ(stored.actionCount, 2);
    EXPECT_EQ(stored.actions[0], (MacroAction{0x2C, 1, 10}));
    EXPECT_EQ(stored.actions[1], (MacroAction{0x2C, 2, 10}));
    EXPECT_FALSE(control<kit::Label>("ms_1_macro_input_note")->isVisibleTo(editor.get()));
}

// ---- Macro files ----

TEST_F(MacroEditor, ExportThenImportGivesSuffixesOneAndTwoAndTheFileIsTheStoredRecord) {
    addStored(MakeMacro(u"Burst", 5));
    open();
    selectMacro(0);
    kit::AnswerNextFileDialog(QString::fromStdString((dir.path() / "burst").string()));
    click("ms_1_macro_export_btn");
    const kit::FileDialogRequest request = kit::LastFileDialogRequest();
    EXPECT_EQ(request.filter, u"Macro File (*.macro *.MACRO)"_qs);
    EXPECT_EQ(request.folder.toStdString(), dir.path().string());
    const std::filesystem::path file = dir.path() / "burst.macro";
    ASSERT_TRUE(std::filesystem::exists(file));
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::ifstream data(dir.path() / "ms_1" / "macro.data", std::ios::binary);
    std::vector<char> stored((std::istreambuf_iterator<char>(data)), {});
    EXPECT_EQ(bytes, stored);

    for (int i = 0; i < 2; ++i) {
        kit::AnswerNextFileDialog(QString::fromStdString(file.string()));
        click("ms_1_macro_import_btn");
    }
    EXPECT_EQ(macroRows(), (std::vector<std::string>{"Burst", "Burst_1", "Burst_2"}));
    EXPECT_EQ(editor->currentMacroIndex(), 2);
    EXPECT_EQ(reread()->size(), 3u);
}

TEST_F(MacroEditor, ExportOverAnExistingFileAsksFirst) {
    addStored(MakeMacro(u"Burst", 5));
    open();
    selectMacro(0);
    const std::filesystem::path file = dir.path() / "old.macro";
    std::ofstream(file) << "old";
    answer = 0;
    kit::AnswerNextFileDialog(QString::fromStdString(file.string()));
    click("ms_1_macro_export_btn");
    EXPECT_EQ(asked, (std::vector<std::string>{"macro_file_replace_text"}));
    EXPECT_EQ(std::filesystem::file_size(file), 3u);
    answer = 1;
    kit::AnswerNextFileDialog(QString::fromStdString(file.string()));
    click("ms_1_macro_export_btn");
    EXPECT_EQ(std::filesystem::file_size(file), MacroRecord::kSize);
}

TEST_F(MacroEditor, AFailedExportIsReported) {
    addStored(MakeMacro(u"Burst", 5));
    open();
    selectMacro(0);
    kit::AnswerNextFileDialog(QString::fromStdString((dir.path() / "no" / "such" / "x.macro").string()));
    click("ms_1_macro_export_btn");
    EXPECT_EQ(asked, (std::vector<std::string>{"macro_file_not_written_text"}));
}

TEST_F(MacroEditor, AFileThatIsNotAMacroIsRefusedAndNothingIsAdded) {
    addStored(MakeMacro(u"Burst", 5));
    open();
    const std::filesystem::path shortFile = dir.path() / "short.macro";
    std::ofstream(shortFile) << std::string(695, 'x');
    MacroRecord tooMany = MakeMacro(u"Many", 3);
    tooMany.actionCount = 161;
    ASSERT_FALSE(ExportMacro(tooMany, dir.path() / "many.macro"));
    // Room for its steps, but not in one button's blocks: refused at this door too.
    MacroRecord tooLong = MakeMacro(u"Long", 120);
    for (MacroAction& a : tooLong.actions) a.delay = 200;
    ASSERT_FALSE(ExportMacro(tooLong, dir.path() / "long.macro"));
    MacroRecord noKey = MakeMacro(u"NoKey", 3);
    noKey.actions[1].key = 0;
    ASSERT_FALSE(ExportMacro(noKey, dir.path() / "nokey.macro"));
    for (const char* name : {"short.macro", "many.macro", "long.macro", "nokey.macro"}) {
        kit::AnswerNextFileDialog(QString::fromStdString((dir.path() / name).string()));
        click("ms_1_macro_import_btn");
    }
    EXPECT_EQ(asked, (std::vector<std::string>{"macro_file_not_read_text", "macro_refused_count_text",
                                               "macro_refused_too_long_text", "macro_refused_step_text"}));
    EXPECT_EQ(macroRows(), (std::vector<std::string>{"Burst"}));
    EXPECT_EQ(reread()->size(), 1u);
}

// Export and the name box act on the current macro: without one, Export would write
// nothing and a typed name would go nowhere, so neither takes input.
TEST_F(MacroEditor, CancelledFileDialogsChangeNothingAndExportAndTheNameWaitForAMacro) {
    addStored(MakeMacro(u"Burst", 5));
    open();
    kit::AnswerNextFileDialog(QString());
    click("ms_1_macro_import_btn");
    EXPECT_EQ(store.size(), 1u);
    auto* exportBtn = control<kit::Button>("ms_1_macro_export_btn");
    auto* nameEdit = control<kit::Edit>("ms_1_macro_name_edit");
    auto expectEnabled = [&](bool enabled, const char* when) {
        EXPECT_EQ(exportBtn->isEnabled(), enabled) << when;
        EXPECT_EQ(nameEdit->isEnabled(), enabled) << when;
    };
    expectEnabled(false, "nothing selected");
    selectMacro(0);
    expectEnabled(true, "selected");
    click("ms_1_macro_delete_btn");
    expectEnabled(false, "the only macro deleted");
    EXPECT_EQ(nameEdit->QLineEdit::text(), "");
    click("ms_1_macro_add_btn");
    expectEnabled(true, "added");
}

TEST_F(MacroEditor, ExportAddsTheExtensionOnlyToANameWithoutOne) {
    addStored(MakeMacro(u"Burst", 5));
    open();
    selectMacro(0);
    const std::pair<const char*, const char*> cases[] = {
        {"burst", "burst.macro"}, {"x.txt", "x.txt"},           {"y.MACRO", "y.MACRO"},
        {"z.", "z.macro"},        {".hidden", ".hidden.macro"}, {"dir.d/w", "dir.d/w.macro"},
    };
    std::filesystem::create_directory(dir.path() / "dir.d");
    for (const auto& [typed, written] : cases) {
        SCOPED_TRACE(typed);
        kit::AnswerNextFileDialog(QString::fromStdString((dir.path() / typed).string()));
        click("ms_1_macro_export_btn");
        EXPECT_TRUE(std::filesystem::exists(dir.path() / written));
        if (std::string(typed) != written) { EXPECT_FALSE(std::filesystem::exists(dir.path() / typed)); }
    }
    EXPECT_TRUE(asked.empty());
}

}  // namespace
}  // namespace halvern
