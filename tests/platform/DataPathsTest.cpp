#include "platform/DataPaths.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace halvern {
namespace {

TEST(DataPaths, ExeFolderIsTheFolderOfThisBinary) {
    auto folder = GetExeFolder();
    EXPECT_TRUE(std::filesystem::exists(folder / "platform_tests"));
}

TEST(DataPaths, DataFolderBesideAWritableExecutableIsCreated) {
    test::TempDir dir;
    auto data = GetDataFolder({dir.path(), true, std::nullopt, std::nullopt, std::nullopt});
    EXPECT_EQ(data, dir.path() / "Data");
    EXPECT_TRUE(std::filesystem::is_directory(data));
}

TEST(DataPaths, OverrideWinsAndIsCreated) {
    test::TempDir dir;
    auto data = GetDataFolder({dir.path(), true, (dir.path() / "over/there").string(), std::nullopt, std::nullopt});
    EXPECT_EQ(data, dir.path() / "over/there");
    EXPECT_TRUE(std::filesystem::is_directory(data));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Data"));
}

TEST(DataPaths, ReadOnlyInstallUsesXdgDataHome) {
    test::TempDir dir;
    auto exe = dir.path() / "usr-bin";
    std::filesystem::create_directories(exe);
    auto data = GetDataFolder({exe, false, std::nullopt, (dir.path() / "xdg").string(), std::nullopt});
    EXPECT_EQ(data, dir.path() / "xdg/halvern/Data");
    EXPECT_TRUE(std::filesystem::is_directory(data));
    auto home = GetDataFolder({exe, false, std::nullopt, std::nullopt, (dir.path() / "home").string()});
    EXPECT_EQ(home, dir.path() / "home/.local/share/halvern/Data");
    EXPECT_TRUE(std::filesystem::is_empty(exe));
}

TEST(DataPaths, APlainFileNamedDataIsLeftAloneAndThePathStillReturned) {
    test::TempDir dir;
    test::WriteAll(dir.path() / "Data", {'x'});
    auto data = GetDataFolder({dir.path(), true, std::nullopt, std::nullopt, std::nullopt});
    EXPECT_EQ(data, dir.path() / "Data");
    EXPECT_TRUE(std::filesystem::is_regular_file(data));
}

}  // namespace
}  // namespace halvern
