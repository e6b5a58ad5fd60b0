// Single-record files: ".pro" (one MouseProfile, 43936 bytes) and ".macro" (one
// MacroRecord, 696 bytes), raw, with no header. The file dialogs belong to the pages;
// these functions take the chosen path.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/MouseProfile.h"
#include "records/MacroRecord.h"
#include "storage/ProfileRules.h"

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
    std::string error;                  // the file was refused; nothing changed
    ProfileMacroProblem refusedMacro;   // the macro that refused it, when one did
    std::size_t profilePosition = 0;    // where the new profile stands in the list
    std::size_t macrosCreated = 0;      // macros recreated from its macro buttons
    std::vector<std::string> repaired;  // what RepairProfile changed
    std::optional<std::string> macroSaveError;
    bool ok() const { return error.empty(); }
};

// Adds the file's profile under a unique name and recreates the macros of its macro
// buttons (entries 0..17 with function 17) in the macro list under unique names,
// writing each new name and list position back into its entry. The macro store is
// saved when a macro was added. Selecting the new profile and applying it are the
// page's steps. The record is repaired first (RepairProfile: names, counts, settings
// out of range), and a file with a macro the macro rules refuse (CheckProfileMacros:
// one that does not fit its button's blocks, say) is refused whole.
ProfileImport ImportProfile(const std::filesystem::path& path, ProfileStore& profiles, MacroStore& macros);

struct MacroImport {
    std::string error;
    MacroProblem problem;      // why the macro was refused, when it was
    std::u16string macroName;  // the file's macro, as it names itself
    std::size_t macroPosition = 0;
    std::optional<std::string> saveError;
    bool ok() const { return error.empty(); }
};

// Adds the file's macro under a unique name and saves the macro store. A macro the
// macro rules refuse (CheckMacro: a step count outside 0..160, a step no editor makes,
// one that does not fit a button's blocks) is refused, and nothing is added.
MacroImport ImportMacro(const std::filesystem::path& path, MacroStore& macros);

}  // namespace halvern
