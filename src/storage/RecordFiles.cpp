#include "storage/RecordFiles.h"

#include <cstring>

#include "storage/FileIo.h"
#include "storage/MacroStore.h"
#include "storage/ProfileStore.h"
#include "records/Text.h"

namespace halvern {

namespace {

template <typename Record>
RecordRead<Record> ReadRecordFile(const std::filesystem::path& path, const char* what) {
    RecordRead<Record> out;
    FileContents file = ReadFileBytes(path, Record::kSize + 1);
    if (!file.exists) {
        out.error = PathForMessage(path) + ": no such file";
    } else if (!file.ok()) {
        out.error = file.error;
    } else if (file.data.size() != Record::kSize) {
        out.error = PathForMessage(path) + ": not a " + what + " file (" +
                    (file.truncated ? "more than " + std::to_string(Record::kSize) : std::to_string(file.data.size())) +
                    " bytes, expected " + std::to_string(Record::kSize) + ")";
    } else {
        out.record = std::make_unique<Record>();
        std::memcpy(static_cast<void*>(out.record.get()), file.data.data(), Record::kSize);
    }
    return out;
}

}  // namespace

RecordRead<MouseProfile> ReadProfileFile(const std::filesystem::path& path) {
    return ReadRecordFile<MouseProfile>(path, "profile");
}

RecordRead<MacroRecord> ReadMacroFile(const std::filesystem::path& path) {
    return ReadRecordFile<MacroRecord>(path, "macro");
}

std::optional<std::string> ExportProfile(const MouseProfile& profile, const std::filesystem::path& path) {
    return WriteFileAtomically(path, profile.bytes());
}

std::optional<std::string> ExportMacro(const MacroRecord& macro, const std::filesystem::path& path) {
    return WriteFileAtomically(path, macro.bytes());
}

ProfileImport ImportProfile(const std::filesystem::path& path, ProfileStore& profiles, MacroStore& macros) {
    ProfileImport result;
    RecordRead<MouseProfile> read = ReadProfileFile(path);
    if (!read.record) {
        result.error = read.error;
        return result;
    }
    MouseProfile& profile = *read.record;
    result.repaired = RepairProfile(profile);
    result.refusedMacro = CheckProfileMacros(profile);
    if (!result.refusedMacro.ok()) {
        result.error = PathForMessage(path) + ": " + ProfileMacroProblemText(result.refusedMacro);
        return result;
    }
    profile.setName(profiles.importName(profile.nameText()));

    for (std::size_t i = 0; i < kButtonPositions; ++i) {
        ButtonAssignment& entry = profile.buttons[i];
        if (entry.function != ButtonFunction::Macro) continue;
        auto macro = std::make_unique<MacroRecord>();
        macro->setName(ImportedName(entry.macroNameText(), kMacroNameUnits - 1,
                                    [&](std::u16string_view n) { return macros.nameExists(n); }));
        macro->loopCount = entry.macroLoopCount;
        macro->actionCount = entry.macroActionCount;
        std::memcpy(macro->actions, entry.macroActions, sizeof macro->actions);
        WriteFixedText(entry.macroName, macro->nameText());
        entry.macroIndex = static_cast<std::int32_t>(macros.append(std::move(macro)));
        ++result.macrosCreated;
    }
    if (result.macrosCreated > 0) result.macroSaveError = macros.save();

    result.profilePosition = profiles.append(std::move(read.record));
    return result;
}

MacroImport ImportMacro(const std::filesystem::path& path, MacroStore& macros) {
    MacroImport result;
    RecordRead<MacroRecord> read = ReadMacroFile(path);
    if (!read.record) {
        result.error = read.error;
        return result;
    }
    result.problem = CheckMacro(*read.record);
    if (!result.problem.ok()) {
        RepairRecord(*read.record);
        result.macroName = read.record->nameText();
        result.error = PathForMessage(path) + ": the macro " + QuoteForLine(Utf16ToUtf8(result.macroName)) + " " +
                       MacroProblemText(result.problem);
        return result;
    }
    RepairRecord(*read.record);
    read.record->setName(ImportedName(read.record->nameText(), kMacroNameUnits - 1,
                                      [&](std::u16string_view n) { return macros.nameExists(n); }));
    result.macroPosition = macros.append(std::move(read.record));
    result.saveError = macros.save();
    return result;
}

}  // namespace halvern
