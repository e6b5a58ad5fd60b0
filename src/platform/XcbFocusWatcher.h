// The window in front on an X server: the window manager writes the window it gave the
// focus to into the root window's _NET_ACTIVE_WINDOW, and the server tells every client
// that selected the root's property changes. The watcher has a connection of its own
// (Qt's may be a Wayland one, or none at all in halvernctl), waits on it in the event
// loop, and reads the window's WM_CLASS only when the property changed.
#pragma once

#include <QObject>

#include <memory>
#include <string>

#include "platform/FocusWatcher.h"

class QSocketNotifier;
struct xcb_connection_t;

namespace halvern {

class XcbFocusWatcher final : public FocusWatcher {
public:
    // `display` as in DISPLAY; empty: DISPLAY itself. `source` is X11 or Xwayland.
    explicit XcbFocusWatcher(FocusSource source = FocusSource::X11, std::string display = {});
    ~XcbFocusWatcher() override;

    FocusSource source() const override { return source_; }
    bool start(Listener listener) override;
    FocusedWindow focused() const override { return focused_; }
    std::vector<std::string> applications() override;
    QString error() const override { return error_; }

    // WM_CLASS's value ("instance\0class\0") as names: each once, empty parts left out,
    // text that is not UTF-8 read as Latin-1 (what ICCCM says it is).
    static std::vector<std::string> NamesOfClass(std::string_view wmClass);

private:
    void readEvents();
    // Reads _NET_ACTIVE_WINDOW and reports the window when it is another one.
    void readActiveWindow();
    std::vector<std::string> namesOf(std::uint32_t window);
    // Events read while waiting for a reply sit in xcb's queue, where the socket
    // notifier does not see them.
    void readQueuedEventsSoon();

    FocusSource source_;
    std::string display_;
    xcb_connection_t* connection_ = nullptr;
    std::uint32_t root_ = 0;
    std::uint32_t activeAtom_ = 0;
    std::uint32_t clientListAtom_ = 0;
    std::uint32_t active_ = 0;
    bool activeKnown_ = false;
    FocusedWindow focused_;
    Listener listener_;
    QString error_;
    QObject context_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace halvern
