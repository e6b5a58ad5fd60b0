// Numeric edit boxes keep their text to the digits 0..9 as the user types.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace halvern {

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
