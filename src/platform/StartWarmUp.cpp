#include "platform/StartWarmUp.h"

#include <QDBusConnection>
#include <QFontDatabase>

#include <fontconfig/fontconfig.h>

namespace halvern {

StartWarmUp::StartWarmUp()
    : fonts_([this] {
          FcInit();
          std::unique_lock lock(mutex_);
          woken_.wait(lock, [this] { return stage_ != Stage::Waiting; });
          if (stage_ != Stage::Ready) return;
          lock.unlock();
          QFontDatabase::families();
      }) {}

void StartWarmUp::toolkitReady() {
    {
        const std::lock_guard lock(mutex_);
        if (stage_ != Stage::Waiting) return;
        stage_ = Stage::Ready;
    }
    woken_.notify_one();
    bus_ = std::thread([] { QDBusConnection::sessionBus(); });
}

StartWarmUp::~StartWarmUp() {
    {
        const std::lock_guard lock(mutex_);
        if (stage_ == Stage::Waiting) stage_ = Stage::Ending;
    }
    woken_.notify_one();
    fonts_.join();
    if (bus_.joinable()) bus_.join();
}

}  // namespace halvern
