#include "GlobalHook.h"

#include "RawInputListener.h"

namespace halvern::hook {

GlobalHook& GlobalHook::instance() {
    static GlobalHook hook;
    return hook;
}

int GlobalHook::install(const HalvernHostWindow* window) {
    {
        std::lock_guard lock(mutex_);
        window_ = window;
    }
    mouse_ = false;
    if (listener_) return 1;
    std::string error;
    listener_ = RawInputListener::Start([this](const HookMessage& m) { deliver(m); }, error);
    std::lock_guard lock(mutex_);
    error_ = listener_ ? std::string() : error;
    return listener_ ? 1 : 0;
}

void GlobalHook::remove() {
    listener_.reset();
    std::lock_guard lock(mutex_);
    window_ = nullptr;
}

std::string GlobalHook::lastError() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void GlobalHook::deliver(const HookMessage& message) {
    if (!(message.mouse ? mouse_.load() : keys_.load())) return;
    // Held while posting, so remove() cannot return while a post to its window runs.
    std::lock_guard lock(mutex_);
    if (window_ && window_->post) window_->post(window_->context, UM_HOOK_EVENT, message.wParam, message.lParam);
}

}  // namespace halvern::hook
