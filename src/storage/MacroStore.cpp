#include "storage/MacroStore.h"

#include <cstring>

#include "records/MouseProfile.h"
#include "storage/FileIo.h"
#include "storage/StoreRecords.h"
#include "records/Text.h"

namespace halvern {

MacroStore::MacroStore(std::filesystem::path modelFolder) : folder_(std::move(modelFolder)) {}

StoreLoadResult MacroStore::load(Leftovers leftovers) {
    StoreLoadResult result;
    macros_.clear();
    if (leftovers == Leftovers::Remove) result.leftoversRemoved = RemoveTemporaryLeftovers(filePath());
    FileContents file = ReadFileBytes(filePath(), kMaxFileBytes);
    if (!file.exists) {
        result.outcome = StoreLoadResult::Outcome::Missing;
        return result;
    }
    if (!file.ok()) {
        result.problems.push_back(file.error);
    } else {
        ParsedRecords<MacroRecord> parsed = ParseRecords<MacroRecord>(
            file.data, file.truncated, "macro", "the file is larger than any macro store; the rest was not read");
        macros_ = std::move(parsed.records);
        result.problems = std::move(parsed.problems);
    }
    if (!result.problems.empty()) KeepOriginalAndSave(filePath(), result, [this] { return save(); });
    return result;
}

std::optional<std::string> MacroStore::save() const {
    EnsureDirectory(folder_);
    std::vector<std::span<const std::byte>> pieces;
    pieces.reserve(macros_.size());
    for (const auto& m : macros_) pieces.push_back(m->bytes());
    return WriteFileAtomically(filePath(), pieces);
}

bool MacroStore::nameExists(std::u16string_view name) const { return findByName(name).position >= 0; }

MacroMatch MacroStore::findByName(std::u16string_view name, const ButtonAssignment* compareWith) const {
    MacroMatch match;
    for (std::size_t i = 0; i < macros_.size(); ++i) {
        const MacroRecord& m = *macros_[i];
        if (!EqualsIgnoreCase(m.nameText(), name)) continue;
        match.position = static_cast<int>(i);
        if (compareWith)
            match.sameActions = m.actionCount == compareWith->macroActionCount &&
                                std::memcmp(m.actions, compareWith->macroActions, sizeof m.actions) == 0;
        break;
    }
    return match;
}

std::size_t MacroStore::append(std::unique_ptr<MacroRecord> macro) {
    macros_.push_back(std::move(macro));
    return macros_.size() - 1;
}

void MacroStore::remove(std::size_t position) {
    if (position < macros_.size()) macros_.erase(macros_.begin() + static_cast<std::ptrdiff_t>(position));
}

std::u16string MacroStore::uniqueName(std::u16string_view base) const {
    return MakeUniqueName(base, kMacroNameUnits - 1, [this](std::u16string_view n) { return nameExists(n); });
}

CreatedMacro MacroStore::createMacro(std::u16string_view addMacroText) {
    std::u16string base = std::u16string(addMacroText) + AsciiToUtf16(std::to_string(macros_.size() + 1));
    auto macro = std::make_unique<MacroRecord>();
    macro->setName(uniqueName(base));
    MacroRecord* created = macro.get();
    append(std::move(macro));
    if (auto error = save()) {
        // A macro the store does not hold would vanish at the next start, and profiles
        // could refer to it meanwhile.
        macros_.pop_back();
        return {nullptr, std::move(*error)};
    }
    return {created, {}};
}

}  // namespace halvern
