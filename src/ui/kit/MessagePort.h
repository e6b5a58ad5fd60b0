// Posted messages: (id, wParam, lParam) posted to a window from any thread and
// delivered on the main thread, one at a time, in the order they were posted. The port
// also hands out the HalvernHostWindow the run-time libraries post through.
#pragma once

#include <QEvent>

#include <any>
#include <cstdint>
#include <mutex>

#include "halvern_abi.h"

class QObject;

namespace halvern::kit {

struct Message {
    std::uint32_t id = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    // Data that travels with the message and is owned by it (the menu command of
    // UM_MENU_COMMAND); empty for plain messages.
    std::any payload;
};

class MessageEvent final : public QEvent {
public:
    static QEvent::Type eventType();
    explicit MessageEvent(Message m) : QEvent(eventType()), message(std::move(m)) {}
    Message message;
};

class MessagePort {
public:
    // `receiver` lives on the main thread and handles MessageEvent.
    explicit MessagePort(QObject* receiver);
    ~MessagePort();
    MessagePort(const MessagePort&) = delete;
    MessagePort& operator=(const MessagePort&) = delete;

    // Any thread. Returns false when the receiver is gone (the message is dropped).
    bool post(Message message);

    // After this, posts are dropped; called before the receiver goes away. Messages
    // already queued are discarded with the receiver.
    void detach();

    // The C view for the run-time libraries; valid as long as the port.
    HalvernHostWindow* hostWindow() { return &host_; }

private:
    static void PostFromC(void* context, uint32_t message, uintptr_t wParam, intptr_t lParam);

    std::mutex mutex_;
    QObject* receiver_;
    HalvernHostWindow host_;
};

}  // namespace halvern::kit
