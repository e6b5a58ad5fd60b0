// The profile section of the settings page in the real main window with the real skin:
// what each of its actions does to the list, the current profile, the stores on disk
// and the mouse, and how the page answers a file it cannot take. Modal windows are
// real; a script answers them as a user would, in the order they open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <deque>

#include "app/CMainWnd.h"
#include "app/WindowTimers.h"
#include "platform/DataPaths.h"
#include "protocol/RecordingTransports.h"
#include "storage/MacroStore.h"
#include "storage/ProfileStore.h"
#include "storage/RecordFiles.h"
#include "support/Macros.h"
#include "storage/SettingsFile.h"
#include "support/SkinFolder.h"
#include "support/TempDir.h"
#include "support/VirtualClock.h"
#include "support/PageHarness.h"
#include "support/VirtualTimerSource.h"
#include "ui/kit/Button.h"
#include "ui/kit/Edit.h"
#include "ui/kit/FileDialog.h"
#include "ui/kit/Label.h"
#include "ui/kit/List.h"
#include "ui/page/CMS_1_Page.h"

namespace halvern {
namespace {

namespace fs = std::filesystem;

constexpr int kPreamble = 0x0C;  // the first report of a full apply

class ProfileList : public test::PageHarness {
protected:
    void store(const std::vector<std::u16string>& names, int selected = 0,
               const std::function<void(ProfileStore&)>& edit = {}) {
        storeProfiles(names, selected, edit);
    }
    void thenName(const QString& name) {
        then([name](kit::SkinWindow& w) {
            kit::Edit* edit = w.find<kit::Edit>(u"edit_name"_qs);
            edit->setText(name, kit::Notify::Yes);
            w.find<kit::Button>(u"btn_ok"_qs)->click();
        });
    }

    bool sentFullApply() const {
        return !mouse.written().empty() && !mouse.written().front().bytes.empty() &&
               mouse.written().front().bytes[0] == kPreamble;
    }

    QStringList rows() const {
        QStringList out;
        for (int i = 0; i < list()->rowCount(); ++i) out << list()->rowText(i);
        return out;
    }
    kit::List* list() const { return window->find<kit::List>(u"ms_1_list_profile"_qs); }
    QString currentName() const { return QString::fromStdU16String(page->currentProfile()->nameText()); }
    QString message(const char* key) const { return skin.text(QString::fromLatin1(key)); }

    // The store as a fresh start would read it.
    std::vector<std::u16string> storedNames(int* selected = nullptr) const {
        test::TempDir copy;
        fs::copy_file(ModelFolder(data.path()) / ProfileStore::kFileName, copy / ProfileStore::kFileName);
        ProfileStore s(copy.path());
        s.load(u"x");
        std::vector<std::u16string> names;
        for (const auto& p : s.profiles()) names.push_back(p->nameText());
        if (selected) *selected = s.selectedProfile();
        return names;
    }

