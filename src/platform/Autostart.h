// Start at login: the XDG autostart entry "$XDG_CONFIG_HOME/autostart/<app id>.desktop"
// (XDG_CONFIG_HOME defaulting to ~/.config), which starts the program hidden in the
// tray. The entry is ours alone: turning it off removes the file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace halvern {

inline constexpr const char* kAppId = "io.github.halvern.Halvern";

struct AutostartEnvironment {
    std::optional<std::string> xdgConfigHome;  // XDG_CONFIG_HOME; relative values are ignored
    std::optional<std::string> home;           // HOME
    std::filesystem::path executable;          // what the entry starts

    static AutostartEnvironment FromProcess();
};

class Autostart {
public:
    explicit Autostart(AutostartEnvironment env);

    // Empty when neither XDG_CONFIG_HOME nor HOME gives an absolute folder.
    const std::filesystem::path& entryPath() const { return path_; }

    // Whether the entry is there and not switched off by another tool (Hidden=true or
    // X-GNOME-Autostart-enabled=false).
    bool isEnabled() const;

    // Writes or removes the entry; an error line, or nullopt. Removing an entry that is
    // not there succeeds.
    std::optional<std::string> setEnabled(bool enabled) const;

    // The entry's text: a desktop entry that starts `executable` with --hidden.
    static std::string EntryText(const std::filesystem::path& executable);

private:
    std::filesystem::path path_;
    std::filesystem::path executable_;
};

}  // namespace halvern
