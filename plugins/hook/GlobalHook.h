// The hook library's one piece of process-wide state: the window the user's input is
// posted to, whether keys and mouse events are posted now, and the listener thread.
// The entry points call it on the host's main thread; the listener calls deliver() on
// its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "HookMessages.h"
#include "halvern_abi.h"

namespace halvern::hook {

class RawInputListener;

class GlobalHook {
public:
    static GlobalHook& instance();

    // Posts to `window` from now on (while enabled). 1 when global input is watched,
    // 0 when it cannot be (see lastError()); the window is kept either way, so a later
    // enable changes nothing and nothing is posted.
    int install(const HalvernHostWindow* window);
    // Stops the listener and forgets the window; nothing is posted after it returns.
    void remove();
    void enableKeys(bool on) { keys_ = on; }
    // Mouse events start off at every install: the host turns them on when it wants
    // clicks (a recording does at once, unless the pointer is on its record button).
    void enableMouse(bool on) { mouse_ = on; }
    // The wheel is never posted (no message of the contract carries it); the switch
    // is kept so that the entry point has its state.
    void enableWheel(bool on) { wheel_ = on; }

    std::string lastError() const;

private:
    GlobalHook() = default;
    void deliver(const HookMessage& message);

    mutable std::mutex mutex_;  // window_ and error_, against deliver()
    const HalvernHostWindow* window_ = nullptr;
    std::string error_;
    std::atomic<bool> keys_{false};
    std::atomic<bool> mouse_{false};
    std::atomic<bool> wheel_{false};
    std::unique_ptr<RawInputListener> listener_;  // main thread only
};

}  // namespace halvern::hook
