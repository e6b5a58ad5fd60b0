// Runs the device fuzz targets over mutations of well-formed input on every test run,
// so a decoder that breaks its promises fails here even without a fuzzing build.
#include <gtest/gtest.h>

#include <random>

#include "DeviceFuzzTargets.h"

namespace halvern::fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Target = void (*)(const std::uint8_t*, std::size_t);

void RunMutations(Target target, std::vector<Bytes> seeds, int rounds) {
    std::mt19937 rng(4242);
    seeds.push_back({});
    for (const Bytes& seed : seeds) target(seed.data(), seed.size());
    const std::uint8_t boundary[] = {0x00, 0x01, 0x02, 0x03, 0x08, 0x09, 0x0A, 0x10, 0x40, 0x50, 0x64, 0x7F, 0x80, 0xC8, 0xEE, 0xFE, 0xFF};
    for (int round = 0; round < rounds; ++round) {
        Bytes input = seeds[rng() % seeds.size()];
        switch (rng() % 4) {
            case 0:
                if (!input.empty()) input.resize(rng() % input.size());
                break;
            case 1:
                input.insert(input.end(), rng() % 200, static_cast<std::uint8_t>(rng()));
                break;
            default:
                for (int e = 0, edits = 1 + static_cast<int>(rng() % 8); e < edits && !input.empty(); ++e)
                    input[rng() % input.size()] = rng() % 2 ? boundary[rng() % std::size(boundary)] : static_cast<std::uint8_t>(rng());
        }
        target(input.data(), input.size());
    }
}

// Receiver reports 03 EE code value, each after its length byte.
Bytes Reports(std::initializer_list<std::pair<std::uint8_t, std::uint16_t>> events) {
    Bytes out;
    for (auto [code, value] : events)
        out.insert(out.end(), {5, 0x03, 0xEE, code, static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)});
    return out;
}

TEST(DeviceFuzzSmoke, InputReports) {
    RunMutations(InputReportsInput,
                 {Reports({{0x40, 0x5A01}, {0x10, 3}, {0x20, 1}, {0x50, 0}, {0x60, 7}, {0x70, 0x50}, {0x80, 1}}),
                  Reports({{0x10, 9}, {0x40, 0xC801}, {0x40, 0x0003}})},
                 3000);
}

TEST(DeviceFuzzSmoke, BleNotifications) {
    RunMutations(BleNotificationsInput,
                 {{4, 0xEE, 0x10, 2, 0, 4, 0xEE, 0x40, 0x01, 0x3C, 4, 0xEE, 0x50, 0, 0, 2, 0xEE, 0x20}}, 3000);
}

TEST(DeviceFuzzSmoke, DriverMessages) {
    RunMutations(DriverMessagesInput,
                 {{0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0xEE, 0x10, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
                 3000);
}

TEST(DeviceFuzzSmoke, HotplugNames) {
    std::string seed = std::string("add") + '\0' + "/devices/x/0003:1D57:FA60.0004/hidraw/hidraw3" + '\0' +
                       "\\\\?\\HID#{00001124-0000-1000-8000-00805F9B34FB}_VID&02045E_PID&00EE#/dev/hidraw7";
    RunMutations(HotplugNamesInput, {Bytes(seed.begin(), seed.end())}, 3000);
}

TEST(DeviceFuzzSmoke, Firmware) {
    Bytes polling = {9, 0, 0x06, 0x09, 0x01, 0x01, 0xFE, 0, 0, 0, 0};
    Bytes preamble = {10, 1, 0x0C, 0x0A, 0x01, 0xFE, 0x01, 0xFE, 0, 0, 0, 0};
    Bytes part = {64, 0, 0x09, 0x40, 0x01, 0x00};
    part.resize(66, 0);
    Bytes seed = polling;
    seed.insert(seed.end(), preamble.begin(), preamble.end());
    seed.insert(seed.end(), part.begin(), part.end());
    RunMutations(FirmwareInput, {seed}, 3000);
}

}  // namespace
}  // namespace halvern::fuzz
