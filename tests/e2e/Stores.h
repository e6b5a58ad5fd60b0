// What the running program keeps in its stores, read the way a later start reads them.
#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "records/MacroRecord.h"
#include "storage/ProfileStore.h"
#include "support/TempDir.h"

namespace halvern::test {

// The profile the running program last saved as current. Read from a copy: loading a
// store may repair and save it, and the program's own store is not the test's to write.
inline std::optional<MouseProfile> StoredCurrentProfile(const std::filesystem::path& dataFolder) {
    TempDir copy;
    std::error_code error;
    std::filesystem::copy_file(dataFolder / "ms_1" / ProfileStore::kFileName, copy / ProfileStore::kFileName, error);
    if (error) return std::nullopt;
    ProfileStore store(copy.path());
    if (!store.load(u"x").problems.empty()) return std::nullopt;
    const MouseProfile* current = store.currentProfile();
    return current ? std::optional<MouseProfile>(*current) : std::nullopt;
}

// The macro store's records as they lie in the file.
inline std::vector<MacroRecord> StoredMacros(const std::filesystem::path& dataFolder) {
    std::ifstream in(dataFolder / "ms_1" / "macro.data", std::ios::binary);
    std::vector<MacroRecord> macros;
    MacroRecord m;
    while (in.read(reinterpret_cast<char*>(&m), sizeof m)) macros.push_back(m);
    return macros;
}

}  // namespace halvern::test
