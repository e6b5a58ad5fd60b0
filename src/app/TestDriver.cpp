#include "app/TestDriver.h"

#include <QAction>
#include <QTimer>

#include <unistd.h>

#include <cstdio>

#include "app/CMainWnd.h"
#include "halvern_abi.h"
#include "ui/kit/Button.h"
#include "ui/kit/MenuWindow.h"
#include "ui/kit/TrayIcon.h"

namespace halvern {

namespace {

void Print(const QString& line) {
    std::fputs((line + u'\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

}  // namespace

bool TestDriver::Enabled() { return qEnvironmentVariable("HALVERN_TEST_DRIVER") == u"1"; }

TestDriver::TestDriver(CMainWnd& window) : window_(window) {
    notifier_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readLine(); });
    QTimer::singleShot(0, [] { Print(u"ready"_qs); });
}

TestDriver::~TestDriver() = default;

void TestDriver::readLine() {
    char chunk[512];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n <= 0) {
        notifier_->setEnabled(false);
        return;
    }
    buffer_.append(chunk, n);
    qsizetype end;
    while ((end = buffer_.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(buffer_.left(end)).trimmed();
        buffer_.remove(0, end + 1);
        Print(run(line));
    }
}

QString TestDriver::run(const QString& line) {
    const QString verb = line.section(u' ', 0, 0);
    const QString arg = line.section(u' ', 1);
    if (verb == u"click") {
        auto* button = window_.find<kit::Button>(arg);
        if (!button) return u"error no button "_qs + arg;
        button->click();
        return u"ok"_qs;
    }
    if (verb == u"tray") {
        const long click = arg == u"right" ? kit::kTrayRightButtonUp : kit::kTrayLeftButtonUp;
        window_.send(UM_TRAY_NOTIFY, 0, click);
        return u"ok"_qs;
    }
    if (verb == u"menu") {
        kit::MenuWindow* menu = window_.trayMenu();
        QAction* item = menu ? menu->findItem(arg) : nullptr;
        if (!item) return u"error no menu item "_qs + arg;
        item->trigger();
        return u"ok"_qs;
    }
    if (verb == u"assume-tray") {
        window_.setTrayAvailable([] { return true; });
        return u"ok"_qs;
    }
    if (verb == u"state") {
        return u"state visible=%1 minimized=%2 title=%3"_qs.arg(window_.isVisible() ? 1 : 0)
            .arg(window_.isMinimized() ? 1 : 0)
            .arg(window_.windowTitle());
    }
    return u"error unknown command"_qs;
}

}  // namespace halvern
