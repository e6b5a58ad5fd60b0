#include "DeviceSession.h"

#include <fcntl.h>

#include <csignal>
#include <unistd.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>

#include "device/DeviceNames.h"

namespace halvern::cli {

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    char c = 1;
    [[maybe_unused]] ssize_t w = ::write(g_signalPipe[1], &c, 1);
}

constexpr const char* kUdevRule = "packaging/udev/70-halvern.rules";

char g_appName[] = "halvernctl";
char* g_argv[] = {g_appName, nullptr};
int g_argc = 1;

}  // namespace

DeviceSession::DeviceSession(DeviceObserver& observer, ProfileHolder& profiles)
    : observer_(observer), profiles_(profiles) {
    if (!QCoreApplication::instance()) ownApp_ = std::make_unique<QCoreApplication>(g_argc, g_argv);
    loop_ = std::make_unique<QtDeviceLoop>();
}

DeviceSession::~DeviceSession() {
    stack_.reset();
    loop_.reset();
}

bool DeviceSession::start(std::string& error) {
    stack_ = DeviceStack::Create(DeviceStack::Options::FromEnvironment(),
                                 {*loop_, loop_->window(), observer_, profiles_, links_}, error);
    if (!stack_) return false;
    loop_->setMessageHandler([this](std::uint32_t m, std::uintptr_t w, std::intptr_t l) {
        stack_->link().handleMessage(m, w, l);
        if (extraMessage_) extraMessage_(m, w, l);
    });
    loop_->setTimerHandler([this](int id) { stack_->link().onTimer(id); });
    stack_->link().start();
    loop_->watch(stack_->link().hotplugFd(), [this] { stack_->link().dispatchHotplug(); });
    stack_->link().applyInitialBleLink();
    return true;
}

std::string PermissionLine(const DeniedDevice& denied) {
    return denied.path + (denied.link == Link::Cable ? " (the mouse on its cable)" : " (the 2.4 GHz receiver)") +
           " is there but cannot be opened (permission denied); install the udev rule " + kUdevRule +
           " (see README.md) and plug the device in again";
}

std::optional<DeniedDevice> DeviceSession::permissionProblem() {
    for (const OpenFailure& f : link().discovery().openFailures())
        if (f.error == HidOpenError::PermissionDenied) return DeniedDevice{Link::Receiver, f.path};
    if (links_.wiredLink != 1 && stack_->driver().loaded()) {
        for (const HidDeviceInfo& info : stack_->hid().enumerate(kCableVendorId, kCableProductId))
            if (stack_->hid().open(info.path).error == HidOpenError::PermissionDenied)
                return DeniedDevice{Link::Cable, info.path};
    }
    return std::nullopt;
}

void DeviceSession::postToMain(std::function<void()> task) {
    {
        std::lock_guard lock(tasksMutex_);
        tasks_.push_back(std::move(task));
    }
    QMetaObject::invokeMethod(
        loop_.get(), [this] { runNextTask(); }, Qt::QueuedConnection);
}

void DeviceSession::runNextTask() {
    std::function<void()> task;
    {
        std::lock_guard lock(tasksMutex_);
        if (tasks_.empty()) return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
    }
    task();
}

bool DeviceSession::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    if (done()) return true;
    // The deadline is kept on the steady clock rather than in a timer, whose interval
    // is an int of milliseconds: a long or unlimited wait would overflow it.
    using Steady = std::chrono::steady_clock;
    const Steady::time_point start = Steady::now();
    const bool unlimited =
        limit >= std::chrono::duration_cast<std::chrono::milliseconds>(Steady::time_point::max() - start);
    const Steady::time_point end = unlimited ? Steady::time_point::max() : start + limit;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done() || Steady::now() >= end) QCoreApplication::quit();
    });
    check.start(5);
    QCoreApplication::exec();
    return done();
}

void DeviceSession::run() {
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC) != 0) g_signalPipe[0] = g_signalPipe[1] = -1;
    QSocketNotifier* notifier = nullptr;
    if (g_signalPipe[0] >= 0) {
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        ::sigaction(SIGINT, &sa, nullptr);
        ::sigaction(SIGTERM, &sa, nullptr);
        notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, loop_.get());
        QObject::connect(notifier, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
    }
    QCoreApplication::exec();
    delete notifier;
}

void DeviceSession::quit() { QCoreApplication::quit(); }

}  // namespace halvern::cli
