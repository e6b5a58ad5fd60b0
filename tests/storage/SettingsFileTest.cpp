#include "storage/SettingsFile.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace halvern {
namespace {

using test::ReadText;
using test::WriteText;

TEST(SettingsFile, FirstRunWritesModelIdZero) {
    test::TempDir dir;
    SettingsFile settings(dir.path());
    EXPECT_EQ(settings.readModelId(), -1);
    EXPECT_EQ(settings.loadModelIdForStartup(), 0);
    EXPECT_EQ(ReadText(dir / "CONFIG.ini"), "[SETTING]\r\nModelId=0\r\n");
    EXPECT_EQ(settings.readModelId(), 0);
}

TEST(SettingsFile, ValidValuesAreKeptAndOthersBecomeZero) {
    test::TempDir dir;
    SettingsFile settings(dir.path());
    WriteText(dir / "CONFIG.ini", "[SETTING]\nModelId=2\n");
    EXPECT_EQ(settings.loadModelIdForStartup(), 2);
    EXPECT_EQ(ReadText(dir / "CONFIG.ini"), "[SETTING]\nModelId=2\n");  // untouched
    for (const char* bad : {"7", "-3", "99999999999999"}) {
        WriteText(dir / "CONFIG.ini", std::string("[SETTING]\nModelId=") + bad + "\n");
        EXPECT_EQ(settings.loadModelIdForStartup(), 0) << bad;
        EXPECT_EQ(settings.readModelId(), 0) << bad;
    }
}

TEST(SettingsFile, ReadsLikeAWindowsIniFile) {
    test::TempDir dir;
    SettingsFile settings(dir.path());
    WriteText(dir / "CONFIG.ini", "; comment\r\n[setting]\r\n  modelid = 1  \r\n");
    EXPECT_EQ(settings.readModelId(), 1);
    WriteText(dir / "CONFIG.ini", "[SETTING]\nModelId=2abc\n");
    EXPECT_EQ(settings.readModelId(), 2);
    WriteText(dir / "CONFIG.ini", "[SETTING]\nModelId=abc\n");
    EXPECT_EQ(settings.readModelId(), 0);
    WriteText(dir / "CONFIG.ini", "[OTHER]\nModelId=2\n");
    EXPECT_EQ(settings.readModelId(), -1);
}

TEST(SettingsFile, WritingKeepsEveryOtherSectionAndKey) {
    test::TempDir dir;
    SettingsFile settings(dir.path());
    WriteText(dir / "CONFIG.ini", "[Window]\nX=10\n\n[SETTING]\nTheme=dark\nModelId=1\n\n[Extra]\nY=2\n");
    ASSERT_FALSE(settings.saveModelId(2));
    EXPECT_EQ(ReadText(dir / "CONFIG.ini"),
              "[Window]\r\nX=10\r\n\r\n[SETTING]\r\nTheme=dark\r\nModelId=2\r\n\r\n[Extra]\r\nY=2\r\n");

    WriteText(dir / "CONFIG.ini", "[SETTING]\nTheme=dark\n\n[Extra]\nY=2");
    ASSERT_FALSE(settings.saveModelId(1));
    EXPECT_EQ(ReadText(dir / "CONFIG.ini"), "[SETTING]\r\nTheme=dark\r\nModelId=1\r\n\r\n[Extra]\r\nY=2\r\n");
}

TEST(SettingsFile, AMissingDataFolderFailsQuietly) {
    test::TempDir dir;
    test::WriteAll(dir / "Data", {'x'});  // a file where the folder should be
    SettingsFile settings(dir / "Data");
    EXPECT_EQ(settings.readModelId(), -1);
    EXPECT_TRUE(settings.saveModelId(1));
    EXPECT_EQ(settings.loadModelIdForStartup(), 0);
}

TEST(SettingsFile, TheProfileFolderIsKeptBesideTheModelIdAndReadBackAsWritten) {
    test::TempDir dir;
    SettingsFile settings(dir.path());
    EXPECT_EQ(settings.readProfileFolder(), std::nullopt);
    ASSERT_FALSE(settings.saveModelId(2));
    ASSERT_FALSE(settings.saveProfileFolder("/home/ana/Perfis de jogo/ü=x"));
    EXPECT_EQ(settings.readProfileFolder(), "/home/ana/Perfis de jogo/ü=x");
    EXPECT_EQ(settings.readModelId(), 2);
    ASSERT_FALSE(settings.saveProfileFolder("/tmp"));
    EXPECT_EQ(ReadText(dir / "CONFIG.ini"), "[SETTING]\r\nModelId=2\r\nProfileFolder=/tmp\r\n");

    WriteText(dir / "CONFIG.ini", "[SETTING]\nProfileFolder=   \n");
    EXPECT_EQ(settings.readProfileFolder(), std::nullopt);
}

TEST(SettingsFile, AFolderThatWouldNotReadBackIsNotWritten) {
    test::TempDir dir;
    SettingsFile settings(dir.path());
    ASSERT_FALSE(settings.saveProfileFolder("/good"));
    for (const char* bad : {"/a\nModelId=7", "/a\rb", " /lead", "/trail "}) {
        EXPECT_TRUE(settings.saveProfileFolder(bad)) << bad;
        EXPECT_EQ(settings.readProfileFolder(), "/good") << bad;
    }
    EXPECT_EQ(settings.readModelId(), -1);
}

TEST(SettingsFile, TheChosenLanguageAndThemeAreKeptBesideTheOtherKeys) {
    test::TempDir dir;
    SettingsFile settings(dir.path());
    EXPECT_EQ(settings.readLanguage(), std::nullopt);
    EXPECT_EQ(settings.readTheme(), std::nullopt);
    ASSERT_FALSE(settings.saveModelId(1));
    ASSERT_FALSE(settings.saveLanguage("de"));
    ASSERT_FALSE(settings.saveTheme("light"));
    ASSERT_FALSE(settings.saveLanguage("pt_BR"));
    EXPECT_EQ(settings.readLanguage(), "pt_BR");
    EXPECT_EQ(settings.readTheme(), "light");
    EXPECT_EQ(ReadText(dir / "CONFIG.ini"), "[SETTING]\r\nModelId=1\r\nLanguage=pt_BR\r\nTheme=light\r\n");
}

TEST(SettingsFile, ALanguageOrThemeThatIsNotAPlainNameIsNeitherReadNorWritten) {
    test::TempDir dir;
    SettingsFile settings(dir.path());
    ASSERT_FALSE(settings.saveLanguage("de"));
    for (const char* bad :
         {"", "../../etc/passwd", "de/x", "de x", "de\nTheme=light", "abcdefghijklmnopqrstuvwxyz0123456789"}) {
        EXPECT_TRUE(settings.saveLanguage(bad)) << bad;
        EXPECT_TRUE(settings.saveTheme(bad)) << bad;
        EXPECT_EQ(settings.readLanguage(), "de") << bad;
    }
    EXPECT_EQ(settings.readTheme(), std::nullopt);
    WriteText(dir / "CONFIG.ini", "[SETTING]\nLanguage=../lan\nTheme=  \n");
    EXPECT_EQ(settings.readLanguage(), std::nullopt);
    EXPECT_EQ(settings.readTheme(), std::nullopt);
}

TEST(SettingsFile, BatteryWarningsAreOnUnlessTheFileSaysZero) {
    test::TempDir dir;
    SettingsFile settings(dir.path());
    EXPECT_TRUE(settings.readBatteryWarnings());
    ASSERT_FALSE(settings.saveLanguage("de"));
    ASSERT_FALSE(settings.saveBatteryWarnings(false));
    EXPECT_FALSE(settings.readBatteryWarnings());
    EXPECT_EQ(ReadText(dir / "CONFIG.ini"), "[SETTING]\r\nLanguage=de\r\nBatteryWarnings=0\r\n");
    ASSERT_FALSE(settings.saveBatteryWarnings(true));
    EXPECT_TRUE(settings.readBatteryWarnings());
    for (const char* edited : {"", "off", "no", "00"}) {
        WriteText(dir / "CONFIG.ini", std::string("[SETTING]\nBatteryWarnings=") + edited + "\n");
        EXPECT_TRUE(settings.readBatteryWarnings()) << edited;
    }
}

// The bounds a mutation run left untested: a file that cannot be read whole is never
// rewritten (what lies past the bound would be lost), and a plain name has 32 letters.
TEST(SettingsFile, AFileLargerThanTheBoundIsNotRewrittenAndNamesHoldThirtyTwoLetters) {
    test::TempDir dir;
    SettingsFile settings(dir.path());
    const std::string big = "[SETTING]\r\nModelId=1\r\n" + std::string(1024 * 1024, ';');
    WriteText(dir / "CONFIG.ini", big);
    EXPECT_TRUE(settings.saveModelId(2));
    EXPECT_EQ(ReadText(dir / "CONFIG.ini"), big);

    WriteText(dir / "CONFIG.ini", "[SETTING]\r\n");
    const std::string longest(32, 'x');
    EXPECT_FALSE(settings.saveLanguage(longest));
    EXPECT_EQ(settings.readLanguage(), longest);
    EXPECT_TRUE(settings.saveLanguage(longest + "y"));
    WriteText(dir / "CONFIG.ini", "[SETTING]\r\nLanguage=" + longest + "y\r\n");
    EXPECT_EQ(settings.readLanguage(), std::nullopt);
}

}  // namespace
}  // namespace halvern
