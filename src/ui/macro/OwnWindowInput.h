// The editor's own keys and clicks in the hook library's terms, for desktops where the
// library cannot watch the whole session (Wayland): the same UM_HOOK_EVENT parameters
// the library would have posted for the same input.
#pragma once

#include <cstdint>
#include <optional>

class QEvent;

namespace halvern {

class KeyboardLayout;

struct OwnInputEvent {
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    bool mouse = false;
};

// A key press or release, or a mouse button press or release; nullopt for any other
// event and for keys without a virtual key.
std::optional<OwnInputEvent> OwnInputEventOf(const QEvent& event, const KeyboardLayout& layout);

}  // namespace halvern
