// The profile list and its store "pro.data": a 219684-byte header (the selected
// index and five reserved record-sized blocks, kept exactly as read) followed by the
// profiles, each a MouseProfile byte for byte. There is no count: the file's length
// gives it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "records/MouseProfile.h"
#include "storage/StoreRecords.h"
#include "storage/StoreResult.h"

namespace halvern {

class ProfileStore {
public:
    using List = std::vector<std::unique_ptr<MouseProfile>>;

    static constexpr const char* kFileName = "pro.data";
    static constexpr std::size_t kHeaderSize = 4 + 5 * MouseProfile::kSize;  // 219684
    // More profiles than any user keeps; the cap keeps a hostile file from exhausting
    // memory.
    static constexpr std::size_t kMaxProfiles = 1024;

    explicit ProfileStore(std::filesystem::path modelFolder);

    // Reads the list. A missing file gives one default profile (named from
    // addProfileText) and is saved. A malformed file (short header, partial last
    // record, no profiles, selected index out of range, unterminated names, step counts
    // above 160) is repaired so that there is at least one profile and a valid index;
    // a copy of the original is kept beside it as "pro.data.bad" and the repaired store
    // saved; the original stays in place until that save succeeds. Temporary files that
    // saves cut short left beside the store are removed first, unless `leftovers` is Keep.
    // With `missing` CallerSaves the default store of a missing file is not written.
    StoreLoadResult load(std::u16string_view addProfileText, Leftovers leftovers = Leftovers::Remove,
                         MissingStore missing = MissingStore::SaveNow);

    // Reads the list as load() does but writes nothing: no default store for a missing
    // file, no repaired store and no copy of a damaged one, temporary files left alone.
    // For readers beside the program that owns the store.
    StoreLoadResult read(std::u16string_view addProfileText);

    // Rewrites the whole file; the previous file survives a failed write.
    std::optional<std::string> save() const;

    List& profiles() { return profiles_; }
    const List& profiles() const { return profiles_; }
    std::size_t size() const { return profiles_.size(); }
    MouseProfile& at(std::size_t i) { return *profiles_.at(i); }
    const MouseProfile& at(std::size_t i) const { return *profiles_.at(i); }

    // The index stored in the header's first four bytes.
    std::int32_t selectedProfile() const;
    void setSelectedProfile(std::int32_t index);
    // The profile at the selected index, or nullptr when the index is not in the list.
    MouseProfile* currentProfile();

    bool nameExists(std::u16string_view name) const;

    // A profile named addProfileText + (count + 1), made unique, with every default;
    // appended to the list.
    MouseProfile& createDefaultProfile(std::u16string_view addProfileText);

    // The name an imported profile gets: its own when free, else the first free
    // "%s_%d" of its first 49 units.
    std::u16string importName(std::u16string_view name) const;

    std::size_t append(std::unique_ptr<MouseProfile> profile);
    void remove(std::size_t position);

    std::filesystem::path filePath() const { return folder_ / kFileName; }

private:
    StoreLoadResult loadAs(StoreAccess access, std::u16string_view addProfileText, Leftovers leftovers,
                           MissingStore missing);
    void resetHeader();
    void readHeader(std::span<const std::byte> header);

    std::filesystem::path folder_;
    std::int32_t selected_ = 0;
    // The header's bytes after the index, kept only when a file brought some that are
    // not zero: this program writes zeros there, and holding 215 KiB of them for every
    // run would be the store's largest cost.
    std::vector<std::byte> headerRest_;
    List profiles_;
};

// The unique-name rule of imports: the name itself when free, else "%s_%d" of its first
// 49 units with d from 1, fitting maxUnits.
template <typename Taken>
std::u16string ImportedName(std::u16string_view name, std::size_t maxUnits, Taken&& taken);

// A macro the user gave a new name, in the order the renames happened.
struct MacroRename {
    std::u16string from;
    std::u16string to;
};

// After the macro list changed: button entries 0..11 of every profile follow the
// renames first (a button keeps playing its macro under the new name), then the macro
// copies are refreshed from the macro of the same name (mode, loop count and list
// position stay). A button that plays a macro that is gone goes back to its initial
// function; a button that does something else only loses the stale copy it still
// held, and keeps its function. Returns the positions of the profiles that held at
// least one such entry.
class MacroStore;
std::vector<std::size_t> ResynchroniseProfiles(ProfileStore::List& profiles, const MacroStore& macros,
                                               const std::vector<MacroRename>& renames = {});

}  // namespace halvern

#include "records/Text.h"

template <typename Taken>
std::u16string halvern::ImportedName(std::u16string_view name, std::size_t maxUnits, Taken&& taken) {
    std::u16string_view own = CutToUnits(name, maxUnits);
    if (!taken(own)) return std::u16string(own);
    std::u16string_view base = CutToUnits(name, 49);
    for (int d = 1;; ++d) {
        std::u16string candidate = FormatUnique(base, d, maxUnits);
        if (!taken(std::u16string_view(candidate))) return candidate;
    }
}
