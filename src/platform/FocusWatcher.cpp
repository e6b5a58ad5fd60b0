#include "platform/FocusWatcher.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/KWinFocusWatcher.h"
#include "platform/WlrFocusWatcher.h"
#include "platform/XcbFocusWatcher.h"

Q_LOGGING_CATEGORY(lcFocus, "halvern.focus")

namespace halvern {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// XDG_CURRENT_DESKTOP is a colon-separated list ("ubuntu:GNOME").
bool Names(const std::string& desktops, std::string_view desktop) {
    const std::string all = ":" + Lower(desktops) + ":";
    return all.find(":" + std::string(desktop) + ":") != std::string::npos;
}

}  // namespace

DesktopSession DesktopSession::FromEnvironment() {
    DesktopSession session;
    session.sessionType = Lower(Variable("XDG_SESSION_TYPE"));
    session.currentDesktop = Variable("XDG_CURRENT_DESKTOP");
    session.hasX11Display = !Variable("DISPLAY").empty();
    session.hasWaylandDisplay = !Variable("WAYLAND_DISPLAY").empty();
    session.forced = Lower(Variable("HALVERN_FOCUS_SOURCE"));
    return session;
}

FocusSource ChooseFocusSource(const DesktopSession& session) {
    if (!session.forced.empty()) {
        for (FocusSource source :
             {FocusSource::X11, FocusSource::KWin, FocusSource::Wlroots, FocusSource::Xwayland, FocusSource::None})
            if (session.forced == FocusSourceName(source)) return source;
    }
    // Without a session type the displays that are there decide; a Wayland one first,
    // as an X11 display beside it is Xwayland.
    const bool wayland = session.sessionType == "wayland" || (session.sessionType.empty() && session.hasWaylandDisplay);
    if (!wayland) return session.hasX11Display ? FocusSource::X11 : FocusSource::None;
    if (Names(session.currentDesktop, "kde")) return FocusSource::KWin;
    if (Names(session.currentDesktop, "gnome"))
        return session.hasX11Display ? FocusSource::Xwayland : FocusSource::None;
    return session.hasWaylandDisplay ? FocusSource::Wlroots : FocusSource::None;
}

std::unique_ptr<FocusWatcher> CreateFocusWatcher(FocusSource source) {
    switch (source) {
        case FocusSource::X11:
        case FocusSource::Xwayland: return std::make_unique<XcbFocusWatcher>(source);
        case FocusSource::KWin: return std::make_unique<KWinFocusWatcher>();
        case FocusSource::Wlroots: return std::make_unique<WlrFocusWatcher>();
        case FocusSource::None: return nullptr;
    }
    return nullptr;
}

const char* FocusSourceName(FocusSource source) {
    switch (source) {
        case FocusSource::X11: return "x11";
        case FocusSource::KWin: return "kwin";
        case FocusSource::Wlroots: return "wlroots";
        case FocusSource::Xwayland: return "xwayland";
        case FocusSource::None: return "none";
    }
    return "none";
}

}  // namespace halvern
