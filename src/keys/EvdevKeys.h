// Linux key codes (evdev, as X and Wayland key codes less 8) to Windows virtual keys,
// the form every recorded and captured key takes.
#pragma once

#include <cstdint>

namespace halvern {

class KeyboardLayout;

// X and Wayland (xkb) key codes are evdev key codes plus 8.
inline constexpr unsigned kXkbKeycodeOffset = 8;

// The virtual key of an evdev key code: keys that type nothing by their fixed code,
// the others as the layout places them; 0 when the key has no virtual key.
std::uint32_t VirtualKeyOfEvdevCode(unsigned evdevCode, const KeyboardLayout& layout);

}  // namespace halvern
