// Runs the storage fuzz targets over mutations of valid files on every test run, so a
// loader that breaks its promises fails here even without a fuzzing build.
#include <gtest/gtest.h>

#include <random>

#include "StorageFuzzTargets.h"
#include "records/MouseProfile.h"
#include "storage/ProfileStore.h"
#include "support/TempDir.h"

namespace halvern {
namespace {

using Target = void (*)(const std::uint8_t*, std::size_t);

std::vector<std::uint8_t> ValidProfileStore(int profiles) {
    std::vector<std::uint8_t> bytes(ProfileStore::kHeaderSize, 0);
    for (int i = 0; i < profiles; ++i) {
        auto p = MouseProfile::Create(u"P" + AsciiToUtf16(std::to_string(i)));
        MacroRecord m;
        m.setName(u"M");
        m.actionCount = 3;
        p->buttons[i % 12].assignMacro(m, 1, 2, 0);
        auto b = test::BytesOf(*p);
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    return bytes;
}

std::vector<std::uint8_t> ValidMacroStore(int macros) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < macros; ++i) {
        MacroRecord m;
        m.setName(u"Macro" + AsciiToUtf16(std::to_string(i)));
        m.actionCount = i;
        auto b = test::BytesOf(m);
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    return bytes;
}

// Flips, truncates, extends and overwrites with boundary values, like a fuzzer's first
// minutes, but repeatable.
void RunMutations(Target target, std::vector<std::vector<std::uint8_t>> seeds, int rounds) {
    std::mt19937 rng(12345);
    seeds.push_back({});
    for (const auto& seed : seeds) target(seed.data(), seed.size());
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::uint8_t> input = seeds[rng() % seeds.size()];
        switch (rng() % 5) {
            case 0:
                if (!input.empty()) input.resize(rng() % input.size());
                break;
            case 1:
                input.insert(input.end(), rng() % 800, static_cast<std::uint8_t>(rng()));
                break;
            default: {
                int edits = 1 + static_cast<int>(rng() % 16);
                for (int e = 0; e < edits && !input.empty(); ++e) {
                    static constexpr std::uint8_t kBoundary[] = {0x00, 0xFF, 0x7F, 0x80, 0xA0, 0x01, '=', '[', '\n'};
                    input[rng() % input.size()] = rng() % 2 ? static_cast<std::uint8_t>(rng()) : kBoundary[rng() % 9];
                }
            }
        }
        target(input.data(), input.size());
    }
}

TEST(StorageFuzzSmoke, ProfileStoreSurvivesDamagedFiles) {
    RunMutations(fuzz::ProfileStoreInput, {ValidProfileStore(1), ValidProfileStore(3)}, 150);
}

TEST(StorageFuzzSmoke, MacroStoreSurvivesDamagedFiles) {
    RunMutations(fuzz::MacroStoreInput, {ValidMacroStore(1), ValidMacroStore(5)}, 150);
}

TEST(StorageFuzzSmoke, RecordFilesSurviveDamagedFiles) {
    auto profile = ValidProfileStore(1);
    RunMutations(fuzz::RecordFileInput,
                 {std::vector<std::uint8_t>(profile.begin() + ProfileStore::kHeaderSize, profile.end()),
                  ValidMacroStore(1)},
                 100);
}

TEST(StorageFuzzSmoke, SettingsFileSurvivesDamagedFiles) {
    std::string ini = "[Window]\r\nX=1\r\n[SETTING]\r\nModelId=2\r\n";
    RunMutations(fuzz::SettingsFileInput, {std::vector<std::uint8_t>(ini.begin(), ini.end())}, 150);
}

}  // namespace
}  // namespace halvern
