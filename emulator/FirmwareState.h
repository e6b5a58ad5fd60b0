// What the virtual mouse holds, decoded from the reports it accepted, and what it
// should hold after a profile was applied.
//
// Both are in the mouse's terms: DPI levels as level values, the light's fields as
// the report packs them, buttons as their three device bytes, macros as the steps
// reassembled from their chunks. Where the report format loses information the
// expectation loses it the same way (a delay of 0 or 1 ms arrives as 2, the
// brightness counts only for the effects 1 and 9).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "records/MouseProfile.h"

namespace halvern::emu {

struct MacroStep {
    std::uint8_t key = 0;
    std::uint8_t kind = 0;  // 1 press, 2 release
    int delay = 0;          // ms
    friend bool operator==(const MacroStep&, const MacroStep&) = default;
};

struct FirmwareMacro {
    bool complete = false;  // every block of the chain was there
    std::uint8_t mode = 0;
    std::array<std::uint8_t, 3> header{};
    std::uint8_t loopCount = 0;
    std::vector<MacroStep> steps;
    friend bool operator==(const FirmwareMacro&, const FirmwareMacro&) = default;
};

struct FirmwareState {
    int angleSnap = 0;
    int rippleControl = 0;
    std::array<int, 8> dpiValue{};  // level values; above 300 only even ones are told apart
    std::array<bool, 8> dpiEnabled{};
    int dpiLevel = 1;  // 1..8
    std::array<RgbColor, 8> dpiColor{};

    int lightEffect = 0;
    int breathSpeed = 0;
    int sleepTimer = 0;  // the low byte
    int brightness = 0;  // the low four bits
    RgbColor lightColor;
    int lightOffTimer = 0;
    int keyDebounce = 0;

    int pollingInterval = 1;  // ms: 1, 2, 4 or 8

    std::array<std::array<std::uint8_t, 3>, kButtonPositions> buttons{};
    // Button entry -> its macro, for the entries whose device bytes name a block.
    std::map<int, FirmwareMacro> macros;

    friend bool operator==(const FirmwareState&, const FirmwareState&) = default;
};

// The state a mouse should hold after `profile` was applied in full.
FirmwareState ExpectedState(const MouseProfile& profile);

// One line per field that differs, "field: actual X, expected Y"; empty when equal.
std::vector<std::string> Differences(const FirmwareState& actual, const FirmwareState& expected);

// The level value the register byte, range flag and high-range bit stand for; -1
// when no value encodes to them.
int DecodeDpiLevel(std::uint8_t reg, bool rangeFlag, bool highRange);

// The three device bytes of an assignment, from the mouse's own table.
std::array<std::uint8_t, 3> DeviceBytes(const ButtonAssignment& button, std::size_t entry);

}  // namespace halvern::emu
