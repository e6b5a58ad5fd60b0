// Work the first window would otherwise wait for on the main thread, done on threads of
// their own while the main thread does what only it can.
//
// - Fontconfig's configuration (every fonts.conf and the font caches) is the largest
//   single piece of a first start. It is read from the very beginning, while the
//   toolkit connects to the display. Fontconfig makes its configuration once, by an
//   atomic exchange, so a call from the toolkit cannot clash with it.
// - Once the toolkit's application object exists, the same thread fills the toolkit's
//   font list, a process-wide database behind the toolkit's own lock; the first text
//   the window measures would otherwise fill it on the main thread.
// - Also from then on, a second thread opens the session bus. The toolkit's
//   accessibility support opens it when the first label gets its text and waits for
//   it; without a bus, that wait is a failed start of dbus-launch.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace halvern {

class StartWarmUp {
public:
    StartWarmUp();
    // The toolkit's application object exists: the rest may start.
    void toolkitReady();
    // Waits for the threads. Before toolkitReady() only fontconfig's part has run, and
    // it ends after that.
    ~StartWarmUp();
    StartWarmUp(const StartWarmUp&) = delete;
    StartWarmUp& operator=(const StartWarmUp&) = delete;

private:
    enum class Stage { Waiting, Ready, Ending };
    std::mutex mutex_;
    std::condition_variable woken_;
    Stage stage_ = Stage::Waiting;
    std::thread bus_;
    // Last: it starts in the constructor and uses the members above.
    std::thread fonts_;
};

}  // namespace halvern
