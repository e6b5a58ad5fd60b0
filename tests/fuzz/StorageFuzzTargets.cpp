#include "StorageFuzzTargets.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "FuzzRequire.h"
#include "storage/SettingsFile.h"
#include "storage/MacroStore.h"
#include "storage/ProfileRules.h"
#include "storage/ProfileStore.h"
#include "storage/RecordFiles.h"
#include "support/TempDir.h"

namespace halvern::fuzz {

namespace {

std::vector<unsigned char> Bytes(const std::uint8_t* data, std::size_t size) {
    return std::vector<unsigned char>(data, data + size);
}

}  // namespace

void ProfileStoreInput(const std::uint8_t* data, std::size_t size) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "ms_1");
    test::WriteAll(dir / "ms_1/pro.data", Bytes(data, size));

    ProfileStore store(dir / "ms_1");
    StoreLoadResult r = store.load(u"Profile");
    Require(store.size() >= 1, "at least one profile");
    Require(store.currentProfile() != nullptr, "a valid selected index");
    for (const auto& p : store.profiles()) Require(FixedTextIsTerminated(p->name), "terminated names");
    if (r.outcome == StoreLoadResult::Outcome::Repaired)
        Require(r.keptAs && test::ReadAll(*r.keptAs) == Bytes(data, size), "the original kept as it was");

    ProfileStore again(dir / "ms_1");
    Require(again.load(u"Profile").outcome == StoreLoadResult::Outcome::Loaded, "the saved store loads cleanly");
    Require(again.size() == store.size(), "nothing lost between save and load");
}

void MacroStoreInput(const std::uint8_t* data, std::size_t size) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "ms_1");
    test::WriteAll(dir / "ms_1/macro.data", Bytes(data, size));

    MacroStore store(dir / "ms_1");
    StoreLoadResult r = store.load();
    Require(store.size() == size / MacroRecord::kSize, "every whole record kept");
    for (const auto& m : store.macros()) {
        Require(m->actionCount >= 0 && m->actionCount <= 160, "step counts in range");
        Require(FixedTextIsTerminated(m->name), "terminated names");
    }
    if (r.outcome == StoreLoadResult::Outcome::Repaired)
        Require(r.keptAs && test::ReadAll(*r.keptAs) == Bytes(data, size), "the original kept as it was");

    // Re-synchronising profiles against whatever came in must stay in bounds.
    auto profile = MouseProfile::Create(u"P");
    for (std::size_t i = 0; i < 12 && i < store.size(); ++i)
        profile->buttons[i].assignMacro(store.at(i), 0, 1, static_cast<std::int32_t>(i));
    ProfileStore::List list;
    list.push_back(std::move(profile));
    ResynchroniseProfiles(list, store);
    for (const auto& b : list[0]->buttons) Require(b.validActionCount() <= 160, "copied counts in range");
}

void RecordFileInput(const std::uint8_t* data, std::size_t size) {
    test::TempDir dir;
    test::WriteAll(dir / "in.pro", Bytes(data, size));
    test::WriteAll(dir / "in.macro", Bytes(data, size));
    ProfileStore profiles(dir / "ms_1");
    profiles.load(u"Profile");
    MacroStore macros(dir / "ms_1");
    macros.load();

    // Taken: one record, once repaired holding no macro the macro rules refuse.
    bool takes = size == MouseProfile::kSize;
    if (takes) {
        auto record = std::make_unique<MouseProfile>();
        std::memcpy(static_cast<void*>(record.get()), data, MouseProfile::kSize);
        RepairProfile(*record);
        takes = CheckProfileMacros(*record).ok();
    }
    ProfileImport p = ImportProfile(dir / "in.pro", profiles, macros);
    Require(p.ok() == takes, "profiles of exactly one record whose macros a button can hold only");
    if (p.ok()) {
        const MouseProfile& imported = profiles.at(p.profilePosition);
        Require(FixedTextIsTerminated(imported.name), "terminated name");
        for (std::size_t i = 0; i < kButtonPositions; ++i) {
            const ButtonAssignment& b = imported.buttons[i];
            if (b.function != ButtonFunction::Macro) continue;
            Require(b.macroIndex >= 0 && static_cast<std::size_t>(b.macroIndex) < macros.size(), "macro position");
            Require(macros.at(static_cast<std::size_t>(b.macroIndex)).nameText() == b.macroNameText(),
                    "name written back");
            Require(CheckMacro(macros.at(static_cast<std::size_t>(b.macroIndex))).ok(),
                    "no macro beyond the rules enters the list");
        }
    }
    MacroImport m = ImportMacro(dir / "in.macro", macros);
    bool macroTakes = size == MacroRecord::kSize;
    if (macroTakes) {
        MacroRecord record;
        std::memcpy(static_cast<void*>(&record), data, MacroRecord::kSize);
        macroTakes = CheckMacro(record).ok();
    }
    Require(m.ok() == macroTakes, "macros of exactly one record within the macro rules only");
    Require(m.ok() || !m.error.empty(), "a refusal says why");
}

void SettingsFileInput(const std::uint8_t* data, std::size_t size) {
    test::TempDir dir;
    test::WriteAll(dir / "CONFIG.ini", Bytes(data, size));
    SettingsFile settings(dir.path());
    int id = settings.loadModelIdForStartup();
    Require(id >= 0 && id <= 2, "a picture number in range");
    Require(settings.readModelId() == id, "the value in range is what the file now holds");
    Require(!settings.saveModelId(1) && settings.readModelId() == 1, "the key can always be written");
}

}  // namespace halvern::fuzz
