// Where the program finds its own files and keeps the user's.
//
// The run-time libraries and the skin lie in the executable's folder. The data folder
// (settings file, stores) is "Data/" beside the executable; when that folder is not
// writable (an install under /usr) it is $XDG_DATA_HOME/halvern/Data/ instead, and
// HALVERN_DATA_DIR overrides both (tests, portable use).
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace halvern {

// The folder of the running executable, from /proc/self/exe.
std::filesystem::path GetExeFolder();

// The environment the data folder depends on; a seam for tests.
struct DataFolderEnvironment {
    std::filesystem::path exeFolder;
    bool exeFolderWritable = false;
    std::optional<std::string> dataDirOverride;  // HALVERN_DATA_DIR
    std::optional<std::string> xdgDataHome;      // XDG_DATA_HOME
    std::optional<std::string> home;             // HOME

    static DataFolderEnvironment FromProcess();
};

// Works out the data folder and creates it when missing. A failure to create it is not
// reported: the path is still returned and later reads fall back to their defaults.
std::filesystem::path GetDataFolder(const DataFolderEnvironment& env = DataFolderEnvironment::FromProcess());

// The per-model folder of the stores inside the data folder.
inline std::filesystem::path ModelFolder(const std::filesystem::path& dataFolder) { return dataFolder / "ms_1"; }

}  // namespace halvern
