#include "keys/EvdevKeys.h"

#include "keys/KeyboardLayout.h"

namespace halvern {

namespace {

struct FixedKey {
    std::uint16_t evdev;
    std::uint8_t virtualKey;
};

// Keys whose virtual key does not depend on the layout: modifiers, the navigation
// block, the keypad and the function row.
constexpr FixedKey kFixedKeys[] = {
    {1, 0x1B},   {14, 0x08},  {15, 0x09},  {28, 0x0D},  {29, 0xA2},  {42, 0xA0},  {54, 0xA1},  {55, 0x6A},  {56, 0xA4},
    {57, 0x20},  {58, 0x14},  {59, 0x70},  {60, 0x71},  {61, 0x72},  {62, 0x73},  {63, 0x74},  {64, 0x75},  {65, 0x76},
    {66, 0x77},  {67, 0x78},  {68, 0x79},  {69, 0x90},  {70, 0x91},  {71, 0x67},  {72, 0x68},  {73, 0x69},  {74, 0x6D},
    {75, 0x64},  {76, 0x65},  {77, 0x66},  {78, 0x6B},  {79, 0x61},  {80, 0x62},  {81, 0x63},  {82, 0x60},  {83, 0x6E},
    {87, 0x7A},  {88, 0x7B},  {96, 0x0D},  {97, 0xA3},  {98, 0x6F},  {99, 0x2C},  {100, 0xA5}, {102, 0x24}, {103, 0x26},
    {104, 0x21}, {105, 0x25}, {106, 0x27}, {107, 0x23}, {108, 0x28}, {109, 0x22}, {110, 0x2D}, {111, 0x2E}, {119, 0x13},
    {125, 0x5B}, {126, 0x5C}, {127, 0x5D},
};

}  // namespace

std::uint32_t VirtualKeyOfEvdevCode(unsigned evdevCode, const KeyboardLayout& layout) {
    for (const FixedKey& key : kFixedKeys)
        if (key.evdev == evdevCode) return key.virtualKey;
    return layout.scanCodeToVirtualKey(evdevCode);
}

}  // namespace halvern
