// What a second start passes on: the token of its own window system first, and for
// X11 the time a startup id carries, read from text a launcher wrote.
#include "platform/WindowActivation.h"

#include <gtest/gtest.h>

namespace halvern {
namespace {

TEST(WindowActivation, TheTokenOfTheOwnWindowSystemComesFirst) {
    const LaunchTokens both{"wayland-token", "x11-id_TIME5"};
    EXPECT_EQ(both.forSystem(WindowSystem::Wayland), "wayland-token");
    EXPECT_EQ(both.forSystem(WindowSystem::X11), "x11-id_TIME5");
    const LaunchTokens waylandOnly{"wayland-token", ""};
    const LaunchTokens x11Only{"", "x11-id"};
    EXPECT_EQ(waylandOnly.forSystem(WindowSystem::X11), "wayland-token");
    EXPECT_EQ(x11Only.forSystem(WindowSystem::Wayland), "x11-id");
    EXPECT_EQ(LaunchTokens().forSystem(WindowSystem::Other), "");
    EXPECT_EQ(WindowSystemNamed(u"wayland-egl"_qs), WindowSystem::Wayland);
    EXPECT_EQ(WindowSystemNamed(u"xcb"_qs), WindowSystem::X11);
    EXPECT_EQ(WindowSystemNamed(u"offscreen"_qs), WindowSystem::Other);
}

TEST(WindowActivation, AStartupIdsTimeIsItsLastTimeSuffixOrNothing) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"xfce4-panel-1234-host-halvern_TIME91830", 91830},
        {"a_TIME1_TIME2", 2},
        {"_TIME4294967295", 4294967295u},
        {"_TIME4294967296", 0},  // past 32 bits
        {"_TIME", 0},
        {"_TIME12x", 0},
        {"_TIME-3", 0},
        {"no-time-here", 0},
        {"", 0},
    };
    for (const auto& [id, time] : cases) EXPECT_EQ(StartupIdTime(id), time) << id;
}

}  // namespace
}  // namespace halvern
