// A control's notification as the windows and pages see it: a type name, the sender
// and two parameters. Windows route by type, then compare the sender with the control
// references they found by name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace halvern::kit {

class Control;

// The notification type names controls raise. Each kind's list is in res/README.md.
namespace notify {
inline constexpr std::string_view kClick = "click";
inline constexpr std::string_view kSelectChanged = "selectchanged";
inline constexpr std::string_view kItemSelect = "itemselect";
inline constexpr std::string_view kCheckClick = "checkclick";
inline constexpr std::string_view kKillFocus = "killfocus";
inline constexpr std::string_view kSetFocus = "setfocus";
inline constexpr std::string_view kReturn = "return";
inline constexpr std::string_view kValueChanged = "valuechanged";
inline constexpr std::string_view kTextChanged = "textchanged";
inline constexpr std::string_view kTimer = "timer";
inline constexpr std::string_view kMouseEnter = "mouseenter";
inline constexpr std::string_view kMouseLeave = "mouseleave";
inline constexpr std::string_view kColorChanged = "colorchanged";
inline constexpr std::string_view kColorChangedButtonUp = "colorchangedbuttonup";
}  // namespace notify

// Whether a program change raises the notification a user's change would raise.
enum class Notify { No, Yes };

struct Notification {
    std::string type;
    Control* sender = nullptr;
    // Kind-specific: "itemselect" new row in wParam and old row in lParam; "timer" the
    // timer id in wParam; "checkclick" and "selectchanged" the new state in wParam.
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    // The virtual window the sender belongs to (the nearest "virtualwnd" of its
    // layout ancestors), empty when none.
    std::string virtualWindow;
};

// Receives the notifications of the controls of one virtual window.
class NotifyPump {
public:
    virtual ~NotifyPump() = default;
    virtual void notify(const Notification& n) = 0;
};

}  // namespace halvern::kit
