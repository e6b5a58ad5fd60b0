#include "platform/WindowActivation.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "platform/DataPaths.h"

namespace halvern {

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply) return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

xcb_window_t RootOf(xcb_connection_t* connection, xcb_window_t window) {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr);
    if (!tree) return XCB_WINDOW_NONE;
    const xcb_window_t root = tree->root;
    std::free(tree);
    return root;
}

// The startup notification message, in the 20-byte pieces client messages carry: the
// first piece typed _NET_STARTUP_INFO_BEGIN, the others _NET_STARTUP_INFO, the text
// ending with its NUL.
void SendStartupMessage(xcb_connection_t* connection, xcb_window_t root, const QByteArray& message) {
    const xcb_atom_t begin = Atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = Atom(connection, "_NET_STARTUP_INFO");
    if (begin == XCB_ATOM_NONE || more == XCB_ATOM_NONE) return;
    const qsizetype length = message.size() + 1;
    for (qsizetype sent = 0; sent < length; sent += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = root;
        event.type = sent == 0 ? begin : more;
        const qsizetype piece = std::min<qsizetype>(20, length - sent);
        std::memcpy(event.data.data8, message.constData() + sent, static_cast<std::size_t>(piece));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char*>(&event));
    }
}

void ActivateOnX11(QWindow* window, const QByteArray& startupId) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_window_t root = RootOf(connection, id);
    if (root == XCB_WINDOW_NONE) return;
    const xcb_atom_t startupAtom = Atom(connection, "_NET_STARTUP_ID");
    const xcb_atom_t utf8 = Atom(connection, "UTF8_STRING");
    const xcb_atom_t active = Atom(connection, "_NET_ACTIVE_WINDOW");
    if (startupAtom != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE)
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, startupAtom, utf8, 8,
                            static_cast<std::uint32_t>(startupId.size()), startupId.constData());
    if (active != XCB_ATOM_NONE) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = id;
        event.type = active;
        event.data.data32[0] = 1;  // from an application
        event.data.data32[1] = StartupIdTime(startupId);
        event.data.data32[2] = XCB_WINDOW_NONE;
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    }
    SendStartupMessage(connection, root, "remove: ID=" + startupId);
    xcb_flush(connection);
}

}  // namespace

WindowSystem WindowSystemNamed(const QString& platformName) {
    if (platformName.startsWith(u"wayland"_qs)) return WindowSystem::Wayland;
    if (platformName == u"xcb") return WindowSystem::X11;
    return WindowSystem::Other;
}

WindowSystem CurrentWindowSystem() { return WindowSystemNamed(QGuiApplication::platformName()); }

LaunchTokens LaunchTokens::FromEnvironment() {
    LaunchTokens tokens;
    if (auto value = EnvironmentValue("XDG_ACTIVATION_TOKEN")) tokens.xdgActivation = QByteArray::fromStdString(*value);
    if (auto value = EnvironmentValue("DESKTOP_STARTUP_ID")) tokens.startupId = QByteArray::fromStdString(*value);
    return tokens;
}

QByteArray LaunchTokens::forSystem(WindowSystem system) const {
    const bool x11 = system == WindowSystem::X11;
    const QByteArray& own = x11 ? startupId : xdgActivation;
    return !own.isEmpty() ? own : x11 ? xdgActivation : startupId;
}

std::uint32_t StartupIdTime(QByteArrayView startupId) {
    constexpr QByteArrayView kTime = "_TIME";
    const qsizetype at = startupId.lastIndexOf(kTime);
    if (at < 0) return 0;
    const QByteArrayView digits = startupId.sliced(at + kTime.size());
    std::uint32_t time = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), time);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.isEmpty()) return 0;
    return time;
}

void ActivateWindow(QWindow* window, const QByteArray& token) {
    if (!window) return;
    const WindowSystem system = CurrentWindowSystem();
    if (!token.isEmpty() && system == WindowSystem::Wayland) qputenv("XDG_ACTIVATION_TOKEN", token);
    if (!token.isEmpty() && system == WindowSystem::X11) ActivateOnX11(window, token);
    window->requestActivate();
    // Read at once when the compositor offers xdg-activation; without it the token
    // would linger for the next activation, long after it was spent.
    qunsetenv("XDG_ACTIVATION_TOKEN");
}

}  // namespace halvern
