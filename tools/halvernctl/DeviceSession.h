// The device link as halvernctl runs it: a Qt event loop on the main thread, the
// device stack the environment chooses (hardware or HALVERN_EMULATOR), and the
// messages, timers and device changes routed to it, as in the GUI.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "device/DeviceObserver.h"
#include "device/ProfileHolder.h"
#include "host/DeviceStack.h"
#include "host/QtDeviceLoop.h"
#include "protocol/LinkState.h"

class QCoreApplication;

namespace halvern::cli {

// A collection of the mouse that exists but that this user may not open.
struct DeniedDevice {
    Link link;
    std::string path;
};

// One line naming the device and the udev rule that lets the user open it.
std::string PermissionLine(const DeniedDevice& denied);

class DeviceSession {
public:
    // Creates the application object when there is none yet.
    DeviceSession(DeviceObserver& observer, ProfileHolder& profiles);
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Builds the stack and starts the link. False with `error` set when the
    // environment names no valid emulator.
    bool start(std::string& error);

    // Runs the event loop until `done` holds or `limit` passed (checked every few
    // milliseconds and after each message). Returns whether `done` held.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
    // Runs the event loop until quit() or a termination signal.
    void run();
    void quit();

    // Called on the main thread for every message, after the link had it.
    void onMessage(std::function<void(std::uint32_t, std::uintptr_t, std::intptr_t)> handler) {
        extraMessage_ = std::move(handler);
    }

    // After start(): a receiver or cable that is there but cannot be opened, if any.
    std::optional<DeniedDevice> permissionProblem();

    DeviceStack& stack() { return *stack_; }
    DeviceLink& link() { return stack_->link(); }
    LinkState& links() { return links_; }
    QtDeviceLoop& loop() { return *loop_; }
    // Any thread: queues a task for the main thread (for the apply worker's host);
    // tasks run in the order posted.
    void postToMain(std::function<void()> task);

private:
    void runNextTask();

    std::unique_ptr<QCoreApplication> ownApp_;
    std::unique_ptr<QtDeviceLoop> loop_;
    DeviceObserver& observer_;
    ProfileHolder& profiles_;
    LinkState links_;
    std::unique_ptr<DeviceStack> stack_;
    std::function<void(std::uint32_t, std::uintptr_t, std::intptr_t)> extraMessage_;
    // The tasks travel through this queue rather than inside Qt's queued call, so that
    // the hand-over is one ThreadSanitizer can see.
    std::mutex tasksMutex_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace halvern::cli
