#include "storage/StoreRecords.h"

#include "storage/FileIo.h"

namespace halvern {

void KeepOriginalAndSave(const std::filesystem::path& file, StoreLoadResult& result,
                         const std::function<std::optional<std::string>()>& save) {
    result.outcome = StoreLoadResult::Outcome::Repaired;
    // The user's original is kept before anything replaces it.
    result.keptAs = KeepCopy(file);
    if (result.keptAs) result.saveError = save();
    else
        result.problems.push_back("no copy of the original could be kept, so the repair was not saved: " +
                                  file.string());
}

}  // namespace halvern
