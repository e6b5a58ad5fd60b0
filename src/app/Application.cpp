#include "app/Application.h"

#include <QApplication>
#include <QDir>

#include <memory>

#include "app/CMainWnd.h"
#include "platform/DataPaths.h"
#include "app/ShellLog.h"
#include "app/SingleInstance.h"
#include "app/TestDriver.h"
#include "ui/kit/Skin.h"

namespace halvern {

int Application::Run(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"halvern"_qs);
    QApplication::setDesktopFileName(u"halvern"_qs);
    // The window hides to the tray and the DPI display comes and goes; neither may
    // end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance(QString::fromLatin1(CMainWnd::kClassName));
    switch (instance.claim()) {
        case SingleInstance::Outcome::First: break;
        case SingleInstance::Outcome::ActivatedRunning:
            qCInfo(lcShell) << "start: another copy runs and was activated";
            return 1;
        case SingleInstance::Outcome::RunningNoAnswer:
            qCInfo(lcShell) << "start: another copy runs but did not answer";
            return 1;
    }

    const auto exeFolder = QString::fromStdString(GetExeFolder().string());
    kit::Skin skin(QDir(exeFolder).filePath(u"res"_qs));
    if (auto error = skin.layout(u"main.xml"_qs); std::holds_alternative<kit::LayoutError>(error))
        qCWarning(lcShell).noquote() << std::get<kit::LayoutError>(error).message;
    qCInfo(lcShell).noquote() << "start: data folder" << QString::fromStdString(GetDataFolder().string());

    // The settings page (CMainWnd::Options) and the device link built over the window's
    // timers and host handle (WindowTimers, hostWindow(), setDeviceLink) plug in here.
    auto window = std::make_unique<CMainWnd>(skin, CMainWnd::Options{});
    instance.setActivateHandler([w = window.get()] { w->send(UM_ACTIVATE); });
    window->create(kit::WindowKind::Main);
    window->setFixedSize(CMainWnd::kWidth, CMainWnd::kHeight);
    window->centerWindow();
    window->show();

    std::unique_ptr<TestDriver> driver;
    if (TestDriver::Enabled()) driver = std::make_unique<TestDriver>(*window);

    const int code = QApplication::exec();
    qCInfo(lcShell) << "shutdown: event loop ended with" << code;
    // A start that comes now finds the lock still held and ends; it must not reach a
    // window that is going away.
    instance.setActivateHandler({});
    driver.reset();
    window.reset();
    qCInfo(lcShell) << "shutdown: skin layer ended";
    return 0;
}

}  // namespace halvern
