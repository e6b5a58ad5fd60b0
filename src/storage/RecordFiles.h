// Single-record files: ".pro" (one MouseProfile, 43936 bytes) and ".macro" (one
// MacroRecord, 696 bytes), raw, with no header. The file dialogs belong to the pages;
// these functions take the chosen path.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "records/MouseProfile.h"
#include "records/MacroRecord.h"

namespace halvern {

class MacroStore;
class ProfileStore;

template <typename Record>
struct RecordRead {
    std::unique_ptr<Record> record;  // set on success
    std::string error;               // one line naming the file and the cause
};

// Reads a record file as it stands, refusing a file of any other length than the
// record's. The record is not repaired; callers that keep it call RepairRecord().
RecordRead<MouseProfile> ReadProfileFile(const std::filesystem::path& path);
RecordRead<MacroRecord> ReadMacroFile(const std::filesystem::path& path);

// Writes the record's bytes; an existing file is replaced only once the new one is
// complete. Returns an error line, or nullopt.
std::optional<std::string> ExportProfile(const MouseProfile& profile, const std::filesystem::path& path);
std::optional<std::string> ExportMacro(const MacroRecord& macro, const std::filesystem::path& path);

struct ProfileImport {
    std::string error;                 // the file was refused; nothing changed
    std::size_t profilePosition = 0;   // where the new profile stands in the list
    std::size_t macrosCreated = 0;     // macros recreated from its macro buttons
    std::optional<std::string> macroSaveError;
    bool ok() const { return error.empty(); }
};

// Adds the file's profile under a unique name and recreates the macros of its macro
// buttons (entries 0..17 with function 17) in the macro list under unique names,
// writing each new name and list position back into its entry. The macro store is
// saved when a macro was added. Selecting the new profile and applying it are the
// page's steps.
ProfileImport ImportProfile(const std::filesystem::path& path, ProfileStore& profiles, MacroStore& macros);

struct MacroImport {
    std::string error;
    std::size_t macroPosition = 0;
    std::optional<std::string> saveError;
    bool ok() const { return error.empty(); }
};

// Adds the file's macro under a unique name and saves the macro store. A file whose
// action count lies outside 0..160 is refused: it was not written by a macro editor.
MacroImport ImportMacro(const std::filesystem::path& path, MacroStore& macros);

}  // namespace halvern
