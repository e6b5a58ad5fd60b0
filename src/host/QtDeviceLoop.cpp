#include "host/QtDeviceLoop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>

#include "device/DeviceTrace.h"
#include "platform/ThreadHandOver.h"

Q_LOGGING_CATEGORY(halvernDevice, "halvern.device")

namespace halvern {

namespace {

const QEvent::Type kPostedMessage = static_cast<QEvent::Type>(QEvent::registerEventType());

class PostedMessage final : public QEvent {
public:
    PostedMessage(std::uint32_t m, std::uintptr_t w, std::intptr_t l)
        : QEvent(kPostedMessage), message(m), wParam(w), lParam(l) {}
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

void TraceToQt(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    qCDebug(halvernDevice).noquote() << QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
}

}  // namespace

QtDeviceLoop::QtDeviceLoop() {
    window_.context = this;
    window_.post = &QtDeviceLoop::Post;
}

QtDeviceLoop::~QtDeviceLoop() = default;

void QtDeviceLoop::Post(void* context, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    auto* event = new PostedMessage(message, wParam, lParam);
    HandOverRelease(context);
    QCoreApplication::postEvent(static_cast<QtDeviceLoop*>(context), event);
}

bool QtDeviceLoop::event(QEvent* e) {
    HandOverAcquire(this);
    if (e->type() != kPostedMessage) return QObject::event(e);
    auto* m = static_cast<PostedMessage*>(e);
    if (onMessage_) onMessage_(m->message, m->wParam, m->lParam);
    return true;
}

void QtDeviceLoop::watch(int fd, std::function<void()> ready) {
    delete notifier_;
    notifier_ = nullptr;
    if (fd < 0) return;
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    QObject::connect(notifier_, &QSocketNotifier::activated, this, [ready = std::move(ready)] { ready(); });
}

void QtDeviceLoop::arm(int id, std::chrono::milliseconds delay) {
    QTimer*& timer = timers_[id];
    if (!timer) {
        timer = new QTimer(this);
        timer->callOnTimeout(this, [this, id] {
            if (onTimer_) onTimer_(id);
        });
    }
    timer->start(static_cast<int>(delay.count()));
}

void QtDeviceLoop::kill(int id) {
    auto found = timers_.find(id);
    if (found != timers_.end()) found->second->stop();
}

void InstallQtDeviceTrace() { SetDeviceTraceSink(&TraceToQt); }

}  // namespace halvern
