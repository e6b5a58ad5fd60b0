#include "platform/DataPaths.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace halvern {
namespace {

TEST(DataPaths, ExeFolderIsTheFolderOfThisBinary) {
    auto folder = GetExeFolder();
    EXPECT_TRUE(std::filesystem::exists(folder / "platform_tests"));
}

const InstallLayout kLayout{"../lib/x86_64-linux-gnu/halvern", "../share/halvern/res"};

TEST(ProgramFolders, ASkinBesideTheExecutableMeansEverythingIsBesideIt) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "bin/res");
    const ProgramFolders found = FindProgramFolders(dir.path() / "bin", kLayout);
    EXPECT_FALSE(found.installed);
    EXPECT_EQ(found.libraries, dir.path() / "bin");
    EXPECT_EQ(found.skin, dir.path() / "bin/res");
}

TEST(ProgramFolders, WithoutOneTheInstalledLayoutIsFoundFromTheExecutablesFolder) {
    test::TempDir dir;
    const auto prefix = dir.path() / "staging/usr";
    std::filesystem::create_directories(prefix / "bin");
    const ProgramFolders found = FindProgramFolders(prefix / "bin", kLayout);
    EXPECT_TRUE(found.installed);
    EXPECT_EQ(found.libraries, prefix / "lib/x86_64-linux-gnu/halvern");
    EXPECT_EQ(found.skin, prefix / "share/halvern/res");
}

TEST(ProgramFolders, PathsAreAbsoluteAndFreeOfDotsWhateverTheExecutableFolderLooksLike) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "prefix/bin");
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const ProgramFolders relative = FindProgramFolders("prefix/./bin/", kLayout);
    std::filesystem::current_path(cwd);
    EXPECT_EQ(relative.libraries, dir.path() / "prefix/lib/x86_64-linux-gnu/halvern");
    EXPECT_EQ(relative.skin, dir.path() / "prefix/share/halvern/res");

    std::filesystem::create_directories(dir.path() / "portable/res");
    const ProgramFolders beside = FindProgramFolders(dir.path() / "portable/../portable/", kLayout);
    EXPECT_EQ(beside.libraries, dir.path() / "portable");
    EXPECT_EQ(beside.skin, dir.path() / "portable/res");
}

TEST(ProgramFolders, AFileNamedResIsNoSkinFolder) {
    test::TempDir dir;
    test::WriteAll(dir.path() / "res", {'x'});
    EXPECT_TRUE(FindProgramFolders(dir.path(), kLayout).installed);
}

TEST(ProgramFolders, ThisBuildInstallsBelowTheSamePrefixAsItsExecutables) {
    const InstallLayout layout = InstallLayout::OfThisBuild();
    for (const std::filesystem::path& p : {layout.libraries, layout.skin}) {
        EXPECT_TRUE(p.is_relative()) << p;
        EXPECT_EQ(*p.begin(), "..") << p;
    }
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
