// halvernctl and the profiles halvern keeps: listed, exported and applied, never written.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/DataPaths.h"
#include "storage/ProfileStore.h"
#include "storage/RecordFiles.h"
#include "support/Macros.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace halvern::test {
namespace {

std::string ReadText(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class StoredProfiles : public ::testing::Test {
protected:
    void SetUp() override {
        ProfileStore store(ModelFolder(dir.path()));
        store.append(MouseProfile::Create(u"Default"));
        auto fps = MouseProfile::Create(u"FPS");
        fps->dpiValue[0] = 8;
        fps->pollingRate = 0;
        fps->dpiColor[0] = {0xFF, 0x80, 0x00, 0};
        store.append(std::move(fps));
        store.append(MouseProfile::Create(u"Été"));
        store.setSelectedProfile(1);
        ASSERT_FALSE(store.save());
        storeBytes = ReadAll(store.filePath());
        storeTime = std::filesystem::last_write_time(store.filePath());
    }
    ProcessResult ctl(const std::vector<std::string>& args, std::map<std::string, std::string> env = {}) {
        env["HALVERN_DATA_DIR"] = dir.path().string();
        return RunProcess(HALVERNCTL_PATH, args, env);
    }
    // The program's store is the same file, untouched, whatever the command did.
    void expectStoreUntouched() {
        const std::filesystem::path file = ModelFolder(dir.path()) / ProfileStore::kFileName;
        EXPECT_EQ(ReadAll(file), storeBytes);
        EXPECT_EQ(std::filesystem::last_write_time(file), storeTime);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(ModelFolder(dir.path())), {}), 1)
            << "something was written beside the store";
    }
    TempDir dir;
    std::vector<unsigned char> storeBytes;
    std::filesystem::file_time_type storeTime;
};

TEST_F(StoredProfiles, ProfilesListsTheNamesWithTheSelectedOneMarked) {
    ProcessResult r = ctl({"profiles"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "  Default\n* FPS\n  Été\n");
    EXPECT_EQ(ctl({"profiles", "extra"}).exitCode, 2);
    expectStoreUntouched();
}

TEST_F(StoredProfiles, ExportWritesTheStoredRecordFoundByNameWithoutRegardToCase) {
    TempDir out;
    ProcessResult r = ctl({"profile", "export", "fps", (out / "fps.pro").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ProfileStore store(ModelFolder(dir.path()));
    store.read(u"");
    EXPECT_EQ(ReadAll(out / "fps.pro"), BytesOf(store.at(1)));
    ASSERT_EQ(ctl({"profile", "export", "Été", (out / "e.pro").string()}).exitCode, 0);
    EXPECT_EQ(ReadAll(out / "e.pro"), BytesOf(store.at(2)));

    ProcessResult missing = ctl({"profile", "export", "Nope", (out / "n.pro").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "halvernctl: no stored profile is named 'Nope'; 'halvernctl profiles' lists them\n");
    EXPECT_FALSE(std::filesystem::exists(out / "n.pro"));
    expectStoreUntouched();
}

TEST_F(StoredProfiles, ApplyProfileSendsTheStoredBytesAsReportsPrintsThem) {
    TempDir out;
    ASSERT_EQ(ctl({"profile", "export", "FPS", (out / "fps.pro").string()}).exitCode, 0);
    ProcessResult applied = ctl({"apply", "--profile", "FPS"},
                                {{"HALVERN_EMULATOR", "cable"}, {"HALVERN_EMULATOR_LOG", (out / "log").string()}});
    ASSERT_EQ(applied.exitCode, 0) << applied.err;
    ProcessResult reports = ctl({"reports", (out / "fps.pro").string(), "--transport", "cable"});
    ASSERT_EQ(reports.exitCode, 0) << reports.err;
    EXPECT_EQ(ReadText(out / "log"), reports.out);

    ProcessResult unknown = ctl({"apply", "--profile", "Nope"}, {{"HALVERN_EMULATOR", "cable"}});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(ctl({"apply", "--profile"}, {{"HALVERN_EMULATOR", "cable"}}).exitCode, 2);
    EXPECT_EQ(ctl({"apply", "x.pro", "--profile", "FPS"}, {{"HALVERN_EMULATOR", "cable"}}).exitCode, 2);
    expectStoreUntouched();
}

TEST(StoredProfilesAbsent, AMissingStoreIsReportedAndNotCreated) {
    TempDir dir;
    ProcessResult r = RunProcess(HALVERNCTL_PATH, {"profiles"}, {{"HALVERN_DATA_DIR", dir.path().string()}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("pro.data does not exist"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(ModelFolder(dir.path()) / ProfileStore::kFileName));
}

TEST(StoredProfilesAbsent, ADamagedStoreIsNeitherRepairedNorCopied) {
    TempDir dir;
    std::filesystem::create_directories(ModelFolder(dir.path()));
    const std::filesystem::path file = ModelFolder(dir.path()) / ProfileStore::kFileName;
    WriteAll(file, std::vector<unsigned char>(100, 1));
    ProcessResult r = RunProcess(HALVERNCTL_PATH, {"profiles"}, {{"HALVERN_DATA_DIR", dir.path().string()}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("is damaged"), std::string::npos) << r.err;
    EXPECT_EQ(ReadAll(file), std::vector<unsigned char>(100, 1));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(ModelFolder(dir.path())), {}), 1);
}

// A store from before the bound may hold a macro too long for its button: halvern
// shows it as too long; halvernctl refuses to apply it rather than send it cut.
TEST(StoredProfilesFromBefore, AStoredProfileWithAMacroTooLongForItsButtonIsNotApplied) {
    TempDir dir;
    ProfileStore store(ModelFolder(dir.path()));
    auto spray = MouseProfile::Create(u"Spray");
    MacroRecord tooLong = ShortStepMacro(120);
    for (MacroAction& a : tooLong.actions) a.delay = 200;
    spray->buttons[1].assignMacro(tooLong, 0, 1, 0);
    spray->pollingRate = 11;
    store.append(std::move(spray));
    ASSERT_FALSE(store.save());
    ProcessResult r = RunProcess(HALVERNCTL_PATH, {"apply", "--profile", "Spray"},
                                 {{"HALVERN_DATA_DIR", dir.path().string()}, {"HALVERN_EMULATOR", "receiver"}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "halvernctl: the stored profile 'Spray': repaired as halvern repairs what it reads: polling\n"
              "halvernctl: the stored profile 'Spray': button.2 plays the macro 'Burst', which does not fit the 4 "
              "blocks a button has on the mouse: it takes 5, and they hold its first 96 of 120 steps (a pause "
              "above 127 ms takes twice the room of a shorter one); halvern shows it as too long and cuts it\n");
}

}  // namespace
}  // namespace halvern::test
