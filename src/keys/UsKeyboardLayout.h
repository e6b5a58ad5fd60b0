// The US layout as a fixed table: the layout the key tables were drawn up for. Used
// by tests and as the fallback when no keymap can be compiled.
#pragma once

#include "keys/KeyboardLayout.h"

namespace halvern {

class UsKeyboardLayout final : public KeyboardLayout {
public:
    std::uint32_t virtualKeyToScanCode(std::uint32_t virtualKey) const override;
    std::uint32_t scanCodeToVirtualKey(std::uint32_t scanCode) const override;
    std::u16string characterOf(std::uint32_t virtualKey) const override;
};

}  // namespace halvern
