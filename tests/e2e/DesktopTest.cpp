// The program as a desktop user meets it: the title bar's menu (start at login, battery
// warnings, the languages, About), the language of the locale or of the user's choice,
// and the light and dark looks, each kept for the next start.
#include <gtest/gtest.h>

#include <fstream>

#include "RunningHalvern.h"
#include "storage/SettingsFile.h"

namespace halvern::test {
namespace {

std::string Text(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// "ok main_autostart=0 main_languages main_language:en=1 ..." -> whether `item` is there.
bool Lists(const std::string& menu, const std::string& item) {
    return (menu + " ").find(" " + item + " ") != std::string::npos;
}

TEST(Desktop, StartAtLoginWritesAnEntryThatStartsThisProgramHiddenAndRemovesIt) {
    TempDir config;
    RunningHalvern halvern("receiver", {}, {{"XDG_CONFIG_HOME", config.path().string()}});
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    const auto entry = config.path() / "autostart/io.github.halvern.Halvern.desktop";
    EXPECT_TRUE(Lists(halvern.ask("main-menu"), "main_autostart=0"));
    // The answer comes before the item acts; the file follows.
    ASSERT_EQ(halvern.ask("main-menu-item main_autostart"), "ok");
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(entry); }));
    EXPECT_NE(Text(entry).find("\nExec=" + std::filesystem::path(HALVERN_PATH).string() + " --hidden\n"),
              std::string::npos)
        << Text(entry);
    EXPECT_TRUE(Lists(halvern.ask("main-menu"), "main_autostart=1"));
    ASSERT_EQ(halvern.ask("main-menu-item main_autostart"), "ok");
    EXPECT_TRUE(WaitFor([&] { return !std::filesystem::exists(entry); }));
    EXPECT_TRUE(Lists(halvern.ask("main-menu"), "main_autostart=0"));
}

TEST(Desktop, BatteryWarningsAreOnUntilTheMenuTurnsThemOffForGood) {
    TempDir data;
    {
        RunningHalvern halvern("receiver", data.path());
        ASSERT_TRUE(halvern.ready()) << halvern.err();
        EXPECT_TRUE(Lists(halvern.ask("main-menu"), "main_battery_warnings=1"));
        ASSERT_EQ(halvern.ask("main-menu-item main_battery_warnings"), "ok");
        EXPECT_TRUE(Lists(halvern.ask("main-menu"), "main_battery_warnings=0"));
    }
    EXPECT_FALSE(SettingsFile(data.path()).readBatteryWarnings());
    RunningHalvern again("receiver", data.path());
    ASSERT_TRUE(again.ready()) << again.err();
    EXPECT_TRUE(Lists(again.ask("main-menu"), "main_battery_warnings=0"));
    ASSERT_EQ(again.ask("main-menu-item main_battery_warnings"), "ok");
    EXPECT_TRUE(Lists(again.ask("main-menu"), "main_battery_warnings=1"));
}

TEST(Desktop, AnEntryThatCannotBeWrittenIsToldInAMessageBox) {
    TempDir dir;
    std::ofstream(dir.path() / "config") << "a file where the folder should be";
    RunningHalvern halvern("receiver", {}, {{"XDG_CONFIG_HOME", (dir.path() / "config").string()}});
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    halvern.ask("main-menu");
    ASSERT_EQ(halvern.ask("main-menu-item main_autostart"), "ok");
    EXPECT_EQ(halvern.ask("modal"), "ok msg.xml");
    EXPECT_NE(halvern.field("warning", "text").find("login entry"), std::string::npos);
    EXPECT_EQ(halvern.ask("close-modal 1"), "ok");
    EXPECT_TRUE(Lists(halvern.ask("main-menu"), "main_autostart=0"));
}

TEST(Desktop, AGermanLocaleGetsGermanTextsUntilAnotherLanguageIsChosen) {
    TempDir data;
    const std::map<std::string, std::string> german = {{"LANG", "de_DE.UTF-8"}};
    {
        RunningHalvern halvern("receiver", data.path(), german);
        ASSERT_TRUE(halvern.ready()) << halvern.err();
        EXPECT_EQ(halvern.field("ms_1_apply_btn", "text"), "Übernehmen");
        EXPECT_TRUE(Lists(halvern.ask("main-menu"), "main_language:de=1"));
        // Chosen while the window is open: the texts change at once.
        ASSERT_EQ(halvern.ask("main-menu-item main_language en"), "ok");
        EXPECT_EQ(halvern.field("ms_1_apply_btn", "text"), "Apply");
        EXPECT_EQ(halvern.ask("state").substr(0, 6), "state ");
        EXPECT_NE(halvern.ask("state").find("title=Halvern Gaming Mouse"), std::string::npos);
    }
    EXPECT_EQ(SettingsFile(data.path()).readLanguage(), "en");
    RunningHalvern again("receiver", data.path(), german);
    ASSERT_TRUE(again.ready()) << again.err();
    EXPECT_EQ(again.field("ms_1_apply_btn", "text"), "Apply");
}

TEST(Desktop, TheLookFollowsTheDesktopUntilTheSkinButtonPicksOneForGood) {
    TempDir data;
    {
        RunningHalvern halvern("receiver", data.path());
        ASSERT_TRUE(halvern.ready()) << halvern.err();
        EXPECT_EQ(halvern.ask("look"), "ok language=en theme=dark follow=1");
        EXPECT_EQ(halvern.ask("desktop-prefers light"), "ok");
        EXPECT_EQ(halvern.ask("look"), "ok language=en theme=light follow=1");
        ASSERT_EQ(halvern.ask("click skin_btn"), "ok");
        EXPECT_EQ(halvern.ask("look"), "ok language=en theme=dark follow=0");
        EXPECT_EQ(halvern.ask("desktop-prefers light"), "ok");
        EXPECT_EQ(halvern.ask("look"), "ok language=en theme=dark follow=0");
        ASSERT_EQ(halvern.ask("click skin_btn"), "ok");
    }
    RunningHalvern again("receiver", data.path());
    ASSERT_TRUE(again.ready()) << again.err();
    EXPECT_EQ(again.ask("look"), "ok language=en theme=light follow=0");
}

TEST(Desktop, AboutTellsVersionDataFolderAndDeviceAccess) {
    RunningHalvern halvern("receiver");
    ASSERT_TRUE(halvern.ready()) << halvern.err();
    halvern.ask("main-menu");
    ASSERT_EQ(halvern.ask("main-menu-item main_about"), "ok");
    EXPECT_EQ(halvern.ask("modal"), "ok about.xml");
    const std::string about = halvern.field("about_text", "text");
    EXPECT_NE(about.find("Version "), std::string::npos) << about;
    EXPECT_NE(about.find(halvern.dataFolder().string()), std::string::npos) << about;
    EXPECT_NE(about.find("Device access rule: "), std::string::npos) << about;
    EXPECT_NE(about.find("\\nLicence: "), std::string::npos) << about;
    EXPECT_EQ(halvern.ask("close-modal 1"), "ok");
    EXPECT_EQ(halvern.ask("modal"), "ok none");
}

}  // namespace
}  // namespace halvern::test
