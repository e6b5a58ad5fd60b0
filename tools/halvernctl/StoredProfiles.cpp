#include "StoredProfiles.h"

#include <ostream>

#include "platform/DataPaths.h"
#include "records/Text.h"
#include "storage/RecordFiles.h"

namespace halvern::cli {

StoredProfiles ReadStoredProfiles() {
    StoredProfiles result;
    auto store = std::make_unique<ProfileStore>(ModelFolder(GetDataFolder()));
    StoreLoadResult load = store->read(u"");
    switch (load.outcome) {
        case StoreLoadResult::Outcome::Missing:
            result.error = "no stored profiles: " + store->filePath().string() +
                           " does not exist (halvern creates it on its first start)";
            return result;
        case StoreLoadResult::Outcome::Repaired:
            // halvern repairs and rewrites it on its next start; reading the damaged
            // copy could name profiles that will not exist.
            result.error = store->filePath().string() + " is damaged (" +
                           (load.problems.empty() ? std::string("unreadable") : load.problems.front()) +
                           "); start halvern once to repair it";
            return result;
        case StoreLoadResult::Outcome::Loaded: break;
    }
    result.store = std::move(store);
    return result;
}

const MouseProfile* FindStoredProfile(const ProfileStore& store, const std::string& name, std::string& error) {
    std::optional<std::u16string> wanted = Utf8ToUtf16(name);
    if (!wanted) {
        error = "the profile name is not valid UTF-8";
        return nullptr;
    }
    for (const auto& p : store.profiles())
        if (p->nameText() == *wanted) return p.get();
    for (const auto& p : store.profiles())
        if (EqualsIgnoreCase(p->nameText(), *wanted)) return p.get();
    error = "no stored profile is named " + QuoteForLine(name) + "; 'halvernctl profiles' lists them";
    return nullptr;
}

int Profiles(const Invocation& call) {
    if (!call.args.empty()) return call.fail(kExitUsage, "usage: halvernctl profiles");
    StoredProfiles stored = ReadStoredProfiles();
    if (!stored.store) return call.fail(kExitFailure, stored.error);
    const ProfileStore& store = *stored.store;
    for (std::size_t i = 0; i < store.size(); ++i) {
        const bool selected = static_cast<std::int32_t>(i) == store.selectedProfile();
        // A name from a damaged store could hold a line break and forge another line.
        call.out << (selected ? "* " : "  ") << EscapeControls(Utf16ToUtf8(store.at(i).nameText())) << '\n';
    }
    return kExitOk;
}

int ProfileExport(const Invocation& call) {
    if (call.args.size() != 2) return call.fail(kExitUsage, "usage: halvernctl profile export NAME OUT.pro");
    StoredProfiles stored = ReadStoredProfiles();
    if (!stored.store) return call.fail(kExitFailure, stored.error);
    std::string error;
    const MouseProfile* profile = FindStoredProfile(*stored.store, call.args[0], error);
    if (!profile) return call.fail(kExitFailure, error);
    if (auto failed = ExportProfile(*profile, call.args[1])) return call.fail(kExitFailure, *failed);
    return kExitOk;
}

}  // namespace halvern::cli
