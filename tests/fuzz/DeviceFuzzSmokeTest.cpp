// Runs the device fuzz targets over mutations of well-formed input on every test run,
// so a decoder that breaks its promises fails here even without a fuzzing build.
#include <gtest/gtest.h>

#include <random>

#include "DeviceFuzzTargets.h"
#include "FuzzSeeds.h"

namespace halvern::fuzz {
namespace {

using Target = void (*)(const std::uint8_t*, std::size_t);

void RunMutations(Target target, std::vector<Bytes> seeds, int rounds) {
    std::mt19937 rng(4242);
    seeds.push_back({});
    for (const Bytes& seed : seeds) target(seed.data(), seed.size());
    const std::uint8_t boundary[] = {0x00, 0x01, 0x02, 0x03, 0x08, 0x09, 0x0A, 0x10, 0x40,
                                     0x50, 0x64, 0x7F, 0x80, 0xC8, 0xEE, 0xFE, 0xFF};
    for (int round = 0; round < rounds; ++round) {
        Bytes input = seeds[rng() % seeds.size()];
        switch (rng() % 4) {
            case 0:
                if (!input.empty()) input.resize(rng() % input.size());
                break;
            case 1: input.insert(input.end(), rng() % 200, static_cast<std::uint8_t>(rng())); break;
            default:
                for (int e = 0, edits = 1 + static_cast<int>(rng() % 8); e < edits && !input.empty(); ++e)
                    input[rng() % input.size()] =
                        rng() % 2 ? boundary[rng() % std::size(boundary)] : static_cast<std::uint8_t>(rng());
        }
        target(input.data(), input.size());
    }
}

std::vector<Bytes> Seeds(const char* target) {
    auto seeds = ReadSeeds(HALVERN_FUZZ_SEEDS, target);
    EXPECT_FALSE(seeds.empty()) << "no seeds for " << target << "; run make_fuzz_seeds";
    return seeds;
}

TEST(DeviceFuzzSmoke, InputReports) { RunMutations(InputReportsInput, Seeds("InputReportsInput"), 3000); }

TEST(DeviceFuzzSmoke, BleNotifications) { RunMutations(BleNotificationsInput, Seeds("BleNotificationsInput"), 3000); }

TEST(DeviceFuzzSmoke, DriverMessages) { RunMutations(DriverMessagesInput, Seeds("DriverMessagesInput"), 3000); }

TEST(DeviceFuzzSmoke, HotplugNames) { RunMutations(HotplugNamesInput, Seeds("HotplugNamesInput"), 3000); }

TEST(DeviceFuzzSmoke, Firmware) { RunMutations(FirmwareInput, Seeds("FirmwareInput"), 3000); }

TEST(DeviceFuzzSmoke, BluezObjectTrees) { RunMutations(BluezObjectsInput, Seeds("BluezObjectsInput"), 3000); }

TEST(DeviceFuzzSmoke, BluezPropertiesChanged) {
    RunMutations(BluezPropertiesChangedInput, Seeds("BluezPropertiesChangedInput"), 3000);
}

TEST(DeviceFuzzSmoke, CableReports) { RunMutations(CableReportsInput, Seeds("CableReportsInput"), 500); }

}  // namespace
}  // namespace halvern::fuzz
