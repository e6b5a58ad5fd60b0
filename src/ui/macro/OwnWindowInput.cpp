#include "ui/macro/OwnWindowInput.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include "keys/EvdevKeys.h"

namespace halvern {

namespace {

std::optional<OwnInputEvent> KeyEventOf(const QKeyEvent& key, const KeyboardLayout& layout) {
    // The native scan code is the xkb key code on X11 and on Wayland alike.
    const quint32 code = key.nativeScanCode();
    if (code < kXkbKeycodeOffset) return std::nullopt;
    const std::uint32_t vk = VirtualKeyOfEvdevCode(code - kXkbKeycodeOffset, layout);
    if (vk == 0) return std::nullopt;
    return OwnInputEvent{vk, key.type() == QEvent::KeyRelease ? 1 : 0, false};
}

std::optional<OwnInputEvent> MouseEventOf(const QMouseEvent& mouse) {
    const bool down = mouse.type() == QEvent::MouseButtonPress || mouse.type() == QEvent::MouseButtonDblClick;
    switch (mouse.button()) {
        case Qt::LeftButton: return OwnInputEvent{down ? 0x201u : 0x202u, 0, true};
        case Qt::RightButton: return OwnInputEvent{down ? 0x204u : 0x205u, 0, true};
        case Qt::MiddleButton: return OwnInputEvent{down ? 0x207u : 0x208u, 0, true};
        case Qt::BackButton: return OwnInputEvent{down ? 0x20Bu : 0x20Cu, 2, true};
        case Qt::ForwardButton: return OwnInputEvent{down ? 0x20Bu : 0x20Cu, 1, true};
        default: return std::nullopt;
    }
}

}  // namespace

std::optional<OwnInputEvent> OwnInputEventOf(const QEvent& event, const KeyboardLayout& layout) {
    switch (event.type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: return KeyEventOf(static_cast<const QKeyEvent&>(event), layout);
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: return MouseEventOf(static_cast<const QMouseEvent&>(event));
        default: return std::nullopt;
    }
}

}  // namespace halvern
