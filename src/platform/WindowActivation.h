// Bringing a window to the front when a second start asks for it. Desktops let a window
// take the focus only for a start the user made: the launcher hands the new process a
// token (Wayland's xdg-activation: XDG_ACTIVATION_TOKEN; X11's startup notification:
// DESKTOP_STARTUP_ID), and the second start passes it to the running copy, which
// activates its window with it. Main thread only.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

class QWindow;

namespace halvern {

enum class WindowSystem { Wayland, X11, Other };

// The window system Qt's platform plugin talks to ("wayland", "wayland-egl", "xcb").
WindowSystem WindowSystemNamed(const QString& platformName);
WindowSystem CurrentWindowSystem();

// The tokens this process was started with. Read before the Qt application exists:
// Qt's X11 plugin takes DESKTOP_STARTUP_ID out of the environment as it connects.
struct LaunchTokens {
    QByteArray xdgActivation;  // XDG_ACTIVATION_TOKEN
    QByteArray startupId;      // DESKTOP_STARTUP_ID

    static LaunchTokens FromEnvironment();
    // The one of `system` first, else the other (a launcher on Wayland may give an X11
    // program a startup id). Empty when neither was set.
    QByteArray forSystem(WindowSystem system) const;
};

// The X server time at the end of a startup id ("..._TIME<decimal>"), or 0, which
// window managers read as "no time known".
std::uint32_t StartupIdTime(QByteArrayView startupId);

// Asks for `window` (shown and raised) to be activated, with `token` when there is one:
// - Wayland: Qt's plugin takes the token from XDG_ACTIVATION_TOKEN when the window asks
//   to be activated and sends it with xdg_activation_v1.activate; the variable is
//   removed again by it.
// - X11: the window gets _NET_STARTUP_ID, the window manager a _NET_ACTIVE_WINDOW
//   request from an application with the id's time, and the launcher the end of the
//   start ("remove: ID=..."), so that its busy cursor stops.
void ActivateWindow(QWindow* window, const QByteArray& token);

}  // namespace halvern
