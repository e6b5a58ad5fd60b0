#include "ProfileFiles.h"

#include "records/Text.h"
#include "storage/FileIo.h"
#include "storage/ProfileRules.h"
#include "storage/RecordFiles.h"

namespace halvern::cli {

ProfileRead ReadProfileAsHalvern(const std::string& path, MacroRules rules) {
    ProfileRead result;
    RecordRead<MouseProfile> read = ReadProfileFile(path);
    if (!read.record) {
        result.error = read.error;
        return result;
    }
    result.repaired = RepairProfile(*read.record);
    if (rules == MacroRules::Check)
        if (const ProfileMacroProblem bad = CheckProfileMacros(*read.record); !bad.ok()) {
            result.error =
                QuoteForLine(path) + ": " + ProfileMacroProblemText(bad) + "; halvern refuses such a profile";
            return result;
        }
    result.profile = std::move(read.record);
    return result;
}

MacroRead ReadMacroAsHalvern(const std::string& path) {
    MacroRead result;
    RecordRead<MacroRecord> read = ReadMacroFile(path);
    if (!read.record) {
        result.error = read.error;
        return result;
    }
    if (const MacroProblem problem = CheckMacro(*read.record); !problem.ok()) {
        result.error = QuoteForLine(path) + ": the macro " + QuoteForLine(Utf16ToUtf8(read.record->nameText())) + " " +
                       MacroProblemText(problem) + "; halvern refuses such a macro";
        return result;
    }
    result.repaired = RepairRecord(*read.record);
    result.macro = std::move(read.record);
    return result;
}

std::optional<std::string> RepairLine(const std::string& subject, const std::vector<std::string>& what) {
    if (what.empty()) return std::nullopt;
    std::string list;
    for (const std::string& w : what) list += (list.empty() ? "" : ", ") + w;
    return subject + ": repaired as halvern repairs what it reads: " + list;
}

std::optional<std::string> ReadJsonText(const std::string& path, std::string& error) {
    const FileContents file = ReadFileBytes(path, kMaxJsonBytes);
    if (!file.exists) error = QuoteForLine(path) + ": no such file";
    else if (!file.ok()) error = file.error;
    else if (file.truncated) error = QuoteForLine(path) + ": larger than 1 MiB, not a settings file";
    if (!error.empty()) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(file.data.data()), file.data.size());
}

}  // namespace halvern::cli
