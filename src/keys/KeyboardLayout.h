// The active keyboard layout, as the key tables need it: which physical key (set-1
// scan code) a Windows virtual-key code sits on, the reverse, and the character a key
// types with no modifier held.
//
// Scan codes here are set-1 make codes, which equal Linux evdev key codes for the
// typing block and the function row. Virtual-key codes follow Windows' conventions so
// that stored and recorded values mean the same on every system.
#pragma once

#include <cstdint>
#include <string>

namespace halvern {

class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;

    // The scan code of the key that produces this virtual key, or 0 when none does.
    virtual std::uint32_t virtualKeyToScanCode(std::uint32_t virtualKey) const = 0;

    // The virtual key of the key with this scan code, or 0 when the layout has none.
    virtual std::uint32_t scanCodeToVirtualKey(std::uint32_t scanCode) const = 0;

    // The text the key of this virtual key types with no modifier held (a dead key
    // gives its spacing character), or empty when it types nothing.
    virtual std::u16string characterOf(std::uint32_t virtualKey) const = 0;
};

}  // namespace halvern
