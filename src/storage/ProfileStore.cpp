#include "storage/ProfileStore.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "storage/FileIo.h"
#include "storage/MacroStore.h"
#include "storage/StoreRecords.h"
#include "records/Text.h"

namespace halvern {

ProfileStore::ProfileStore(std::filesystem::path modelFolder) : folder_(std::move(modelFolder)) {}

void ProfileStore::resetHeader() {
    selected_ = 0;
    headerRest_.clear();
}

StoreLoadResult ProfileStore::load(std::u16string_view addProfileText, Leftovers leftovers, MissingStore missing) {
    return loadAs(StoreAccess::Owner, addProfileText, leftovers, missing);
}

StoreLoadResult ProfileStore::read(std::u16string_view addProfileText) {
    return loadAs(StoreAccess::ReadOnly, addProfileText, Leftovers::Keep, MissingStore::CallerSaves);
}

StoreLoadResult ProfileStore::loadAs(StoreAccess access, std::u16string_view addProfileText, Leftovers leftovers,
                                     MissingStore missing) {
    const bool owner = access == StoreAccess::Owner;
    StoreLoadResult result;
    profiles_.clear();
    resetHeader();
    if (owner && leftovers == Leftovers::Remove) result.leftoversRemoved = RemoveTemporaryLeftovers(filePath());

    const std::uintmax_t cap = kHeaderSize + kMaxProfiles * MouseProfile::kSize;
    FileContents file = ReadFileBytes(filePath(), cap);
    if (!file.exists) {
        result.outcome = StoreLoadResult::Outcome::Missing;
        createDefaultProfile(addProfileText);
        if (owner && missing == MissingStore::SaveNow) result.saveError = save();
        return result;
    }

    const bool hasHeader = file.ok() && file.data.size() >= kHeaderSize;
    if (!file.ok()) {
        result.problems.push_back(file.error);
    } else if (!hasHeader) {
        result.problems.push_back("the file is " + std::to_string(file.data.size()) +
                                  " bytes, shorter than the store's header");
    } else {
        readHeader(std::span(file.data).first(kHeaderSize));
        ParsedRecords<MouseProfile> parsed = ParseRecords<MouseProfile>(
            std::span(file.data).subspan(kHeaderSize), file.truncated, "profile",
            "the file holds more than " + std::to_string(kMaxProfiles) + " profiles; the rest was not read");
        profiles_ = std::move(parsed.records);
        result.problems = std::move(parsed.problems);
    }

    if (profiles_.empty()) {
        if (hasHeader) result.problems.push_back("the file holds no profile");
        createDefaultProfile(addProfileText);
    }
    if (selectedProfile() < 0 || static_cast<std::size_t>(selectedProfile()) >= profiles_.size()) {
        if (hasHeader)
            result.problems.push_back("the selected profile " + std::to_string(selectedProfile()) +
                                      " is not in the list");
        setSelectedProfile(0);
    }
    if (result.problems.empty()) return result;
    if (!owner) {
        result.outcome = StoreLoadResult::Outcome::Repaired;
        return result;
    }
    KeepOriginalAndSave(filePath(), result, [this] { return save(); });
    return result;
}

void ProfileStore::readHeader(std::span<const std::byte> header) {
    std::memcpy(&selected_, header.data(), sizeof selected_);
    const auto rest = header.subspan(sizeof selected_);
    if (std::any_of(rest.begin(), rest.end(), [](std::byte b) { return b != std::byte{0}; }))
        headerRest_.assign(rest.begin(), rest.end());
}

std::optional<std::string> ProfileStore::save() const {
    EnsureDirectory(folder_);
    static constexpr std::byte kZeros[4096]{};
    std::vector<std::span<const std::byte>> pieces;
    pieces.reserve(profiles_.size() + kHeaderSize / sizeof kZeros + 2);
    pieces.push_back(std::as_bytes(std::span(&selected_, 1)));
    if (!headerRest_.empty()) {
        pieces.push_back(headerRest_);
    } else {
        for (std::size_t left = kHeaderSize - sizeof selected_; left > 0;) {
            const std::size_t n = std::min(left, sizeof kZeros);
            pieces.push_back(std::span(kZeros, n));
            left -= n;
        }
    }
    for (const auto& p : profiles_) pieces.push_back(p->bytes());
    return WriteFileAtomically(filePath(), pieces);
}

std::int32_t ProfileStore::selectedProfile() const { return selected_; }

void ProfileStore::setSelectedProfile(std::int32_t index) { selected_ = index; }

MouseProfile* ProfileStore::currentProfile() {
    std::int32_t i = selectedProfile();
    if (i < 0 || static_cast<std::size_t>(i) >= profiles_.size()) return nullptr;
    return profiles_[static_cast<std::size_t>(i)].get();
}

bool ProfileStore::nameExists(std::u16string_view name) const {
    for (const auto& p : profiles_)
        if (EqualsIgnoreCase(p->nameText(), name)) return true;
    return false;
}

MouseProfile& ProfileStore::createDefaultProfile(std::u16string_view addProfileText) {
    std::u16string base = std::u16string(addProfileText) + AsciiToUtf16(std::to_string(profiles_.size() + 1));
    std::u16string name =
        MakeUniqueName(base, kProfileNameUnits - 1, [this](std::u16string_view n) { return nameExists(n); });
    auto profile = MouseProfile::Create(name);
    MouseProfile& ref = *profile;
    append(std::move(profile));
    return ref;
}

std::u16string ProfileStore::importName(std::u16string_view name) const {
    return ImportedName(name, kProfileNameUnits - 1, [this](std::u16string_view n) { return nameExists(n); });
}

std::size_t ProfileStore::append(std::unique_ptr<MouseProfile> profile) {
    profiles_.push_back(std::move(profile));
    return profiles_.size() - 1;
}

void ProfileStore::remove(std::size_t position) {
    if (position < profiles_.size()) profiles_.erase(profiles_.begin() + static_cast<std::ptrdiff_t>(position));
}

namespace {

// The name a button's copy bears after the renames, applied one after the other so a
// macro renamed twice is followed to its last name.
std::u16string NameAfterRenames(std::u16string name, const std::vector<MacroRename>& renames) {
    for (const MacroRename& rename : renames)
        if (EqualsIgnoreCase(name, rename.from)) name = rename.to;
    return name;
}

void ForgetMacroCopy(ButtonAssignment& entry) {
    std::fill(std::begin(entry.macroName), std::end(entry.macroName), u'\0');
    entry.macroMode = 0;
    entry.macroLoopCount = 0;
    entry.macroActionCount = 0;
    entry.macroIndex = -1;
    std::fill(std::begin(entry.macroActions), std::end(entry.macroActions), MacroAction{});
}

}  // namespace

std::vector<std::size_t> ResynchroniseProfiles(ProfileStore::List& profiles, const MacroStore& macros,
                                               const std::vector<MacroRename>& renames) {
    // Only the first twelve entries can hold macros the user assigned.
    constexpr std::size_t kMacroEntries = 12;
    std::vector<std::size_t> touched;
    for (std::size_t p = 0; p < profiles.size(); ++p) {
        bool any = false;
        for (std::size_t i = 0; i < kMacroEntries; ++i) {
            ButtonAssignment& entry = profiles[p]->buttons[i];
            if (entry.function != ButtonFunction::Macro && entry.macroName[0] == u'\0') continue;
            any = true;
            MacroMatch match = macros.findByName(NameAfterRenames(entry.macroNameText(), renames));
            if (match.position >= 0) entry.copyMacroContent(macros.at(static_cast<std::size_t>(match.position)));
            else if (entry.function == ButtonFunction::Macro) entry.resetToInitial(i);
            else ForgetMacroCopy(entry);
        }
        if (any) touched.push_back(p);
    }
    return touched;
}

}  // namespace halvern
