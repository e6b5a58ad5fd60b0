// The X server's raw keyboard and pointer input, seen on the root window through
// XInput2 on a display connection and a thread of the listener's own, whatever window
// has the focus. Raw events need no privileges and no grab; nothing reads /dev/input.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "HookMessages.h"

namespace halvern {
class KeyboardLayout;
}

namespace halvern::hook {

class RawInputListener {
public:
    // Called on the listener's thread, once per event, in the order the server sent them.
    using Sink = std::function<void(const HookMessage&)>;

    // Opens the display, selects the raw events and starts the thread; once it returns,
    // every later input reaches `sink`. nullptr, with `error` saying why, when the
    // session cannot be watched: no X display, no XInput2, or a Wayland session (there
    // X sees nothing typed into the Wayland windows, so what it saw would mislead).
    static std::unique_ptr<RawInputListener> Start(Sink sink, std::string& error);

    // Stops the thread; the sink is not called after this returns.
    ~RawInputListener();
    RawInputListener(const RawInputListener&) = delete;
    RawInputListener& operator=(const RawInputListener&) = delete;

private:
    struct Connection;
    RawInputListener(std::unique_ptr<Connection> connection, Sink sink);
    void run();

    std::unique_ptr<Connection> connection_;
    Sink sink_;
    std::unique_ptr<KeyboardLayout> layout_;
    std::thread thread_;
};

}  // namespace halvern::hook