    test::TempDir files;
};

// ---- First start ----

// Nothing is stored yet: the page shows a default profile at once, and writes it (and
// the picture number) only once the window is up, so that the first paint never waits
// for the disk.
TEST_F(ProfileList, AFirstStartWritesItsDefaultsOnceTheWindowIsUp) {
    build(/*linked=*/true, /*deferredBuilding=*/true);
    const fs::path storeFile = ModelFolder(data.path()) / ProfileStore::kFileName;
    const fs::path settingsFile = data.path() / SettingsFile::kFileName;
    EXPECT_EQ(rows().size(), 1);
    EXPECT_FALSE(fs::exists(storeFile));
    EXPECT_FALSE(fs::exists(settingsFile));

    window->show();
    window->completeLayout();
    EXPECT_EQ(storedNames(), std::vector<std::u16string>{currentName().toStdU16String()});
    EXPECT_EQ(SettingsFile(data.path()).readModelId(), 0);
    settle();
}

// ---- Delete ----

TEST_F(ProfileList, DeletingTheLastRowSelectsTheRowBeforeIt) {
    store({u"A", u"B", u"C"}, 2);
    open();
    thenAnswer(1);
    click("ms_1_profile_delete_btn");
    ASSERT_EQ(shownWindows.size(), 1u);
    EXPECT_EQ(shownWindows[0].text, message("delete_profile_text"));
    EXPECT_EQ(rows(), (QStringList{u"A"_qs, u"B"_qs}));
    EXPECT_EQ(list()->selectedRow(), 1);
    EXPECT_EQ(currentName(), u"B"_qs);
    settle();
    EXPECT_TRUE(sentFullApply());
}

TEST_F(ProfileList, DeletingTheFirstRowSelectsTheNewFirstRowAndIsSavedWithoutAMouse) {
    store({u"A", u"B", u"C"}, 0);
    open(false);
    thenAnswer(1);
    click("ms_1_profile_delete_btn");
    EXPECT_EQ(rows(), (QStringList{u"B"_qs, u"C"_qs}));
    EXPECT_EQ(list()->selectedRow(), 0);
    EXPECT_EQ(currentName(), u"B"_qs);
    int selected = -1;
    EXPECT_EQ(storedNames(&selected), (std::vector<std::u16string>{u"B", u"C"}));
    EXPECT_EQ(selected, 0);
}

TEST_F(ProfileList, DeletingTheLastProfileIsRefusedWithTheMessage) {
    store({u"Only"});
    open();
    thenAnswer(1);
    click("ms_1_profile_delete_btn");
    ASSERT_EQ(shownWindows.size(), 1u);
    EXPECT_EQ(shownWindows[0].text, message("one_profile_text"));
    EXPECT_EQ(rows(), QStringList{u"Only"_qs});
    EXPECT_EQ(page->profileStore().size(), 1u);
}

TEST_F(ProfileList, CancellingTheDeleteKeepsEverything) {
    store({u"A", u"B"}, 1);
    open();
    thenAnswer(0);
    click("ms_1_profile_delete_btn");
    EXPECT_EQ(shownWindows.back().text, message("delete_profile_text"));
    EXPECT_EQ(rows(), (QStringList{u"A"_qs, u"B"_qs}));
    EXPECT_EQ(currentName(), u"B"_qs);
    settle();
    EXPECT_TRUE(mouse.written().empty());
}

// ---- Add and rename ----

TEST_F(ProfileList, AddAsksForANameAndMakesANewDefaultProfileCurrent) {
    store({u"Game"}, 0, [](ProfileStore& s) { s.at(0).dpiStep = 5; });
    open();
    thenName(u"game"_qs);  // taken, in other letters
    thenAnswer(1);         // the warning
    then([](kit::SkinWindow& w) {
        w.find<kit::Edit>(u"edit_name"_qs)->setText(u"Desk"_qs, kit::Notify::Yes);
        w.find<kit::Button>(u"btn_ok"_qs)->click();
    });
    click("ms_1_profile_add_btn");
    ASSERT_EQ(shownWindows.size(), 3u);
    EXPECT_EQ(shownWindows[0].layout, u"MS/MS_1/profilename.xml"_qs);
    EXPECT_EQ(shownWindows[0].text, message("profile_name_1_text"));
    EXPECT_EQ(shownWindows[1].text, message("warn_name_2_text"));
    EXPECT_EQ(rows(), (QStringList{u"Game"_qs, u"Desk"_qs}));
    EXPECT_EQ(list()->selectedRow(), 1);
    EXPECT_EQ(currentName(), u"Desk"_qs);
    EXPECT_EQ(page->currentProfile()->dpiStep, MouseProfile::Create(u"x")->dpiStep);
    settle();
    EXPECT_TRUE(sentFullApply());
}

TEST_F(ProfileList, AddWithoutAnyMouseLinkedIsKeptInTheStore) {
    store({u"Game"});
    open(false);
    thenName(u"Travel"_qs);
    click("ms_1_profile_add_btn");
    int selected = -1;
    EXPECT_EQ(storedNames(&selected), (std::vector<std::u16string>{u"Game", u"Travel"}));
    EXPECT_EQ(selected, 1);
}

TEST_F(ProfileList, CancellingTheNameDialogAddsNothing) {
    store({u"Game"});
    open();
    thenAnswer(0);
    click("ms_1_profile_add_btn");
    EXPECT_EQ(rows(), QStringList{u"Game"_qs});
    EXPECT_EQ(page->profileStore().size(), 1u);
}

TEST_F(ProfileList, RenameChangesTheRowAndTheStoreAtOnceAndSendsNothing) {
    store({u"Game", u"Work"}, 1);
    open(false);
    thenName(u"work"_qs);  // its own name is taken too
    thenAnswer(1);
    thenName(u"Office"_qs);
    click("ms_1_profile_rename_btn");
    ASSERT_EQ(shownWindows.size(), 3u);
    EXPECT_EQ(shownWindows[0].text, message("profile_name_2_text"));
    EXPECT_EQ(shownWindows[1].text, message("warn_name_2_text"));
    EXPECT_EQ(rows(), (QStringList{u"Game"_qs, u"Office"_qs}));
    EXPECT_EQ(storedNames(), (std::vector<std::u16string>{u"Game", u"Office"}));
    settle();
    EXPECT_TRUE(mouse.written().empty());
}

// ---- Restore ----

TEST_F(ProfileList, BothRestoreButtonsResetEverythingButTheNameAndSendAllOfIt) {
    const auto defaults = MouseProfile::Create(u"x");
    for (const char* button : {"ms_1_profile_reset_btn", "ms_1_btn_reset"}) {
        SCOPED_TRACE(button);
        store({u"Game"}, 0, [](ProfileStore& s) {
            s.at(0).dpiStep = 6;
            s.at(0).keyDebounce = 9;
        });
        open(false);
        thenAnswer(0);
        click(button);
        EXPECT_EQ(page->currentProfile()->dpiStep, 6);
        thenAnswer(1);
        click(button);
        EXPECT_EQ(shownWindows.back().text, message("restore_text"));
        EXPECT_EQ(page->currentProfile()->dpiStep, defaults->dpiStep);
        EXPECT_EQ(page->currentProfile()->keyDebounce, defaults->keyDebounce);
        EXPECT_EQ(currentName(), u"Game"_qs);
        // Kept though no apply could run.
        ProfileStore stored(ModelFolder(data.path()));
        stored.load(u"x");
        EXPECT_EQ(stored.at(0).dpiStep, defaults->dpiStep);

        // It goes out whole once a link is up.
        settle();
        links.wirelessLink = links.anyLink = 1;
        page->updateLinkSections();
        settle();
        EXPECT_TRUE(sentFullApply());
        mouse.clear();
        window.reset();
        page.reset();
    }
}

// ---- Export and import ----

class ProfileFiles : public ProfileList {
protected:
    // "Game" with a macro button playing "Fire", which the macro list holds too.
    void storeGameWithFire() {
        MacroStore macros(ModelFolder(data.path()));
        macros.load();
        auto fire = std::make_unique<MacroRecord>();
        fire->setName(u"Fire");
        fire->actionCount = 2;
        fire->actions[0] = {0x04, 1, 10};
        fire->actions[1] = {0x04, 2, 20};
        macros.append(std::make_unique<MacroRecord>(*fire));
        ASSERT_FALSE(macros.save());
        store({u"Game"}, 0, [&](ProfileStore& s) { s.at(0).buttons[2].assignMacro(*fire, 1, 3, 0); });
    }
    QString file(const std::string& name) const { return QString::fromStdString((files / name).string()); }
};

TEST_F(ProfileFiles, ExportThenImportAddsSuffixedProfileAndMacrosTheButtonsPlay) {
    storeGameWithFire();
    open();
    kit::AnswerNextFileDialog(file("game"));
    click("ms_1_profile_export_btn");
    EXPECT_TRUE(shownWindows.empty());
    EXPECT_EQ(kit::LastFileDialogRequest().filter, u"Profile File (*.pro *.PRO)"_qs);
    EXPECT_EQ(kit::LastFileDialogRequest().kind, kit::FileDialogKind::Save);
    // The extension is added, and the file is the stored record byte for byte.
    const auto exported = test::ReadAll(files / "game.pro");
    const auto stored = test::ReadAll(ModelFolder(data.path()) / ProfileStore::kFileName);
    ASSERT_EQ(exported.size(), MouseProfile::kSize);
    EXPECT_TRUE(std::equal(exported.begin(), exported.end(), stored.begin() + ProfileStore::kHeaderSize));
    settle();
    EXPECT_TRUE(mouse.written().empty()) << "an export sends nothing";

    kit::AnswerNextFileDialog(file("game.pro"));
    click("ms_1_profile_import_btn");
    EXPECT_TRUE(shownWindows.empty());
    EXPECT_EQ(rows(), (QStringList{u"Game"_qs, u"Game_1"_qs}));
    EXPECT_EQ(list()->selectedRow(), 1);
    EXPECT_EQ(currentName(), u"Game_1"_qs);
    const MacroStore& macros = page->macroStore();
    ASSERT_EQ(macros.size(), 2u);
    EXPECT_EQ(macros.at(1).nameText(), u"Fire_1");
    const ButtonAssignment& button = page->currentProfile()->buttons[2];
    EXPECT_EQ(button.macroNameText(), u"Fire_1");
    EXPECT_EQ(button.macroIndex, 1);
    EXPECT_EQ(window->find<kit::Button>(u"ms_1_btn_key_3"_qs)->shownText(),
              skin.text(u"assign_macro_text"_qs) + u"Fire_1"_qs);
    EXPECT_EQ(storedNames(), (std::vector<std::u16string>{u"Game", u"Game_1"}));
    MacroStore reread(ModelFolder(data.path()));
    reread.load();
    EXPECT_EQ(reread.size(), 2u);
    settle();
    EXPECT_TRUE(sentFullApply());
}

TEST_F(ProfileFiles, ExportAddsTheExtensionOnlyToANameWithoutOne) {
    store({u"Game"});
    open();
    const std::pair<const char*, const char*> cases[] = {
        {"p", "p.pro"}, {"p.txt", "p.txt"}, {"q.PRO", "q.PRO"}, {"r.", "r.pro"}};
    for (const auto& [typed, written] : cases) {
        SCOPED_TRACE(typed);
        kit::AnswerNextFileDialog(file(typed));
        click("ms_1_profile_export_btn");
        std::error_code ec;
        EXPECT_EQ(fs::file_size(files / written, ec), MouseProfile::kSize);
        if (std::string(typed) != written) { EXPECT_FALSE(fs::exists(files / typed)); }
    }
    EXPECT_TRUE(shownWindows.empty());
}

TEST_F(ProfileFiles, BothDialogsStartInTheFolderUsedLastElseHome) {
    store({u"Game"});
    open();
    kit::AnswerNextFileDialog(QString());
    click("ms_1_profile_import_btn");
    EXPECT_EQ(kit::LastFileDialogRequest().folder, QDir::homePath());
    EXPECT_EQ(kit::LastFileDialogRequest().kind, kit::FileDialogKind::Open);

    fs::create_directory(files / "kept");
    kit::AnswerNextFileDialog(file("kept/a.pro"));
    click("ms_1_profile_export_btn");
    kit::AnswerNextFileDialog(QString());
    click("ms_1_profile_import_btn");
    EXPECT_EQ(kit::LastFileDialogRequest().folder, file("kept"));
    kit::AnswerNextFileDialog(QString());
    click("ms_1_profile_export_btn");
    EXPECT_EQ(kit::LastFileDialogRequest().folder, file("kept"));

    // A remembered folder that went away is not offered.
    fs::remove_all(files / "kept");
    kit::AnswerNextFileDialog(QString());
    click("ms_1_profile_export_btn");
    EXPECT_EQ(kit::LastFileDialogRequest().folder, QDir::homePath());
    EXPECT_EQ(rows(), QStringList{u"Game"_qs});
}

TEST_F(ProfileFiles, ExportAsksBeforeReplacingAFileAndKeepsItOnCancel) {
    store({u"Game"});
    open();
    test::WriteAll(files / "old.pro", {'o', 'l', 'd'});
    thenAnswer(0);
    kit::AnswerNextFileDialog(file("old"));
    click("ms_1_profile_export_btn");
    ASSERT_EQ(shownWindows.size(), 1u);
    EXPECT_EQ(shownWindows[0].text, message("overwrite_file_text"));
    EXPECT_EQ(test::ReadAll(files / "old.pro").size(), 3u);

    thenAnswer(1);
    kit::AnswerNextFileDialog(file("old.pro"));
    click("ms_1_profile_export_btn");
    EXPECT_EQ(test::ReadAll(files / "old.pro").size(), MouseProfile::kSize);
}

TEST_F(ProfileFiles, AFailedExportIsToldAndLeavesNothingBehind) {
    store({u"Game"});
    open();
    thenAnswer(1);
    kit::AnswerNextFileDialog(file("missing-folder/game.pro"));
    click("ms_1_profile_export_btn");
    ASSERT_EQ(shownWindows.size(), 1u);
    EXPECT_EQ(shownWindows[0].text, message("export_failed_text"));
    EXPECT_FALSE(fs::exists(files / "missing-folder"));
}

TEST_F(ProfileFiles, FilesThatAreNoProfileAreRefusedAndChangeNothing) {
    storeGameWithFire();
    open();
    const auto macrosBefore = test::ReadAll(ModelFolder(data.path()) / MacroStore::kFileName);
    const auto profilesBefore = test::ReadAll(ModelFolder(data.path()) / ProfileStore::kFileName);
    test::WriteAll(files / "short.pro", std::vector<unsigned char>(MouseProfile::kSize - 1, 0x41));
    test::WriteAll(files / "long.pro", std::vector<unsigned char>(MouseProfile::kSize + 1, 0x41));
    fs::create_directory(files / "folder.pro");
    // Root reads any file whatever its mode; reading another process's memory at
    // address 0 fails for everyone.
    std::string unreadable = "/proc/self/mem";
    if (::geteuid() != 0) {
        test::WriteAll(files / "locked.pro", std::vector<unsigned char>(MouseProfile::kSize, 0));
        fs::permissions(files / "locked.pro", fs::perms::none);
        unreadable = (files / "locked.pro").string();
    }
    for (const QString& path :
         {file("short.pro"), file("long.pro"), file("folder.pro"), QString::fromStdString(unreadable)}) {
        SCOPED_TRACE(path.toStdString());
        shownWindows.clear();
        thenAnswer(1);
        kit::AnswerNextFileDialog(path);
        click("ms_1_profile_import_btn");
        ASSERT_EQ(shownWindows.size(), 1u);
        EXPECT_EQ(shownWindows[0].text, message("profile_file_refused_text"));
        EXPECT_EQ(rows(), QStringList{u"Game"_qs});
        EXPECT_EQ(page->macroStore().size(), 1u);
    }
    EXPECT_EQ(test::ReadAll(ModelFolder(data.path()) / MacroStore::kFileName), macrosBefore);
    EXPECT_EQ(test::ReadAll(ModelFolder(data.path()) / ProfileStore::kFileName), profilesBefore);
    settle();
    EXPECT_TRUE(mouse.written().empty());
}

TEST_F(ProfileFiles, AnImportedProfileWithValuesOutOfRangeIsShownAndSentWithinRange) {
    store({u"Game"});
    open();
    auto hostile = MouseProfile::Create(u"Odd");
    hostile->dpiStep = 99;
    hostile->pollingRate = -4;
    hostile->name[99] = u'x';  // no terminator in the field
    const auto bytes = hostile->bytes();
    test::WriteAll(files / "odd.pro",
                   std::vector<unsigned char>(reinterpret_cast<const unsigned char*>(bytes.data()),
                                              reinterpret_cast<const unsigned char*>(bytes.data()) + bytes.size()));
    kit::AnswerNextFileDialog(file("odd.pro"));
    click("ms_1_profile_import_btn");
    EXPECT_EQ(rows(), (QStringList{u"Game"_qs, u"Odd"_qs}));
    EXPECT_EQ(page->currentProfile()->dpiStep, 7);
    EXPECT_EQ(page->currentProfile()->pollingRate, 0);
}

TEST_F(ProfileFiles, CancelledFileDialogsChangeNothing) {
    store({u"Game"});
    open();
    kit::AnswerNextFileDialog(QString());
    click("ms_1_profile_import_btn");
    kit::AnswerNextFileDialog(QString());
    click("ms_1_profile_export_btn");
    EXPECT_EQ(rows(), QStringList{u"Game"_qs});
    EXPECT_TRUE(fs::is_empty(files.path()));
    EXPECT_FALSE(SettingsFile(data.path()).readProfileFolder());
    settle();
    EXPECT_TRUE(mouse.written().empty());
}

TEST_F(ProfileFiles, AProfileWithAMacroTooLongForItsButtonIsRefusedWithTheMacrosName) {
    storeGameWithFire();
    open();
    const MacroRecord spray = test::LongPauseMacro(120, u"Spray");
    auto p = MouseProfile::Create(u"Long");
    p->buttons[1].assignMacro(spray, 0, 1, -1);
    ASSERT_FALSE(ExportProfile(*p, files / "long.pro"));
    thenAnswer(1);
    kit::AnswerNextFileDialog(file("long.pro"));
    click("ms_1_profile_import_btn");
    ASSERT_EQ(shownWindows.size(), 1u);
    EXPECT_EQ(shownWindows[0].text, message("macro_refused_too_long_text").arg(u"Spray"_qs, u"5"_qs));
    EXPECT_EQ(rows(), QStringList{u"Game"_qs});
    EXPECT_EQ(page->macroStore().size(), 1u);
    settle();
    EXPECT_TRUE(mouse.written().empty());
}

}  // namespace
}  // namespace halvern
