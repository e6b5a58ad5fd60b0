// The desktop's own mouse settings, started as a program of its own. Which program that
// is depends on the desktop (XDG_CURRENT_DESKTOP); the desktop's own comes first, then
// every other known one, so that a session with an unusual name still finds what is
// installed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvern {

struct SettingsCommand {
    std::string program;
    std::vector<std::string> arguments;
    bool operator==(const SettingsCommand&) const = default;
};

// Every known command, the ones for `currentDesktop` (a colon-separated list, any
// letter case) first.
std::vector<SettingsCommand> MouseSettingsCandidates(std::string_view currentDesktop);

// The first candidate whose program `installed` finds; nullopt when none is.
std::optional<SettingsCommand> FindMouseSettings(std::string_view currentDesktop,
                                                 const std::function<bool(const std::string&)>& installed);

// Starts the desktop's mouse settings detached from this program; false when none is
// installed or it could not be started.
bool OpenDesktopMouseSettings();

}  // namespace halvern
