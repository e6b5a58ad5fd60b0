// The key code tables: every key the program stores, shows or sends is one byte
// holding a keyboard HID usage id (codes 0xF1..0xF5 are mouse buttons). Keys arrive
// as Windows virtual-key codes from the hook library and are shown by name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace halvern {

class KeyboardLayout;
class LanguageTexts;

struct KeyCodeRow {
    std::int32_t virtualKey;
    std::int32_t usageId;
    std::int32_t scanCode;  // set-1 make code in the typing block and function row, else 0
};

inline constexpr std::size_t kKeyCodeRows = 112;
extern const std::array<KeyCodeRow, kKeyCodeRows> KeyCodeTable;

struct UsageLookup {
    bool found = false;
    std::uint32_t usage = 0;
};

// Virtual key to usage id. For keys of the typing block and the function row the usage
// is that of the physical key under the active layout, so an AZERTY "A" records the
// usage of the key it sits on.
UsageLookup VirtualKeyToUsage(std::int32_t virtualKey, const KeyboardLayout& layout);

// Usage id to display name; never fails, codes without a name give an empty text.
std::u16string UsageToKeyName(std::uint32_t usage, const KeyboardLayout& layout, const LanguageTexts& texts);

// Virtual key to display name: a fixed text for named keys, else the upper-cased
// character the layout types for it.
std::u16string VirtualKeyToKeyName(std::uint32_t virtualKey, const KeyboardLayout& layout, const LanguageTexts& texts);

// The filter numeric boxes run on every text change: every character outside '0'..'9'
// is removed. `changed` tells whether the box must take the new text, with the caret
// at its end.
struct DigitsOnly {
    std::u16string text;
    std::size_t caret = 0;
    bool changed = false;
};
DigitsOnly KeepDigitsOnly(std::u16string_view text);

}  // namespace halvern
