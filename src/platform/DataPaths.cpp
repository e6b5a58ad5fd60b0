#include "platform/DataPaths.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "storage/FileIo.h"

namespace halvern {

namespace {

bool IsWritableFolder(const std::filesystem::path& dir) { return ::access(dir.c_str(), W_OK | X_OK) == 0; }

}  // namespace

std::optional<std::string> EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

std::filesystem::path GetExeFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec);
    return exe.parent_path();
}

InstallLayout InstallLayout::OfThisBuild() { return {HALVERN_BIN_TO_LIBRARIES, HALVERN_BIN_TO_SKIN}; }

ProgramFolders FindProgramFolders(const std::filesystem::path& exeFolder, const InstallLayout& layout) {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::absolute(exeFolder, ec);
    if (ec) exe = exeFolder;
    exe = exe.lexically_normal();
    if (exe.filename().empty() && exe.has_parent_path()) exe = exe.parent_path();
    if (std::filesystem::is_directory(exe / "res", ec)) return {exe, exe / "res", false};
    // Lexically, not through the file system: a prefix reached through a symbolic link
    // keeps its own name in what the log and the About box show.
    return {(exe / layout.libraries).lexically_normal(), (exe / layout.skin).lexically_normal(), true};
}

DataFolderEnvironment DataFolderEnvironment::FromProcess() {
    std::filesystem::path exe = GetExeFolder();
    // An installed program keeps no data beside itself even where it could, as under a
    // prefix in the user's home.
    const bool besideExe = !FindProgramFolders(exe).installed && IsWritableFolder(exe);
    return {exe, besideExe, EnvironmentValue("HALVERN_DATA_DIR"), EnvironmentValue("XDG_DATA_HOME"),
            EnvironmentValue("HOME")};
}

std::filesystem::path GetDataFolder(const DataFolderEnvironment& env) {
    std::filesystem::path folder;
    if (env.dataDirOverride) {
        folder = *env.dataDirOverride;
    } else if (env.exeFolderWritable) {
        folder = env.exeFolder / "Data";
    } else {
        std::filesystem::path base = env.xdgDataHome ? std::filesystem::path(*env.xdgDataHome)
                                     : env.home      ? std::filesystem::path(*env.home) / ".local/share"
                                                     : std::filesystem::path("/tmp");
        folder = base / "halvern" / "Data";
    }
    EnsureDirectory(folder);
    return folder;
}

}  // namespace halvern
