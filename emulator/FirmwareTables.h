// The mouse's own tables, as its firmware holds them: the sensor register of each DPI
// level value and the three device bytes of each button assignment.
//
// The protocol has the same tables for building reports. This copy is deliberate: the
// virtual mouse decodes what it receives with its own tables, so a slip in the
// builders' tables shows up as a mouse state that differs from the profile applied.
#pragma once

#include <array>
#include <cstdint>

namespace halvern::emu {

// Sensor register byte of level value v, index 0..220.
inline constexpr std::array<std::uint8_t, 221> kSensorRegister = {
    0,   1,   2,   3,   4,   5,   6,   8,   9,   10,  11,  12,  14,  15,  16,  17,  18,  19,  21,  22,   //   0..19
    23,  24,  25,  27,  28,  29,  30,  31,  32,  34,  35,  36,  37,  38,  39,  41,  42,  43,  44,  45,   //  20..39
    47,  48,  49,  50,  51,  52,  54,  55,  56,  57,  58,  59,  61,  62,  63,  64,  65,  67,  68,  69,   //  40..59
    70,  71,  72,  74,  75,  76,  77,  78,  79,  81,  82,  83,  84,  85,  87,  88,  89,  90,  91,  92,   //  60..79
    94,  95,  96,  97,  98,  99,  101, 102, 103, 104, 105, 107, 108, 109, 110, 111, 112, 114, 115, 116,  //  80..99
    117, 118, 119, 121, 122, 123, 124, 125, 127, 128, 129, 130, 131, 132, 134, 135, 136, 137, 138, 139,  // 100..119
    141, 142, 143, 144, 145, 147, 148, 149, 150, 151, 152, 154, 155, 156, 157, 158, 159, 161, 162, 163,  // 120..139
    164, 165, 167, 168, 169, 170, 171, 172, 174, 175, 176, 177, 178, 179, 181, 182, 183, 184, 185, 187,  // 140..159
    188, 189, 190, 191, 192, 194, 195, 196, 197, 198, 199, 201, 202, 203, 204, 205, 207, 208, 209, 210,  // 160..179
    211, 212, 214, 215, 216, 217, 218, 219, 221, 222, 223, 224, 225, 227, 228, 229, 230, 231, 232, 234,  // 180..199
    235, 118, 119, 121, 122, 123, 124, 125, 127, 128, 129, 130, 131, 132, 134, 135, 136, 137, 138, 139,
    141,  // 200..220
};

struct DeviceCode {
    std::uint8_t function;
    std::uint8_t bytes[3];
};

// Assignment code to device bytes; a code not listed is sent as 00 00 00. For code 16
// the last two bytes are the modifiers and the key, for code 17 zero and the macro's
// first block.
// clang-format off
inline constexpr DeviceCode kDeviceCodes[] = {
    {0, {0x01, 0x00, 0x00}},   {1, {0x02, 0x00, 0x00}},   {2, {0x03, 0x00, 0x00}},
    {3, {0x04, 0x00, 0x00}},   {4, {0x06, 0x00, 0x00}},   {5, {0x05, 0x00, 0x00}},
    {6, {0x0D, 0x00, 0x00}},   {7, {0x0E, 0x00, 0x00}},   {8, {0x0F, 0x00, 0x00}},
    {9, {0x07, 0x00, 0x00}},   {10, {0x08, 0x00, 0x00}},  {11, {0x09, 0x00, 0x00}},
    {12, {0x0A, 0x00, 0x00}},  {13, {0x0B, 0x00, 0x00}},  {14, {0x0C, 0x00, 0x00}},
    {16, {0x11, 0x00, 0x00}},  {17, {0x12, 0x00, 0x00}},  {19, {0x13, 0x00, 0x00}},
    {21, {0x2B, 0x00, 0x00}},  {22, {0x10, 0x00, 0x09}},  {23, {0x29, 0x00, 0x03}},
    {32, {0x11, 0x01, 0x1B}},  {33, {0x11, 0x01, 0x06}},  {34, {0x11, 0x01, 0x19}},
    {35, {0x11, 0x01, 0x12}},  {36, {0x11, 0x01, 0x16}},  {37, {0x11, 0x01, 0x09}},
    {38, {0x11, 0x01, 0x1C}},  {39, {0x11, 0x01, 0x1D}},  {40, {0x11, 0x01, 0x04}},
    {41, {0x11, 0x01, 0x13}},  {42, {0x11, 0x04, 0x3D}},  {43, {0x11, 0x04, 0x2B}},
    {44, {0x11, 0x08, 0x07}},  {45, {0x11, 0x08, 0x15}},  {46, {0x11, 0x08, 0x0F}},
    {47, {0x11, 0x01, 0x11}},  {48, {0x11, 0x01, 0x2E}},  {49, {0x11, 0x01, 0x2D}},
    {50, {0x11, 0x0A, 0x16}},  {54, {0x34, 0x00, 0x00}},  {55, {0x35, 0x00, 0x00}},
    {56, {0x36, 0x00, 0x00}},  {64, {0x15, 0x00, 0x00}},  {65, {0x18, 0x00, 0x00}},
    {66, {0x19, 0x00, 0x00}},  {67, {0x16, 0x00, 0x00}},  {68, {0x17, 0x00, 0x00}},
    {69, {0x1B, 0x00, 0x00}},  {70, {0x1C, 0x00, 0x00}},  {71, {0x1A, 0x00, 0x00}},
    {80, {0x25, 0x00, 0x00}},  {81, {0x11, 0x03, 0x12}},  {82, {0x20, 0x00, 0x00}},
    {83, {0x21, 0x00, 0x00}},  {84, {0x22, 0x00, 0x00}},  {85, {0x24, 0x00, 0x00}},
    {86, {0x26, 0x00, 0x00}},  {87, {0x1E, 0x00, 0x00}},  {88, {0x1D, 0x00, 0x00}},
    {89, {0x23, 0x00, 0x00}},  {112, {0x28, 0x00, 0x00}}, {115, {0x14, 0x00, 0x00}},
    {121, {0x3C, 0x00, 0x00}},
};
// clang-format on

// First macro block of button entries 0..17; 0 = the button has no macro blocks.
inline constexpr std::array<std::uint8_t, 18> kMacroFirstBlock = {1,  5, 9, 13, 17, 0, 0, 0, 21,
                                                                  25, 0, 0, 0,  0,  0, 0, 0, 0};
inline constexpr int kBlocksPerMacro = 4;
inline constexpr int kLastMacroBlock = 28;

}  // namespace halvern::emu
