// The built program running on the virtual mouse, and what is started beside it: a second
// copy of the program, and halvernctl reading the profiles the program keeps.
#include <gtest/gtest.h>

#include "RunningHalvern.h"
#include "platform/DataPaths.h"
#include "storage/ProfileStore.h"
#include "support/RunProcess.h"

namespace halvern::test {
namespace {

TEST(BesideTheRunningProgram, ASecondStartSaysItHandedOverInOneLine) {
    RunningHalvern halvern("receiver");
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    // The running copy's runtime folder holds its lock and socket.
    ProcessResult second = RunProcess(HALVERN_PATH, {},
                                      {{"XDG_RUNTIME_DIR", halvern.dataFolder().parent_path().string()},
                                       {"HALVERN_DATA_DIR", halvern.dataFolder().string()},
                                       {"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("halvern: already running; its window was brought to the front\n"), std::string::npos)
        << second.err;
}

TEST(BesideTheRunningProgram, HalvernctlListsAndAppliesTheProgramsProfilesWithoutWritingThem) {
    RunningHalvern halvern("receiver");
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    const std::filesystem::path store = ModelFolder(halvern.dataFolder()) / ProfileStore::kFileName;
    ASSERT_TRUE(std::filesystem::exists(store));
    const auto before = ReadAll(store);
    const std::map<std::string, std::string> env = {{"HALVERN_DATA_DIR", halvern.dataFolder().string()},
                                                    {"HALVERN_EMULATOR", "cable"},
                                                    {"HALVERN_EMULATOR_LOG", ""}};
    ProcessResult listed = RunProcess(HALVERNCTL_PATH, {"profiles"}, env);
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    ASSERT_EQ(listed.out.rfind("* ", 0), 0u) << listed.out;
    const std::string first = listed.out.substr(2, listed.out.find('\n') - 2);
    ProcessResult applied = RunProcess(HALVERNCTL_PATH, {"apply", "--profile", first}, env);
    EXPECT_EQ(applied.exitCode, 0) << applied.err;
    EXPECT_EQ(ReadAll(store), before);
}

}  // namespace
}  // namespace halvern::test
