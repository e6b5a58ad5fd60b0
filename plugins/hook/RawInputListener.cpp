#include "RawInputListener.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/XkbKeyboardLayout.h"

namespace halvern::hook {

struct RawInputListener::Connection {
    Display* display = nullptr;
    int xiOpcode = 0;
    int wakeFd = -1;  // written once to end the thread
    ~Connection() {
        if (display) XCloseDisplay(display);
        if (wakeFd >= 0) close(wakeFd);
    }
};

namespace {

bool IsWaylandSession() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* session = std::getenv("XDG_SESSION_TYPE");
    return (wayland && *wayland) || (session && std::strcmp(session, "wayland") == 0);
}

bool SelectRawEvents(Display* display) {
    unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(mask, XI_RawKeyPress);
    XISetMask(mask, XI_RawKeyRelease);
    XISetMask(mask, XI_RawButtonPress);
    XISetMask(mask, XI_RawButtonRelease);
    XIEventMask events{XIAllMasterDevices, static_cast<int>(sizeof mask), mask};
    if (XISelectEvents(display, DefaultRootWindow(display), &events, 1) != Success) return false;
    // The selection is in place once the server has answered; input after Start()
    // returns is seen.
    XSync(display, False);
    return true;
}

std::optional<HookMessage> MessageOf(const XIRawEvent& raw, const KeyboardLayout& layout) {
    const unsigned detail = static_cast<unsigned>(raw.detail);
    switch (raw.evtype) {
        case XI_RawKeyPress: return KeyMessage(detail, true, layout);
        case XI_RawKeyRelease: return KeyMessage(detail, false, layout);
        case XI_RawButtonPress: return ButtonMessage(detail, true);
        case XI_RawButtonRelease: return ButtonMessage(detail, false);
        default: return std::nullopt;
    }
}

}  // namespace

std::unique_ptr<RawInputListener> RawInputListener::Start(Sink sink, std::string& error) {
    if (IsWaylandSession()) {
        error = "a Wayland session: the X server does not see input to Wayland windows";
        return nullptr;
    }
    auto connection = std::make_unique<Connection>();
    connection->display = XOpenDisplay(nullptr);
    if (!connection->display) {
        error = "no X display";
        return nullptr;
    }
    int event = 0, xiError = 0;
    if (!XQueryExtension(connection->display, "XInputExtension", &connection->xiOpcode, &event, &xiError)) {
        error = "the X server has no XInput extension";
        return nullptr;
    }
    // 2.1 and later deliver raw events to the root window even while a client holds a grab.
    int major = 2, minor = 2;
    if (XIQueryVersion(connection->display, &major, &minor) != Success || major < 2 || (major == 2 && minor < 1)) {
        error = "the X server's XInput is older than 2.1";
        return nullptr;
    }
    if (!SelectRawEvents(connection->display)) {
        error = "raw input events could not be selected";
        return nullptr;
    }
    connection->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (connection->wakeFd < 0) {
        error = "no event descriptor for the input thread";
        return nullptr;
    }
    return std::unique_ptr<RawInputListener>(new RawInputListener(std::move(connection), std::move(sink)));
}

RawInputListener::RawInputListener(std::unique_ptr<Connection> connection, Sink sink)
    : connection_(std::move(connection)), sink_(std::move(sink)), layout_(XkbKeyboardLayout::FromEnvironment()) {
    thread_ = std::thread([this] { run(); });
}

RawInputListener::~RawInputListener() {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(connection_->wakeFd, &one, sizeof one);
    if (thread_.joinable()) thread_.join();
}

void RawInputListener::run() {
    Display* display = connection_->display;
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {connection_->wakeFd, POLLIN, 0}};
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            XGenericEventCookie& cookie = event.xcookie;
            if (cookie.type != GenericEvent || cookie.extension != connection_->xiOpcode) continue;
            if (!XGetEventData(display, &cookie)) continue;
            if (std::optional<HookMessage> message = MessageOf(*static_cast<const XIRawEvent*>(cookie.data), *layout_))
                sink_(*message);
            XFreeEventData(display, &cookie);
        }
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents & POLLIN) return;
        // The server went away: nothing more will come.
        if (fds[0].revents & (POLLHUP | POLLERR)) return;
    }
}

}  // namespace halvern::hook
