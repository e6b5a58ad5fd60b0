#include "ui/kit/TimerSource.h"

#include <QTimer>

namespace halvern::kit {

QtTimerSource::QtTimerSource() = default;
QtTimerSource::~QtTimerSource() = default;

void QtTimerSource::start(std::uint64_t key, std::chrono::milliseconds period) {
    auto& timer = timers_[key];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer.get(), &QTimer::timeout, [this, key] { fire(key); });
    }
    timer->start(period);
}

void QtTimerSource::stop(std::uint64_t key) {
    if (auto it = timers_.find(key); it != timers_.end()) it->second->stop();
}

bool QtTimerSource::isActive(std::uint64_t key) const {
    auto it = timers_.find(key);
    return it != timers_.end() && it->second->isActive();
}

}  // namespace halvern::kit
