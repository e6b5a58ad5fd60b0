// Runs the report fuzz target over damaged profiles on every test run: random values,
// boundary values included, written into the fields the reports are built from.
#include <gtest/gtest.h>

#include <random>

#include "FuzzSeeds.h"
#include "ProtocolFuzzTargets.h"
#include "records/MouseProfile.h"

namespace halvern {
namespace {

TEST(ProtocolFuzzSmoke, ReportsOfDamagedProfilesKeepTheirFrames) {
    const auto seeds = fuzz::ReadSeeds(HALVERN_FUZZ_SEEDS, "ProfileReportsInput");
    ASSERT_FALSE(seeds.empty()) << "no seeds; run make_fuzz_seeds";
    const std::vector<std::uint8_t>& valid = seeds[0];
    ASSERT_EQ(valid.size(), 2 * MouseProfile::kSize);
    fuzz::ProfileReportsInput(valid.data(), valid.size());

    // Everything from the spare fields through the 18 real button entries, in both records.
    constexpr std::size_t kFrom = 2200, kTo = 2464 + 18 * ButtonAssignment::kSize;
    static constexpr std::uint8_t kBoundary[] = {0x00, 0xFF, 0x7F, 0x80, 0x11, 0x01, 0xC8, 0xDC};
    std::mt19937 rng(2024);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> input = valid;
        int edits = 1 + static_cast<int>(rng() % 400);
        for (int e = 0; e < edits; ++e) {
            std::size_t at = kFrom + rng() % (kTo - kFrom) + (rng() % 2 ? MouseProfile::kSize : 0);
            input[at] = rng() % 2 ? static_cast<std::uint8_t>(rng()) : kBoundary[rng() % 8];
        }
        if (round % 50 == 0) input.resize(rng() % input.size());
        fuzz::ProfileReportsInput(input.data(), input.size());
    }
}

}  // namespace
}  // namespace halvern
