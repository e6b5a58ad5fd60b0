#include "HookMessages.h"

#include "keys/EvdevKeys.h"

namespace halvern::hook {

namespace {

constexpr std::uintptr_t kLeftDown = 0x201, kLeftUp = 0x202;
constexpr std::uintptr_t kRightDown = 0x204, kRightUp = 0x205;
constexpr std::uintptr_t kMiddleDown = 0x207, kMiddleUp = 0x208;
constexpr std::uintptr_t kSideDown = 0x20B, kSideUp = 0x20C;
// The recording reads side button 2 as the back button's code and 1 as forward's.
constexpr std::intptr_t kSideBack = 2, kSideForward = 1;

}  // namespace

std::optional<HookMessage> KeyMessage(unsigned xKeycode, bool pressed, const KeyboardLayout& layout) {
    if (xKeycode < kXkbKeycodeOffset) return std::nullopt;
    const std::uint32_t vk = VirtualKeyOfEvdevCode(xKeycode - kXkbKeycodeOffset, layout);
    if (vk == 0) return std::nullopt;
    return HookMessage{vk, pressed ? 0 : 1, false};
}

std::optional<HookMessage> ButtonMessage(unsigned xButton, bool pressed) {
    switch (xButton) {
        case 1: return HookMessage{pressed ? kLeftDown : kLeftUp, 0, true};
        case 2: return HookMessage{pressed ? kMiddleDown : kMiddleUp, 0, true};
        case 3: return HookMessage{pressed ? kRightDown : kRightUp, 0, true};
        case 8: return HookMessage{pressed ? kSideDown : kSideUp, kSideBack, true};
        case 9: return HookMessage{pressed ? kSideDown : kSideUp, kSideForward, true};
        default: return std::nullopt;
    }
}

}  // namespace halvern::hook
