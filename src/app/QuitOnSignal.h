// Ends the event loop when the session asks the program to go (SIGTERM at logout or
// shutdown, SIGHUP when its terminal goes, SIGINT from a terminal), so the program ends
// as after the tray's Quit rather than being cut off: the page keeps what it holds and
// the mouse's send in progress is let finish. The handler only writes a byte to a pipe;
// the loop reads it on the main thread. One per process; signals are handled while it
// exists and go back to their default after.
#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace halvern {

class QuitOnSignal {
public:
    // `quit` runs on the main thread after the first of the signals arrives.
    explicit QuitOnSignal(std::function<void()> quit);
    ~QuitOnSignal();
    QuitOnSignal(const QuitOnSignal&) = delete;
    QuitOnSignal& operator=(const QuitOnSignal&) = delete;

    bool active() const { return notifier_ != nullptr; }

private:
    std::function<void()> quit_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace halvern
