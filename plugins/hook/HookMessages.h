// What the hook library posts for one raw input event: the UM_HOOK_EVENT parameters
// of halvern_abi.h, worked out from the X server's key codes and button numbers. Pure
// functions, apart from the thread that reads the events.
#pragma once

#include <cstdint>
#include <optional>

namespace halvern {

class KeyboardLayout;

namespace hook {

struct HookMessage {
    std::uintptr_t wParam = 0;  // virtual-key code or mouse message id
    std::intptr_t lParam = 0;   // key: 0 press, 1 release; side buttons: 1 or 2
    bool mouse = false;         // posted only while mouse events are enabled

    friend bool operator==(const HookMessage&, const HookMessage&) = default;
};

// The message for an X key code, nullopt for a key without a virtual key.
std::optional<HookMessage> KeyMessage(unsigned xKeycode, bool pressed, const KeyboardLayout& layout);

// The message for an X pointer button (1 left, 2 middle, 3 right, 8 back, 9 forward);
// nullopt for the wheel and every other button.
std::optional<HookMessage> ButtonMessage(unsigned xButton, bool pressed);

}  // namespace hook
}  // namespace halvern
