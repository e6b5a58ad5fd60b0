// A line protocol on standard input that lets the end-to-end tests act on a running
// halvern as a user would, without a desktop: only active when HALVERN_TEST_DRIVER=1.
//
//   click NAME       clicks the button NAME           -> "ok" | "error ..."
//   tray left|right  a left or right click on the tray icon
//   menu NAME        chooses item NAME of the open tray menu
//   assume-tray      behaves as if the desktop had a tray
//   state            -> "state visible=0|1 minimized=0|1 title=TITLE"
//
// It prints "ready" once the main window is up.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace halvern {

class CMainWnd;

class TestDriver {
public:
    static bool Enabled();
    explicit TestDriver(CMainWnd& window);
    ~TestDriver();

private:
    void readLine();
    QString run(const QString& line);

    CMainWnd& window_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray buffer_;
};

}  // namespace halvern
