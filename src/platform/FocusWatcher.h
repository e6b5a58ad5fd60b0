// Which application has the window in front, as the desktop tells it, without polling:
// each source waits on the desktop's own notice of a change (an X property event, a
// D-Bus call, a Wayland event) in the main thread's event loop, and costs nothing while
// the focus stays where it is.
//
// One source per desktop, chosen once at start (ChooseFocusSource):
//   X11        _NET_ACTIVE_WINDOW on the root window, read on its property-change
//              events; an application is named by the window's WM_CLASS (instance, then
//              class). Games under Wine or Proton are X11 windows named after their
//              executable.
//   KWin       KDE Plasma on Wayland: a small KWin script, loaded over D-Bus, calls
//              back on the session bus when a window is activated, added or removed.
//   Wlroots    sway, Hyprland, labwc and other wlroots compositors: the
//              foreign-toplevel protocol on a Wayland connection of its own; the
//              application is the toplevel's app id.
//   Xwayland   GNOME on Wayland tells programs nothing of its own windows; X11 windows
//              (Xwayland) are still reported through _NET_ACTIVE_WINDOW, as on X11.
//   None       nothing to watch: the desktop offers no way (or no display is there).
//
// Main thread only. The watcher reports on the main thread, after start() returned.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace halvern {

enum class FocusSource { X11, KWin, Wlroots, Xwayland, None };

// What the desktop names the window in front by, most specific first: a Wayland app id,
// or WM_CLASS's instance and class (one when they are equal). Empty: no window is in
// front, or the desktop gives it no name.
struct FocusedWindow {
    std::vector<std::string> names;
    bool operator==(const FocusedWindow&) const = default;
};

class FocusWatcher {
public:
    using Listener = std::function<void(const FocusedWindow&)>;

    virtual ~FocusWatcher() = default;

    virtual FocusSource source() const = 0;
    // Connects to the desktop and starts listening; the listener hears of every change
    // of the window in front, and once of the window in front at start as soon as it is
    // known. False, with error() set, when the desktop could not be reached.
    virtual bool start(Listener listener) = 0;
    // The window in front as last heard of.
    virtual FocusedWindow focused() const = 0;
    // The applications that have windows now (what a rule could name), each once, in
    // the desktop's order. May ask the desktop and wait for its answer.
    virtual std::vector<std::string> applications() = 0;
    virtual QString error() const { return {}; }
};

// The desktop as the session's environment describes it.
struct DesktopSession {
    std::string sessionType;         // XDG_SESSION_TYPE: "x11", "wayland", ...
    std::string currentDesktop;      // XDG_CURRENT_DESKTOP, e.g. "KDE", "ubuntu:GNOME", "sway"
    bool hasX11Display = false;      // DISPLAY set
    bool hasWaylandDisplay = false;  // WAYLAND_DISPLAY set
    std::string forced;              // HALVERN_FOCUS_SOURCE: x11, kwin, wlroots, none (tests)

    static DesktopSession FromEnvironment();
};

// The source for that desktop. A Wayland desktop that is neither KDE nor GNOME is taken
// for a wlroots one; whether its compositor offers the protocol shows when it starts.
FocusSource ChooseFocusSource(const DesktopSession& session);

// A watcher of that source; null for None.
std::unique_ptr<FocusWatcher> CreateFocusWatcher(FocusSource source);

// The source's name in logs and in halvernctl: "x11", "kwin", "wlroots", "xwayland", "none".
const char* FocusSourceName(FocusSource source);

}  // namespace halvern
