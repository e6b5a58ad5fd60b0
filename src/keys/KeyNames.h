// The names a user types for keys (halvernctl's key combinations and macro steps), one
// row per usage, in usage order: lowercase, the US key legends' names for the typing
// block, "kp-" for the keypad, "arrow-" for the arrows, the left modifiers by their
// plain names and the right ones with an "r", and the mouse buttons a macro step may
// press (codes 0xF1..0xF5) by the names the button assignments use.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace halvern {

struct KeyNameRow {
    std::uint8_t usage;
    std::string_view name;
};

// clang-format off
inline constexpr std::array<KeyNameRow, 109> kKeyNames = {{
    {0x04, "a"},
    {0x05, "b"},
    {0x06, "c"},
    {0x07, "d"},
    {0x08, "e"},
    {0x09, "f"},
    {0x0A, "g"},
    {0x0B, "h"},
    {0x0C, "i"},
    {0x0D, "j"},
    {0x0E, "k"},
    {0x0F, "l"},
    {0x10, "m"},
    {0x11, "n"},
    {0x12, "o"},
    {0x13, "p"},
    {0x14, "q"},
    {0x15, "r"},
    {0x16, "s"},
    {0x17, "t"},
    {0x18, "u"},
    {0x19, "v"},
    {0x1A, "w"},
    {0x1B, "x"},
    {0x1C, "y"},
    {0x1D, "z"},
    {0x1E, "1"},
    {0x1F, "2"},
    {0x20, "3"},
    {0x21, "4"},
    {0x22, "5"},
    {0x23, "6"},
    {0x24, "7"},
    {0x25, "8"},
    {0x26, "9"},
    {0x27, "0"},
    {0x28, "enter"},
    {0x29, "esc"},
    {0x2A, "backspace"},
    {0x2B, "tab"},
    {0x2C, "space"},
    {0x2D, "minus"},
    {0x2E, "equal"},
    {0x2F, "leftbracket"},
    {0x30, "rightbracket"},
    {0x31, "backslash"},
    {0x33, "semicolon"},
    {0x34, "apostrophe"},
    {0x35, "grave"},
    {0x36, "comma"},
    {0x37, "dot"},
    {0x38, "slash"},
    {0x39, "capslock"},
    {0x3A, "f1"},
    {0x3B, "f2"},
    {0x3C, "f3"},
    {0x3D, "f4"},
    {0x3E, "f5"},
    {0x3F, "f6"},
    {0x40, "f7"},
    {0x41, "f8"},
    {0x42, "f9"},
    {0x43, "f10"},
    {0x44, "f11"},
    {0x45, "f12"},
    {0x46, "printscreen"},
    {0x47, "scrolllock"},
    {0x48, "pause"},
    {0x49, "insert"},
    {0x4A, "home"},
    {0x4B, "pageup"},
    {0x4C, "delete"},
    {0x4D, "end"},
    {0x4E, "pagedown"},
    {0x4F, "arrow-right"},
    {0x50, "arrow-left"},
    {0x51, "arrow-down"},
    {0x52, "arrow-up"},
    {0x53, "numlock"},
    {0x54, "kp-slash"},
    {0x55, "kp-asterisk"},
    {0x56, "kp-minus"},
    {0x57, "kp-plus"},
    {0x58, "kp-enter"},
    {0x59, "kp-1"},
    {0x5A, "kp-2"},
    {0x5B, "kp-3"},
    {0x5C, "kp-4"},
    {0x5D, "kp-5"},
    {0x5E, "kp-6"},
    {0x5F, "kp-7"},
    {0x60, "kp-8"},
    {0x61, "kp-9"},
    {0x62, "kp-0"},
    {0x63, "kp-dot"},
    {0x65, "menu"},
    {0xE0, "ctrl"},
    {0xE1, "shift"},
    {0xE2, "alt"},
    {0xE3, "win"},
    {0xE4, "rctrl"},
    {0xE5, "rshift"},
    {0xE6, "ralt"},
    {0xE7, "rwin"},
    {0xF1, "left"},
    {0xF2, "right"},
    {0xF3, "middle"},
    {0xF4, "back"},
    {0xF5, "forward"},
}};
// clang-format on

// The name of a usage, or an empty view.
constexpr std::string_view KeyNameOf(std::uint32_t usage) {
    for (const KeyNameRow& row : kKeyNames)
        if (row.usage == usage) return row.name;
    return {};
}

// The usage a name stands for; false when no row has it.
constexpr bool KeyUsageOf(std::string_view name, std::uint8_t& usage) {
    for (const KeyNameRow& row : kKeyNames)
        if (row.name == name) {
            usage = row.usage;
            return true;
        }
    return false;
}

}  // namespace halvern
