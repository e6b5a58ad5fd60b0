#include "platform/Autostart.h"

#include <cstdlib>
#include <system_error>

#include "platform/DataPaths.h"
#include "storage/FileIo.h"

namespace halvern {

namespace {

// An Exec argument per the desktop entry format: quoted when it holds anything but
// plain characters. Inside the quotes '"', '`', '$' and '\' take a backslash, and since
// the value is an escaped string first, each of those backslashes is written twice;
// '%' is doubled for the field codes.
std::string ExecArgument(const std::string& arg) {
    const bool plain = !arg.empty() && arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`=%") == std::string::npos;
    if (plain) return arg;
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$') out += "\\\\";
        if (c == '\\') {
            out += "\\\\\\\\";
            continue;
        }
        if (c == '%') out += '%';
        out += c;
    }
    return out + "\"";
}

}  // namespace

AutostartEnvironment AutostartEnvironment::FromProcess() {
    return {EnvironmentValue("XDG_CONFIG_HOME"), EnvironmentValue("HOME"), GetExeFolder() / "halvern"};
}

Autostart::Autostart(AutostartEnvironment env) : executable_(std::move(env.executable)) {
    std::filesystem::path config;
    if (env.xdgConfigHome && std::filesystem::path(*env.xdgConfigHome).is_absolute()) config = *env.xdgConfigHome;
    else if (env.home && std::filesystem::path(*env.home).is_absolute())
        config = std::filesystem::path(*env.home) / ".config";
    if (!config.empty()) path_ = config / "autostart" / (std::string(kAppId) + ".desktop");
}

std::string Autostart::EntryText(const std::filesystem::path& executable) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Halvern\n"
           "Comment=Mouse settings in the tray\n"
           "Exec=" +
           ExecArgument(executable.string()) +
           " --hidden\n"
           "Icon=" +
           std::string(kAppId) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool Autostart::isEnabled() const {
    if (path_.empty()) return false;
    FileContents file = ReadFileBytes(path_, 64 * 1024);
    if (!file.ok()) return false;
    const std::string text(reinterpret_cast<const char*>(file.data.data()), file.data.size());
    for (const char* off : {"\nHidden=true", "\nX-GNOME-Autostart-enabled=false"})
        if (text.find(off) != std::string::npos) return false;
    return true;
}

std::optional<std::string> Autostart::setEnabled(bool enabled) const {
    if (path_.empty()) return "no folder for the autostart entry: neither XDG_CONFIG_HOME nor HOME is set";
    std::error_code ec;
    if (!enabled) {
        std::filesystem::remove(path_, ec);
        if (ec) return path_.string() + ": " + ec.message();
        return std::nullopt;
    }
    std::filesystem::create_directories(path_.parent_path(), ec);
    if (ec) return path_.parent_path().string() + ": " + ec.message();
    if (executable_.string().find_first_of("\r\n") != std::string::npos)
        return executable_.string() + ": a program path with a line break cannot be started from an autostart entry";
    const std::string text = EntryText(executable_);
    return WriteFileAtomically(path_, std::as_bytes(std::span(text.data(), text.size())));
}

}  // namespace halvern
