// The window in front under a wlroots compositor (sway, Hyprland, labwc, ...): the
// foreign-toplevel protocol (zwlr_foreign_toplevel_manager_v1), meant for task bars,
// lists every toplevel with its app id and state; the one whose state holds "activated"
// is in front. The watcher opens a Wayland connection of its own, so it works whatever
// Qt's platform is, and reads it in the event loop when the compositor writes.
#pragma once

#include <QObject>

#include <map>
#include <memory>
#include <string>

#include "platform/FocusWatcher.h"

class QSocketNotifier;
struct wl_display;
struct wl_proxy;
struct wl_registry;
struct wl_array;

namespace halvern {

class WlrFocusWatcher final : public FocusWatcher {
public:
    // `display` as in WAYLAND_DISPLAY (a name in XDG_RUNTIME_DIR or a path); empty:
    // WAYLAND_DISPLAY itself.
    explicit WlrFocusWatcher(std::string display = {});
    ~WlrFocusWatcher() override;

    FocusSource source() const override { return FocusSource::Wlroots; }
    bool start(Listener listener) override;
    FocusedWindow focused() const override { return focused_; }
    std::vector<std::string> applications() override;
    QString error() const override { return error_; }

    // The protocol's callbacks (C linkage from libwayland); not for callers.
    struct Toplevel {
        std::string appId, pendingAppId;
        bool activated = false, pendingActivated = false;
    };
    static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                         std::uint32_t version);
    static void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}
    static void OnToplevel(void* data, wl_proxy* manager, wl_proxy* toplevel);
    static void OnFinished(void* data, wl_proxy* manager);
    static void OnTitle(void*, wl_proxy*, const char*) {}
    static void OnAppId(void* data, wl_proxy* toplevel, const char* appId);
    static void OnOutput(void*, wl_proxy*, wl_proxy*) {}
    static void OnState(void* data, wl_proxy* toplevel, wl_array* state);
    static void OnDone(void* data, wl_proxy* toplevel);
    static void OnClosed(void* data, wl_proxy* toplevel);
    static void OnParent(void*, wl_proxy*, wl_proxy*) {}

private:
    void readEvents();
    // After a toplevel's state settled: reports the activated one when it changed.
    void settle();

    std::string displayName_;
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_proxy* manager_ = nullptr;
    std::map<wl_proxy*, Toplevel> toplevels_;
    FocusedWindow focused_;
    bool reporting_ = false;  // the first round trips are over
    Listener listener_;
    QString error_;
    QObject context_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace halvern
