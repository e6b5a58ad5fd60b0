// Where the program finds its own files and keeps the user's.
//
// The run-time libraries and the skin lie in the executable's folder when it holds the
// skin (the build tree, a portable copy); otherwise they lie where an install puts them,
// found from the executable's folder by the relative paths the build was configured
// with, so an install under any prefix or staging folder works where it lies. The data
// folder (settings file, stores) is "Data/" beside a writable executable of the first
// kind; otherwise it is $XDG_DATA_HOME/halvern/Data/, and HALVERN_DATA_DIR overrides
// both (tests, portable use).
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace halvern {

// The folder of the running executable, from /proc/self/exe.
// The variable's value; nullopt when it is unset or empty.
std::optional<std::string> EnvironmentValue(const char* name);

std::filesystem::path GetExeFolder();

// The folders of the program's own files, always absolute and without "..".
struct ProgramFolders {
    std::filesystem::path libraries;  // hiddriver_2.so and Hook.so
    std::filesystem::path skin;       // the layouts, texts and images (res/)
    bool installed = false;           // the installed layout, not files beside the executable
};

// Where an install puts the libraries and the skin, relative to its executables' folder.
struct InstallLayout {
    std::filesystem::path libraries;  // e.g. ../lib/x86_64-linux-gnu/halvern
    std::filesystem::path skin;       // e.g. ../share/halvern/res

    // The layout this build installs.
    static InstallLayout OfThisBuild();
};

// Files beside the executable when a skin folder lies there, else the installed layout.
// Nothing is checked beyond that one folder: a broken install shows as a library or a
// layout that fails to load, with its full path in the error.
ProgramFolders FindProgramFolders(const std::filesystem::path& exeFolder,
                                  const InstallLayout& layout = InstallLayout::OfThisBuild());
inline ProgramFolders FindProgramFolders() { return FindProgramFolders(GetExeFolder()); }

// The environment the data folder depends on; a seam for tests.
struct DataFolderEnvironment {
    std::filesystem::path exeFolder;
    // The executable's folder may keep the data: it holds the skin and can be written.
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
