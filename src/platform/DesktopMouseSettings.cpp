#include "platform/DesktopMouseSettings.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace halvern {

namespace {

struct DesktopCommands {
    const char* desktop;  // as XDG_CURRENT_DESKTOP names it, upper case
    std::vector<SettingsCommand> commands;
};

const std::vector<DesktopCommands>& KnownDesktops() {
    static const std::vector<DesktopCommands> known = {
        {"GNOME", {{"gnome-control-center", {"mouse"}}}},
        {"KDE",
         {{"systemsettings", {"kcm_mouse"}},
          {"systemsettings5", {"kcm_mouse"}},
          {"kcmshell6", {"kcm_mouse"}},
          {"kcmshell5", {"kcm_mouse"}}}},
        {"XFCE", {{"xfce4-mouse-settings", {}}}},
        {"X-CINNAMON", {{"cinnamon-settings", {"mouse"}}}},
        {"MATE", {{"mate-mouse-properties", {}}}},
        {"LXQT", {{"lxqt-config-input", {}}}},
    };
    return known;
}

std::vector<std::string> DesktopNames(std::string_view list) {
    std::vector<std::string> names;
    std::string current;
    for (char c : list) {
        if (c == ':') {
            names.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        }
    }
    names.push_back(current);
    return names;
}

}  // namespace

std::vector<SettingsCommand> MouseSettingsCandidates(std::string_view currentDesktop) {
    std::vector<SettingsCommand> ordered;
    auto addAll = [&](const DesktopCommands& d) {
        for (const SettingsCommand& c : d.commands)
            if (std::find(ordered.begin(), ordered.end(), c) == ordered.end()) ordered.push_back(c);
    };
    for (const std::string& name : DesktopNames(currentDesktop))
        for (const DesktopCommands& d : KnownDesktops())
            if (name == d.desktop) addAll(d);
    for (const DesktopCommands& d : KnownDesktops()) addAll(d);
    return ordered;
}

std::optional<SettingsCommand> FindMouseSettings(std::string_view currentDesktop,
                                                 const std::function<bool(const std::string&)>& installed) {
    for (SettingsCommand& c : MouseSettingsCandidates(currentDesktop))
        if (installed(c.program)) return std::move(c);
    return std::nullopt;
}

bool OpenDesktopMouseSettings() {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    std::optional<SettingsCommand> command = FindMouseSettings(desktop ? desktop : "", [](const std::string& program) {
        return !QStandardPaths::findExecutable(QString::fromStdString(program)).isEmpty();
    });
    if (!command) return false;
    QStringList arguments;
    for (const std::string& a : command->arguments) arguments << QString::fromStdString(a);
    return QProcess::startDetached(QString::fromStdString(command->program), arguments);
}

}  // namespace halvern
