// Runs the storage fuzz targets over mutations of valid files on every test run, so a
// loader that breaks its promises fails here even without a fuzzing build.
#include <gtest/gtest.h>

#include <random>

#include "FuzzSeeds.h"
#include "StorageFuzzTargets.h"

namespace halvern {
namespace {

using Target = void (*)(const std::uint8_t*, std::size_t);

std::vector<std::vector<std::uint8_t>> Seeds(const char* target) {
    auto seeds = fuzz::ReadSeeds(HALVERN_FUZZ_SEEDS, target);
    EXPECT_FALSE(seeds.empty()) << "no seeds for " << target << "; run make_fuzz_seeds";
    return seeds;
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
            case 1: input.insert(input.end(), rng() % 800, static_cast<std::uint8_t>(rng())); break;
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
    RunMutations(fuzz::ProfileStoreInput, Seeds("ProfileStoreInput"), 100);
}

TEST(StorageFuzzSmoke, MacroStoreSurvivesDamagedFiles) {
    RunMutations(fuzz::MacroStoreInput, Seeds("MacroStoreInput"), 150);
}

TEST(StorageFuzzSmoke, RecordFilesSurviveDamagedFiles) {
    RunMutations(fuzz::RecordFileInput, Seeds("RecordFileInput"), 100);
}

TEST(StorageFuzzSmoke, SettingsFileSurvivesDamagedFiles) {
    RunMutations(fuzz::SettingsFileInput, Seeds("SettingsFileInput"), 150);
}

}  // namespace
}  // namespace halvern
