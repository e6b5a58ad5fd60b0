#include "platform/XcbFocusWatcher.h"

#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "records/Text.h"
#include "storage/FocusRules.h"

Q_DECLARE_LOGGING_CATEGORY(lcFocus)

namespace halvern {

namespace {

// More windows than a desktop shows; a hostile client list is cut here.
constexpr std::uint32_t kMaxClients = 1024;
// WM_CLASS holds two short names; more is not read.
constexpr std::uint32_t kWmClassWords = 256;

template <typename T>
struct Reply {
    T* data = nullptr;
    explicit Reply(T* reply) : data(reply) {}
    ~Reply() { std::free(data); }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    T* operator->() const { return data; }
    explicit operator bool() const { return data != nullptr; }
};

xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name) {
    Reply reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void AddOnce(std::vector<std::string>& names, std::string name) {
    if (CheckApplicationName(name)) return;  // nothing a rule could name
    for (const std::string& known : names)
        if (SameApplication(known, name)) return;
    names.push_back(std::move(name));
}

}  // namespace

std::vector<std::string> XcbFocusWatcher::NamesOfClass(std::string_view wmClass) {
    std::vector<std::string> names;
    while (!wmClass.empty()) {
        const std::size_t end = std::min(wmClass.find('\0'), wmClass.size());
        const std::string_view part = wmClass.substr(0, end);
        AddOnce(names, Utf8ToUtf16(part) ? std::string(part) : Latin1ToUtf8(part));
        wmClass.remove_prefix(std::min(end + 1, wmClass.size()));
    }
    return names;
}

XcbFocusWatcher::XcbFocusWatcher(FocusSource source, std::string display)
    : source_(source), display_(std::move(display)) {}

XcbFocusWatcher::~XcbFocusWatcher() {
    notifier_.reset();
    if (connection_) xcb_disconnect(connection_);
}

bool XcbFocusWatcher::start(Listener listener) {
    listener_ = std::move(listener);
    int screenNumber = 0;
    connection_ = xcb_connect(display_.empty() ? nullptr : display_.c_str(), &screenNumber);
    if (xcb_connection_has_error(connection_)) {
        error_ = u"no X display to watch"_qs;
        xcb_disconnect(connection_);
        connection_ = nullptr;
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) {
        error_ = u"the X display has no such screen"_qs;
        return false;
    }
    root_ = screens.data->root;
    activeAtom_ = InternAtom(connection_, "_NET_ACTIVE_WINDOW");
    clientListAtom_ = InternAtom(connection_, "_NET_CLIENT_LIST");
    // Property changes of the root window only: nothing else wakes the program.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);

    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, &context_, [this] { readEvents(); });
    // The window in front at start, reported once the caller has its watcher back.
    QTimer::singleShot(0, &context_, [this] {
        readActiveWindow();
        readEvents();
    });
    return true;
}

void XcbFocusWatcher::readEvents() {
    if (!connection_) return;
    bool activeChanged = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (property->window == root_ && property->atom == activeAtom_) activeChanged = true;
        }
        std::free(event);
    }
    if (xcb_connection_has_error(connection_)) {
        // A server that went away leaves the socket readable for good: stop watching it.
        qCWarning(lcFocus) << "the X display closed; the window in front is no longer followed";
        notifier_.reset();
        return;
    }
    if (activeChanged) readActiveWindow();
}

void XcbFocusWatcher::readActiveWindow() {
    Reply reply(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, root_, activeAtom_, XCB_ATOM_WINDOW, 0, 1), nullptr));
    std::uint32_t window = XCB_WINDOW_NONE;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply.data) >= 4)
        std::memcpy(&window, xcb_get_property_value(reply.data), 4);
    readQueuedEventsSoon();
    // The property is written again when the same window keeps the focus.
    if (activeKnown_ && window == active_) return;
    activeKnown_ = true;
    active_ = window;
    FocusedWindow now{window == XCB_WINDOW_NONE ? std::vector<std::string>{} : namesOf(window)};
    if (now == focused_) return;  // another window of the same application
    focused_ = std::move(now);
    if (listener_) listener_(focused_);
}

std::vector<std::string> XcbFocusWatcher::namesOf(std::uint32_t window) {
    Reply reply(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, kWmClassWords),
        nullptr));
    if (!reply || reply->format != 8) return {};
    const auto* value = static_cast<const char*>(xcb_get_property_value(reply.data));
    return NamesOfClass(std::string_view(value, static_cast<std::size_t>(xcb_get_property_value_length(reply.data))));
}

std::vector<std::string> XcbFocusWatcher::applications() {
    if (!connection_) return {};
    Reply list(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, root_, clientListAtom_, XCB_ATOM_WINDOW, 0, kMaxClients),
        nullptr));
    std::vector<std::string> names;
    if (list && list->format == 32) {
        const auto count = static_cast<std::size_t>(xcb_get_property_value_length(list.data)) / 4;
        std::vector<std::uint32_t> windows(count);
        std::memcpy(windows.data(), xcb_get_property_value(list.data), count * 4);
        // Every question first, then every answer: one round trip for the lot.
        std::vector<xcb_get_property_cookie_t> cookies;
        for (std::uint32_t window : windows)
            cookies.push_back(
                xcb_get_property(connection_, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, kWmClassWords));
        for (xcb_get_property_cookie_t cookie : cookies) {
            Reply reply(xcb_get_property_reply(connection_, cookie, nullptr));
            if (!reply || reply->format != 8) continue;
            const auto* value = static_cast<const char*>(xcb_get_property_value(reply.data));
            for (std::string& name : NamesOfClass(
                     std::string_view(value, static_cast<std::size_t>(xcb_get_property_value_length(reply.data)))))
                AddOnce(names, std::move(name));
        }
    }
    readQueuedEventsSoon();
    return names;
}

void XcbFocusWatcher::readQueuedEventsSoon() {
    QTimer::singleShot(0, &context_, [this] { readEvents(); });
}

}  // namespace halvern
