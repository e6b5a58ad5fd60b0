// Runs the single-instance line target over its seeds and every short line on every
// test run.
#include <gtest/gtest.h>

#include <string>

#include "FuzzSeeds.h"
#include "ShellFuzzTargets.h"

namespace halvern::fuzz {
namespace {

TEST(ShellFuzzSmoke, SingleInstanceLines) {
    auto seeds = ReadSeeds(HALVERN_FUZZ_SEEDS, "SingleInstanceLineInput");
    ASSERT_FALSE(seeds.empty()) << "no seeds; run make_fuzz_seeds";
    for (const Bytes& seed : seeds) SingleInstanceLineInput(seed.data(), seed.size());
    // Both requests cut at every point, with every byte after it, and past the cap.
    for (const std::string request : {"activate\n", "activate tok_TIME1\n"}) {
        for (std::size_t cut = 0; cut <= request.size(); ++cut)
            for (int b = 0; b < 256; ++b) {
                std::string line = request.substr(0, cut) + static_cast<char>(b) + "\n";
                SingleInstanceLineInput(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
            }
        const std::string flood = request + std::string(600, 'x');
        SingleInstanceLineInput(reinterpret_cast<const std::uint8_t*>(flood.data()), flood.size());
    }
}

}  // namespace
}  // namespace halvern::fuzz
