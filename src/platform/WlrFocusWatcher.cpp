#include "platform/WlrFocusWatcher.h"

#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

#include "storage/FocusRules.h"

Q_DECLARE_LOGGING_CATEGORY(lcFocus)

namespace halvern {

// The protocol's two interfaces, message for message in the order of its definition
// (version 3), as a protocol scanner would write them: the opcodes are the positions.
// Only the events are listened to; of the requests only "destroy" and "stop" are sent.
namespace {

extern const wl_interface kHandleInterface;

const wl_interface* kNoTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr};
const wl_interface* kHandleType[] = {&kHandleInterface};
const wl_interface* kSeatType[] = {&wl_seat_interface};
const wl_interface* kOutputType[] = {&wl_output_interface};
const wl_interface* kRectangleTypes[] = {&wl_surface_interface, nullptr, nullptr, nullptr, nullptr};

const wl_message kManagerRequests[] = {
    {"stop", "", kNoTypes},
};
const wl_message kManagerEvents[] = {
    {"toplevel", "n", kHandleType},
    {"finished", "", kNoTypes},
};
const wl_message kHandleRequests[] = {
    {"set_maximized", "", kNoTypes},
    {"unset_maximized", "", kNoTypes},
    {"set_minimized", "", kNoTypes},
    {"unset_minimized", "", kNoTypes},
    {"activate", "o", kSeatType},
    {"close", "", kNoTypes},
    {"set_rectangle", "oiiii", kRectangleTypes},
    {"destroy", "", kNoTypes},
    {"set_fullscreen", "2?o", kOutputType},
    {"unset_fullscreen", "2", kNoTypes},
};
const wl_message kHandleEvents[] = {
    {"title", "s", kNoTypes},           {"app_id", "s", kNoTypes},      {"output_enter", "o", kOutputType},
    {"output_leave", "o", kOutputType}, {"state", "a", kNoTypes},       {"done", "", kNoTypes},
    {"closed", "", kNoTypes},           {"parent", "3?o", kHandleType},
};

constexpr std::uint32_t kVersion = 3;
constexpr std::uint32_t kDestroyRequest = 7;
constexpr std::uint32_t kActivatedState = 2;
// More windows than a desktop shows; a flood of toplevels is not followed past this.
constexpr std::size_t kMaxToplevels = 1024;

const wl_interface kManagerInterface = {
    "zwlr_foreign_toplevel_manager_v1", kVersion, 1, kManagerRequests, 2, kManagerEvents,
};
const wl_interface kHandleInterface = {
    "zwlr_foreign_toplevel_handle_v1", kVersion, 10, kHandleRequests, 8, kHandleEvents,
};

using Watcher = WlrFocusWatcher;

const wl_registry_listener kRegistryListener = {&Watcher::OnGlobal, &Watcher::OnGlobalRemove};

// Listeners are tables of function pointers in event order.
struct ManagerListener {
    void (*toplevel)(void*, wl_proxy*, wl_proxy*);
    void (*finished)(void*, wl_proxy*);
};
const ManagerListener kManagerListener = {&Watcher::OnToplevel, &Watcher::OnFinished};

struct HandleListener {
    void (*title)(void*, wl_proxy*, const char*);
    void (*appId)(void*, wl_proxy*, const char*);
    void (*outputEnter)(void*, wl_proxy*, wl_proxy*);
    void (*outputLeave)(void*, wl_proxy*, wl_proxy*);
    void (*state)(void*, wl_proxy*, wl_array*);
    void (*done)(void*, wl_proxy*);
    void (*closed)(void*, wl_proxy*);
    void (*parent)(void*, wl_proxy*, wl_proxy*);
};
const HandleListener kHandleListener = {&Watcher::OnTitle, &Watcher::OnAppId, &Watcher::OnOutput, &Watcher::OnOutput,
                                        &Watcher::OnState, &Watcher::OnDone,  &Watcher::OnClosed, &Watcher::OnParent};

template <typename Listener>
void Listen(wl_proxy* proxy, const Listener& listener, void* data) {
    wl_proxy_add_listener(proxy, reinterpret_cast<void (**)(void)>(const_cast<Listener*>(&listener)), data);
}

void DestroyHandle(wl_proxy* handle) {
    wl_proxy_marshal_flags(handle, kDestroyRequest, nullptr, wl_proxy_get_version(handle), WL_MARSHAL_FLAG_DESTROY);
}

}  // namespace

WlrFocusWatcher::WlrFocusWatcher(std::string display) : displayName_(std::move(display)) {}

WlrFocusWatcher::~WlrFocusWatcher() {
    notifier_.reset();
    if (!display_) return;
    for (auto& [handle, toplevel] : toplevels_) DestroyHandle(handle);
    if (manager_) wl_proxy_destroy(manager_);
    if (registry_) wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
}

