// The files halvernctl reads, taken as halvern takes them: each a regular file (a pipe,
// a device or a folder is refused at once, never waited on), within the size it can
// have, repaired where halvern repairs what it reads, and refused where halvern refuses
// it, for the same reason in the same words.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/MacroRecord.h"
#include "records/MouseProfile.h"

namespace halvern::cli {

// Whether reading a profile refuses one with a macro halvern refuses, or leaves that to
// the caller, which checks what the record holds once it has changed it.
enum class MacroRules { Check, Later };

struct ProfileRead {
    std::unique_ptr<MouseProfile> profile;  // set when the file is taken
    std::string error;                      // one line naming the file and why not
    std::vector<std::string> repaired;      // what the repair changed (RepairProfile)
};
ProfileRead ReadProfileAsHalvern(const std::string& path, MacroRules rules);

struct MacroRead {
    std::unique_ptr<MacroRecord> macro;
    std::string error;
    bool repaired = false;  // its name had no end
};
MacroRead ReadMacroAsHalvern(const std::string& path);

// The one line that says what was repaired on reading, or nothing when nothing was;
// `subject` names what was read ("'p.pro'", "the stored profile 'Main'").
std::optional<std::string> RepairLine(const std::string& subject, const std::vector<std::string>& what);

// A settings document: at most kMaxJsonBytes of a regular file.
inline constexpr std::size_t kMaxJsonBytes = 1 << 20;
std::optional<std::string> ReadJsonText(const std::string& path, std::string& error);

}  // namespace halvern::cli
