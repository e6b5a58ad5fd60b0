#include "app/QuitOnSignal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <utility>
#include <fcntl.h>
#include <unistd.h>

namespace halvern {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
// The pipe the handler writes to: process-wide, as signal handlers are.
int gPipe[2] = {-1, -1};

extern "C" void OnQuitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // Async-signal-safe; a full pipe already says the same.
    [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

QuitOnSignal::QuitOnSignal(std::function<void()> quit) : quit_(std::move(quit)) {
    if (gPipe[0] >= 0 || ::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
        char drain[16];
        while (::read(gPipe[0], drain, sizeof drain) > 0) {}
        // The first request ends the program; later ones change nothing.
        if (auto first = std::exchange(quit_, nullptr)) first();
    });
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals) ::sigaction(s, &action, nullptr);
}

QuitOnSignal::~QuitOnSignal() {
    if (!notifier_) return;
    for (int s : kSignals) std::signal(s, SIG_DFL);
    notifier_.reset();
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

}  // namespace halvern
