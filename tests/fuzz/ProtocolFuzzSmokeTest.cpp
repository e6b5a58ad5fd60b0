// Runs the report fuzz target over damaged profiles on every test run: random values,
// boundary values included, written into the fields the reports are built from.
#include <gtest/gtest.h>

#include <random>

#include "ProtocolFuzzTargets.h"
#include "records/MouseProfile.h"
#include "support/TempDir.h"

namespace halvern {
namespace {

TEST(ProtocolFuzzSmoke, ReportsOfDamagedProfilesKeepTheirFrames) {
    auto seed = MouseProfile::Create(u"P");
    MacroRecord m;
    m.actionCount = 100;
    for (std::size_t i = 0; i < 100; ++i) m.actions[i] = {4, static_cast<std::uint8_t>(1 + i % 2), static_cast<std::uint16_t>(i * 7)};
    for (std::size_t e : {0, 5, 8, 9}) seed->buttons[e].assignMacro(m, 1, 2, 0);
    std::vector<std::uint8_t> valid = test::BytesOf(*seed);
    valid.insert(valid.end(), valid.begin(), valid.end());

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