bool WlrFocusWatcher::start(Listener listener) {
    listener_ = std::move(listener);
    display_ = wl_display_connect(displayName_.empty() ? nullptr : displayName_.c_str());
    if (!display_) {
        error_ = u"no Wayland display to watch"_qs;
        return false;
    }
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    // The globals, then the toplevels the manager announces at once.
    if (wl_display_roundtrip(display_) < 0 || !manager_) {
        error_ = u"the compositor does not tell programs about its windows (no foreign-toplevel protocol)"_qs;
        return false;
    }
    if (wl_display_roundtrip(display_) < 0) {
        error_ = u"the Wayland connection failed"_qs;
        return false;
    }
    notifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, &context_, [this] { readEvents(); });
    QTimer::singleShot(0, &context_, [this] {
        reporting_ = true;
        settle();
    });
    return true;
}

void WlrFocusWatcher::readEvents() {
    if (!display_) return;
    while (wl_display_prepare_read(display_) != 0) wl_display_dispatch_pending(display_);
    // The socket is readable: this read does not wait.
    if (wl_display_read_events(display_) == 0) wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
    if (wl_display_get_error(display_) != 0) {
        qCWarning(lcFocus) << "the Wayland connection closed; the window in front is no longer followed";
        notifier_.reset();
    }
}

std::vector<std::string> WlrFocusWatcher::applications() {
    std::vector<std::string> names;
    for (const auto& entry : toplevels_) {
        const std::string& appId = entry.second.appId;
        if (CheckApplicationName(appId)) continue;
        if (std::none_of(names.begin(), names.end(),
                         [&](const std::string& known) { return SameApplication(known, appId); }))
            names.push_back(appId);
    }
    return names;
}

void WlrFocusWatcher::settle() {
    if (!reporting_) return;
    FocusedWindow now;
    for (const auto& [handle, toplevel] : toplevels_)
        if (toplevel.activated && !CheckApplicationName(toplevel.appId)) {
            now.names = {toplevel.appId};
            break;
        }
    if (now == focused_) return;
    focused_ = std::move(now);
    if (listener_) listener_(focused_);
}

void WlrFocusWatcher::OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                               std::uint32_t version) {
    auto* self = static_cast<WlrFocusWatcher*>(data);
    if (self->manager_ || std::strcmp(interface, kManagerInterface.name) != 0) return;
    self->manager_ =
        static_cast<wl_proxy*>(wl_registry_bind(registry, name, &kManagerInterface, std::min(version, kVersion)));
    Listen(self->manager_, kManagerListener, self);
}

void WlrFocusWatcher::OnToplevel(void* data, wl_proxy*, wl_proxy* toplevel) {
    auto* self = static_cast<WlrFocusWatcher*>(data);
    if (self->toplevels_.size() >= kMaxToplevels) {
        DestroyHandle(toplevel);
        return;
    }
    self->toplevels_.emplace(toplevel, Toplevel{});
    Listen(toplevel, kHandleListener, self);
}

void WlrFocusWatcher::OnFinished(void* data, wl_proxy* manager) {
    auto* self = static_cast<WlrFocusWatcher*>(data);
    wl_proxy_destroy(manager);
    self->manager_ = nullptr;
}

void WlrFocusWatcher::OnAppId(void* data, wl_proxy* toplevel, const char* appId) {
    auto* self = static_cast<WlrFocusWatcher*>(data);
    if (auto it = self->toplevels_.find(toplevel); it != self->toplevels_.end())
        it->second.pendingAppId = std::string(appId, strnlen(appId, FocusRules::kMaxApplicationBytes + 1));
}

void WlrFocusWatcher::OnState(void* data, wl_proxy* toplevel, wl_array* state) {
    auto* self = static_cast<WlrFocusWatcher*>(data);
    auto it = self->toplevels_.find(toplevel);
    if (it == self->toplevels_.end()) return;
    bool activated = false;
    const auto* values = static_cast<const std::uint32_t*>(state->data);
    for (std::size_t i = 0; i < state->size / sizeof(std::uint32_t); ++i) activated |= values[i] == kActivatedState;
    it->second.pendingActivated = activated;
}

void WlrFocusWatcher::OnDone(void* data, wl_proxy* toplevel) {
    auto* self = static_cast<WlrFocusWatcher*>(data);
    auto it = self->toplevels_.find(toplevel);
    if (it == self->toplevels_.end()) return;
    // The events before "done" belong together: a new app id and state count at once.
    it->second.appId = it->second.pendingAppId;
    it->second.activated = it->second.pendingActivated;
    self->settle();
}

void WlrFocusWatcher::OnClosed(void* data, wl_proxy* toplevel) {
    auto* self = static_cast<WlrFocusWatcher*>(data);
    self->toplevels_.erase(toplevel);
    DestroyHandle(toplevel);
    self->settle();
}

}  // namespace halvern
