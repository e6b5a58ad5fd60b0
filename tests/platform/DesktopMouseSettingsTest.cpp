// Which program opens the desktop's mouse settings.
#include <gtest/gtest.h>

#include <set>

#include "platform/DesktopMouseSettings.h"

namespace halvern {
namespace {

TEST(DesktopMouseSettings, TheDesktopsOwnProgramComesFirstThenEveryOtherKnownOne) {
    EXPECT_EQ(MouseSettingsCandidates("GNOME").front(), (SettingsCommand{"gnome-control-center", {"mouse"}}));
    EXPECT_EQ(MouseSettingsCandidates("ubuntu:GNOME").front().program, "gnome-control-center");
    EXPECT_EQ(MouseSettingsCandidates("kde").front(), (SettingsCommand{"systemsettings", {"kcm_mouse"}}));
    EXPECT_EQ(MouseSettingsCandidates("XFCE").front().program, "xfce4-mouse-settings");
    EXPECT_EQ(MouseSettingsCandidates("X-Cinnamon").front(), (SettingsCommand{"cinnamon-settings", {"mouse"}}));
    EXPECT_EQ(MouseSettingsCandidates("MATE").front().program, "mate-mouse-properties");
    EXPECT_EQ(MouseSettingsCandidates("LXQt").front().program, "lxqt-config-input");
    // Every list holds every command once, whatever the desktop says it is.
    const auto all = MouseSettingsCandidates("");
    const auto kde = MouseSettingsCandidates("KDE");
    EXPECT_EQ(all.size(), kde.size());
    std::set<std::string> programs;
    for (const auto& c : kde) programs.insert(c.program);
    EXPECT_EQ(programs.size(), kde.size());
}

TEST(DesktopMouseSettings, TheFirstInstalledCandidateIsChosenAndNoneGivesNothing) {
    auto only = [](std::set<std::string> installed) {
        return [installed](const std::string& p) { return installed.count(p) != 0; };
    };
    // A KDE session on a machine that has only the Plasma 5 name, and GNOME's too.
    EXPECT_EQ(FindMouseSettings("KDE", only({"gnome-control-center", "systemsettings5"}))->program, "systemsettings5");
    EXPECT_EQ(FindMouseSettings("Hyprland", only({"xfce4-mouse-settings"}))->program, "xfce4-mouse-settings");
    EXPECT_FALSE(FindMouseSettings("GNOME", only({})));
}

}  // namespace
}  // namespace halvern
