// The device link's main-loop parts on a Qt event loop (QCoreApplication or
// QApplication): the host window that libraries and readers post to, the timers by
// id, and the watch on the hot-plug descriptor. halvernctl uses it as it stands; the
// GUI's main window may use it or implement the same three things itself.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include <QObject>

#include "device/TimerService.h"
#include "halvern_abi.h"

class QSocketNotifier;
class QTimer;

namespace halvern {

class QtDeviceLoop final : public QObject, public TimerService {
public:
    using MessageHandler = std::function<void(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)>;
    using TimerHandler = std::function<void(int id)>;

    QtDeviceLoop();
    ~QtDeviceLoop() override;

    // Posting through it is safe from any thread; each message reaches the message
    // handler on this object's thread, in the order posted.
    const HalvernHostWindow& window() const { return window_; }

    void setMessageHandler(MessageHandler handler) { onMessage_ = std::move(handler); }
    void setTimerHandler(TimerHandler handler) { onTimer_ = std::move(handler); }
    // Calls `ready` on this object's thread whenever `fd` is readable; -1 stops watching.
    void watch(int fd, std::function<void()> ready);

    void arm(int id, std::chrono::milliseconds delay) override;
    void kill(int id) override;

protected:
    bool event(QEvent* e) override;

private:
    static void Post(void* context, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

    HalvernHostWindow window_{};
    MessageHandler onMessage_;
    TimerHandler onTimer_;
    std::map<int, QTimer*> timers_;
    QSocketNotifier* notifier_ = nullptr;
};

// Sends the device layer's trace lines to the "halvern.device" logging category.
void InstallQtDeviceTrace();

}  // namespace halvern
