// The macro list and its store "macro.data": the records back to back, nothing else.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/MacroRecord.h"
#include "storage/StoreResult.h"

namespace halvern {

struct ButtonAssignment;

struct MacroMatch {
    int position = -1;         // first macro of that name (without regard to case), or -1
    bool sameActions = false;  // its count and steps equal the button entry's copy
};

struct CreatedMacro {
    MacroRecord* macro = nullptr;  // in the list and on disk; null when the save failed
    std::string error;             // why the save failed
    bool ok() const { return macro != nullptr; }
};

class MacroStore {
public:
    using List = std::vector<std::unique_ptr<MacroRecord>>;

    static constexpr const char* kFileName = "macro.data";
    // A store larger than this is not a macro store; the cap keeps a hostile file from
    // exhausting memory (about 65 thousand macros).
    static constexpr std::uintmax_t kMaxFileBytes = 64u * 1024 * 1024;

    // modelFolder: the per-model folder "ms_1" inside the data folder.
    explicit MacroStore(std::filesystem::path modelFolder);

    // Reads the list. A missing file gives an empty list; a malformed one is repaired
    // (partial last record dropped, counts and names made safe), a copy of its original
    // kept beside it as "macro.data.bad", and the repaired list saved; the original stays
    // in place until that save succeeds. Temporary files that saves cut short left beside
    // the store are removed first, unless `leftovers` is Keep.
    StoreLoadResult load(Leftovers leftovers = Leftovers::Remove);

    // Rewrites the whole file; the previous file survives a failed write.
    std::optional<std::string> save() const;

    const List& macros() const { return macros_; }
    std::size_t size() const { return macros_.size(); }
    MacroRecord& at(std::size_t i) { return *macros_.at(i); }
    const MacroRecord& at(std::size_t i) const { return *macros_.at(i); }

    bool nameExists(std::u16string_view name) const;
    MacroMatch findByName(std::u16string_view name, const ButtonAssignment* compareWith = nullptr) const;

    // Appends a record; returns its position.
    std::size_t append(std::unique_ptr<MacroRecord> macro);
    void remove(std::size_t position);

    // A new empty macro named addMacroText + (count + 1), made unique; appended and the
    // store saved. When the save fails the macro is taken out again, so the list stays
    // what the file holds.
    [[nodiscard]] CreatedMacro createMacro(std::u16string_view addMacroText);

    // A name that no macro bears yet, from base by the "%s_%d" rule, fitting 23 units.
    std::u16string uniqueName(std::u16string_view base) const;

    std::filesystem::path filePath() const { return folder_ / kFileName; }

private:
    std::filesystem::path folder_;
    List macros_;
};

}  // namespace halvern
