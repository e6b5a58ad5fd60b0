// Runs halvernctl's fuzz targets over mutations of valid settings on every test run.
#include <gtest/gtest.h>

#include <random>

#include "FuzzSeeds.h"
#include "ToolFuzzTargets.h"

namespace halvern {
namespace {

// Flips, cuts and overwrites bytes with the characters JSON turns on.
TEST(ToolFuzzSmoke, ShownRecordsReadBackByteForByte) {
    std::vector<std::vector<std::uint8_t>> seeds = fuzz::ReadSeeds(HALVERN_FUZZ_SEEDS, "ShownProfileInput");
    ASSERT_FALSE(seeds.empty()) << "no seeds for ShownProfileInput; run make_fuzz_seeds";
    std::mt19937 rng(2828);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> input = seeds[rng() % seeds.size()];
        for (int e = 1 + static_cast<int>(rng() % 64); e > 0; --e)
            input[rng() % input.size()] = static_cast<std::uint8_t>(rng());
        fuzz::ShownProfileInput(input.data(), input.size());
    }
}

TEST(ToolFuzzSmoke, SettingsJsonSurvivesDamagedDocumentsAndReadsBackWhatItTakes) {
    std::vector<std::vector<std::uint8_t>> seeds = fuzz::ReadSeeds(HALVERN_FUZZ_SEEDS, "SettingsJsonInput");
    ASSERT_FALSE(seeds.empty()) << "no seeds for SettingsJsonInput; run make_fuzz_seeds";
    seeds.push_back({});
    for (const auto& seed : seeds) fuzz::SettingsJsonInput(seed.data(), seed.size());
    std::mt19937 rng(4242);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> input = seeds[rng() % seeds.size()];
        if (rng() % 4 == 0 && !input.empty()) {
            input.resize(rng() % input.size());
        } else {
            int edits = 1 + static_cast<int>(rng() % 8);
            for (int e = 0; e < edits && !input.empty(); ++e) {
                static constexpr std::uint8_t kBoundary[] = {'"', '\\', '{', '}', '[',  ']',  ',',
                                                             ':', '0',  '9', '-', 0x00, 0xC3, 0xFF};
                input[rng() % input.size()] =
                    rng() % 2 ? static_cast<std::uint8_t>(rng()) : kBoundary[rng() % sizeof kBoundary];
            }
        }
        fuzz::SettingsJsonInput(input.data(), input.size());
    }
}

}  // namespace
}  // namespace halvern
