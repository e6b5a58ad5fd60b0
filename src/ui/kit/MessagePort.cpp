#include "ui/kit/MessagePort.h"

#include <QCoreApplication>

#include "platform/ThreadHandOver.h"

namespace halvern::kit {

QEvent::Type MessageEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

MessagePort::MessagePort(QObject* receiver) : receiver_(receiver), host_{this, &MessagePort::PostFromC} {}

MessagePort::~MessagePort() { detach(); }

bool MessagePort::post(Message message) {
    // The lock keeps the receiver alive for the length of the hand-over: detach()
    // cannot complete while a post is in flight.
    std::lock_guard lock(mutex_);
    if (!receiver_) return false;
    auto* event = new MessageEvent(std::move(message));
    HandOverRelease(receiver_);
    QCoreApplication::postEvent(receiver_, event);
    return true;
}

void MessagePort::detach() {
    std::lock_guard lock(mutex_);
    receiver_ = nullptr;
}

void MessagePort::PostFromC(void* context, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (!context) return;
    static_cast<MessagePort*>(context)->post(Message{message, wParam, lParam, {}});
}

}  // namespace halvern::kit
