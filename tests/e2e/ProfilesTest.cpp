// The profile section of the built program, used as a user would, against the virtual
// mouse: choosing a profile sends all of it, the list's actions and their questions,
// profile files written and read back, and what survives a restart without any apply.
#include <gtest/gtest.h>

#include <set>

#include "RunningHalvern.h"
#include "protocol/CommandReports.h"
#include "storage/MacroStore.h"
#include "storage/ProfileStore.h"

namespace halvern::test {
namespace {

namespace fs = std::filesystem;

const std::string kNameDialog = "ok MS/MS_1/profilename.xml";
const std::string kMessageBox = "ok msg.xml";

// The report ids of the buffers logged after the first `seen`.
std::set<int> IdsSince(const RunningHalvern& halvern, std::size_t seen) {
    std::set<int> ids;
    for (const std::string& line : halvern.receivedSince(seen)) ids.insert(ByteAt(line, 0));
    return ids;
}

// The store as a fresh start would read it, from a copy (loading may repair and save).
std::vector<std::u16string> StoredNames(const fs::path& dataFolder, int* selected = nullptr) {
    TempDir copy;
    std::error_code error;
    fs::copy_file(dataFolder / "ms_1" / ProfileStore::kFileName, copy / ProfileStore::kFileName, error);
    if (error) return {};
    ProfileStore store(copy.path());
    store.load(u"x");
    std::vector<std::u16string> names;
    for (const auto& p : store.profiles()) names.push_back(p->nameText());
    if (selected) *selected = store.selectedProfile();
    return names;
}

// Adds a profile through the name dialog.
void AddProfile(RunningHalvern& halvern, const std::string& name) {
    ASSERT_EQ(halvern.ask("click ms_1_profile_add_btn"), "ok");
    ASSERT_EQ(halvern.ask("modal"), kNameDialog);
    ASSERT_EQ(halvern.ask("type edit_name " + name), "ok");
    ASSERT_EQ(halvern.ask("click btn_ok"), "ok");
    ASSERT_EQ(halvern.ask("modal"), "ok none");
}

TEST(ProfilesEndToEnd, ChoosingAnotherRowMakesItCurrentAndSendsTheWholeProfile) {
    RunningHalvern halvern("receiver");
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    ASSERT_TRUE(halvern.apply());
    AddProfile(halvern, "Second");
    ASSERT_TRUE(halvern.waitForAppliesAfter(1));
    const std::size_t seen = halvern.received().size();
    const int applied = halvern.applies().first;
    ASSERT_EQ(halvern.ask("pick ms_1_list_profile 0"), "ok");
    ASSERT_TRUE(halvern.waitForAppliesAfter(applied));
    EXPECT_EQ(halvern.field("ms_1_list_profile", "value"), "0");
    const std::set<int> ids = IdsSince(halvern, seen);
    for (int id : {ReportId::Preamble, ReportId::Sensor, ReportId::LightPower, ReportId::Buttons})
        EXPECT_TRUE(ids.count(id)) << "report " << id << " missing from a profile switch";
}

TEST(ProfilesEndToEnd, DeleteSelectsTheNeighbourAndRefusesTheLastProfile) {
    RunningHalvern halvern("receiver");
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    const std::string first = halvern.ask("rows ms_1_list_profile").substr(5);  // after "ok 1\t"
    AddProfile(halvern, "B");
    AddProfile(halvern, "C");
    {
        SCOPED_TRACE("with the last row selected, the row before it follows");
        ASSERT_EQ(halvern.ask("click ms_1_profile_delete_btn"), "ok");
        ASSERT_EQ(halvern.ask("modal"), kMessageBox);
        EXPECT_EQ(halvern.field("warning", "text"), "Delete this profile?");
        ASSERT_EQ(halvern.ask("close-modal 1"), "ok");
        EXPECT_EQ(halvern.ask("rows ms_1_list_profile"), "ok 2\t" + first + "\tB");
        EXPECT_EQ(halvern.field("ms_1_list_profile", "value"), "1");
    }
    {
        SCOPED_TRACE("with the first row selected, the new first row follows");
        ASSERT_EQ(halvern.ask("pick ms_1_list_profile 0"), "ok");
        ASSERT_EQ(halvern.ask("click ms_1_profile_delete_btn"), "ok");
        ASSERT_EQ(halvern.ask("close-modal 1"), "ok");
        EXPECT_EQ(halvern.ask("rows ms_1_list_profile"), "ok 1\tB");
        EXPECT_EQ(halvern.field("ms_1_list_profile", "value"), "0");
    }
    {
        SCOPED_TRACE("the last profile stays, and the message says why");
        ASSERT_EQ(halvern.ask("click ms_1_profile_delete_btn"), "ok");
        ASSERT_EQ(halvern.ask("modal"), kMessageBox);
        EXPECT_EQ(halvern.field("warning", "text"), "The last profile cannot be deleted.");
        ASSERT_EQ(halvern.ask("close-modal 1"), "ok");
        EXPECT_EQ(halvern.ask("rows ms_1_list_profile"), "ok 1\tB");
    }
}

TEST(ProfilesEndToEnd, ExportThenImportGivesASuffixedCopyWithItsOwnMacros) {
    TempDir files;
    RunningHalvern halvern("receiver");
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    ASSERT_TRUE(halvern.apply());
    // The page owns its stores while it runs, so the profile with a macro button comes
    // in as a file: "Game", whose second button plays "Fire".
    {
        MacroRecord fire;
        fire.setName(u"Fire");
        fire.actionCount = 2;
        fire.actions[0] = {0x04, 1, 10};
        fire.actions[1] = {0x04, 2, 20};
        auto game = MouseProfile::Create(u"Game");
        game->buttons[1].assignMacro(fire, 1, 2, 0);
        const auto bytes = game->bytes();
        WriteAll(files / "game.pro",
                 std::vector<unsigned char>(reinterpret_cast<const unsigned char*>(bytes.data()),
                                            reinterpret_cast<const unsigned char*>(bytes.data()) + bytes.size()));
    }
    ASSERT_EQ(halvern.ask("answer-file " + (files / "game.pro").string()), "ok");
    ASSERT_EQ(halvern.ask("click ms_1_profile_import_btn"), "ok");
    ASSERT_EQ(halvern.ask("modal"), "ok none");
    EXPECT_EQ(halvern.field("ms_1_btn_key_2", "text"), "Macro: Fire");

    // Exported under a name without extension: ".pro" is added.
    ASSERT_EQ(halvern.ask("answer-file " + (files / "again").string()), "ok");
    ASSERT_EQ(halvern.ask("click ms_1_profile_export_btn"), "ok");
    ASSERT_EQ(halvern.ask("modal"), "ok none");
    ASSERT_TRUE(fs::exists(files / "again.pro"));

    const std::size_t seen = halvern.received().size();
    ASSERT_EQ(halvern.ask("answer-file " + (files / "again.pro").string()), "ok");
    ASSERT_EQ(halvern.ask("click ms_1_profile_import_btn"), "ok");
    ASSERT_EQ(halvern.ask("modal"), "ok none");
    const std::string rows = halvern.ask("rows ms_1_list_profile");
    EXPECT_NE(rows.find("\tGame\tGame_1"), std::string::npos) << rows;
    EXPECT_EQ(halvern.field("ms_1_btn_key_2", "text"), "Macro: Fire_1");
    ASSERT_TRUE(WaitFor([&] { return IdsSince(halvern, seen).count(ReportId::Preamble) > 0; }));

    // Both stores on disk say the same, and the exported file is the stored record.
    int selected = -1;
    const std::vector<std::u16string> names = StoredNames(halvern.dataFolder(), &selected);
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names[names.size() - 2], u"Game");
    EXPECT_EQ(names.back(), u"Game_1");
    EXPECT_EQ(selected, static_cast<int>(names.size()) - 1);
    const auto exported = ReadAll(files / "again.pro");
    const auto stored = ReadAll(halvern.dataFolder() / "ms_1" / ProfileStore::kFileName);
    const std::size_t gameAt = ProfileStore::kHeaderSize + (names.size() - 2) * MouseProfile::kSize;
    ASSERT_EQ(exported.size(), MouseProfile::kSize);
    ASSERT_GE(stored.size(), gameAt + MouseProfile::kSize);
    EXPECT_TRUE(std::equal(exported.begin(), exported.end(), stored.begin() + static_cast<std::ptrdiff_t>(gameAt)));
    TempDir macroCopy;
    fs::copy_file(halvern.dataFolder() / "ms_1" / MacroStore::kFileName, macroCopy / MacroStore::kFileName);
    MacroStore macros(macroCopy.path());
    macros.load();
    ASSERT_EQ(macros.size(), 2u);
    EXPECT_EQ(macros.at(0).nameText(), u"Fire");
    EXPECT_EQ(macros.at(1).nameText(), u"Fire_1");
}

TEST(ProfilesEndToEnd, RenameAndAddWithoutAMouseSurviveARestart) {
    TempDir keep;
    const fs::path data = keep / "data";
    {
        RunningHalvern halvern("receiver", data);
        ASSERT_TRUE(halvern.ready()) << halvern.err();
        ASSERT_EQ(halvern.ask("mouse unplug receiver"), "ok");
        ASSERT_TRUE(halvern.fieldBecomes("ms_1_wireless", "visible", "0"));
        const int applied = halvern.applies().first;

        ASSERT_EQ(halvern.ask("click ms_1_profile_rename_btn"), "ok");
        ASSERT_EQ(halvern.ask("modal"), kNameDialog);
        ASSERT_EQ(halvern.ask("type edit_name Renamed"), "ok");
        ASSERT_EQ(halvern.ask("key edit_name Return"), "ok");
        ASSERT_EQ(halvern.ask("modal"), "ok none");
        AddProfile(halvern, "Added");
        EXPECT_EQ(halvern.ask("rows ms_1_list_profile"), "ok 2\tRenamed\tAdded");
        EXPECT_EQ(halvern.applies().first, applied) << "no apply could run";
    }
    RunningHalvern again("receiver", data);
    ASSERT_TRUE(again.ready()) << again.err();
    EXPECT_EQ(again.ask("rows ms_1_list_profile"), "ok 2\tRenamed\tAdded");
    EXPECT_EQ(again.field("ms_1_list_profile", "value"), "1");
}

TEST(ProfilesEndToEnd, FilesThatAreNoProfileAreRefusedWithAMessageAndChangeNothing) {
    TempDir files;
    WriteAll(files / "short.pro", std::vector<unsigned char>(MouseProfile::kSize - 1, 0x41));
    fs::create_directory(files / "folder.pro");
    RunningHalvern halvern("receiver");
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    ASSERT_TRUE(halvern.apply());
    const std::string rows = halvern.ask("rows ms_1_list_profile");
    const std::size_t seen = halvern.received().size();
    // The program's own memory at address 0 cannot be read, whoever runs it.
    for (const fs::path& path : {files / "short.pro", files / "folder.pro", fs::path("/proc/self/mem")}) {
        SCOPED_TRACE(path.string());
        ASSERT_EQ(halvern.ask("answer-file " + path.string()), "ok");
        ASSERT_EQ(halvern.ask("click ms_1_profile_import_btn"), "ok");
        ASSERT_EQ(halvern.ask("modal"), kMessageBox);
        EXPECT_EQ(halvern.field("warning", "text"),
                  "This is not a profile file, or it cannot be read. No profile was added.");
        ASSERT_EQ(halvern.ask("close-modal 1"), "ok");
        EXPECT_EQ(halvern.ask("rows ms_1_list_profile"), rows);
    }
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(halvern.received().size(), seen);
    EXPECT_FALSE(fs::exists(halvern.dataFolder() / "ms_1" / MacroStore::kFileName) &&
                 fs::file_size(halvern.dataFolder() / "ms_1" / MacroStore::kFileName) > 0);
}

}  // namespace
}  // namespace halvern::test
