#include "app/Application.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QSocketNotifier>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "app/CMainWnd.h"
#include "app/ShellLog.h"
#include "app/SingleInstance.h"
#include "app/TestDriver.h"
#include "app/WindowTimers.h"
#include "device/HookLibrary.h"
#include "host/DeviceStack.h"
#include "platform/DataPaths.h"
#include "platform/DesktopMouseSettings.h"
#include "platform/FontWarmUp.h"
#include "platform/XkbKeyboardLayout.h"
#include "protocol/Clock.h"
#include "protocol/LinkState.h"
#include "ui/dialogs/CDpiColorWnd.h"
#include "ui/kit/Skin.h"
#include "ui/page/CMS_1_Page.h"

namespace halvern {

int Application::Run(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("halvern " HALVERN_VERSION);
        return 0;
    }
    std::optional<FontWarmUp> fonts(std::in_place);
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"halvern"_qs);
    QApplication::setDesktopFileName(u"halvern"_qs);
    // The window hides to the tray and the DPI display comes and goes; neither may
    // end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance(QString::fromLatin1(CMainWnd::kClassName));
    const SingleInstance::Outcome claimed = instance.claim();
    // Leaving now: the font thread ends before Qt's teardown, which takes fontconfig
    // down, can meet it still reading its configuration.
    if (claimed != SingleInstance::Outcome::First) fonts.reset();
    switch (claimed) {
        case SingleInstance::Outcome::First: break;
        // Said on standard error as well as in the log, so that a start from a terminal
        // or a launcher's log does not look like a crash.
        case SingleInstance::Outcome::ActivatedRunning:
            qCInfo(lcShell) << "start: another copy runs and was activated";
            std::fputs("halvern: already running; its window was brought to the front\n", stderr);
            return 1;
        case SingleInstance::Outcome::RunningNoAnswer:
            qCInfo(lcShell) << "start: another copy runs but did not answer";
            std::fputs("halvern: already running, but it did not answer; nothing was started\n", stderr);
            return 1;
    }

    const std::filesystem::path exePath = GetExeFolder();
    const auto exeFolder = QString::fromStdString(exePath.string());
    kit::Skin skin(QDir(exeFolder).filePath(u"res"_qs));
    // The skin's face is every text's default: layouts measure texts as they are built,
    // before the style sheet reaches a widget, and the desktop's default face would be
    // loaded only for that. Latin labels look the same without OpenType shaping, and
    // shaping every text of the page through the face's large tables costs more than
    // building it.
    QFont font = skin.baseFont().value_or(QApplication::font());
    font.setStyleStrategy(QFont::PreferNoShaping);
    QApplication::setFont(font);
    if (const kit::LayoutResult& error = skin.layout(u"main.xml"_qs); std::holds_alternative<kit::LayoutError>(error))
        qCWarning(lcShell).noquote() << std::get<kit::LayoutError>(error).message;
    const std::filesystem::path dataFolder = GetDataFolder();
    qCInfo(lcShell).noquote() << "start: data folder" << QString::fromStdString(dataFolder.string());

    // The window first: its timer table and host handle are what the page and the
    // device link run on. Both outlive the window (declared before it is reset).
    LinkState links;
    SteadyClock clock;
    HookLibrary hooks;
    CMainWnd::Options options;
    options.hooks = &hooks;
    options.libraryFolder = exePath;
    auto window = std::make_unique<CMainWnd>(skin, std::move(options));
    WindowTimers timers(*window);
    // The desktop's keyboard layout is compiled when a key is first shown, not before
    // the window maps.
    std::unique_ptr<XkbKeyboardLayout> keyboard;
    CMS_1_Page::Parts pageParts{dataFolder, links, timers, clock};
    pageParts.openMouseSettings = &OpenDesktopMouseSettings;
    pageParts.pickColor = [&skin, w = window.get()](std::uint32_t argb, QPoint origin) {
        return CDpiColorWnd::Pick(skin, w, argb, origin);
    };
    pageParts.keyboard = [&keyboard]() -> const KeyboardLayout& {
        if (!keyboard) keyboard = XkbKeyboardLayout::FromEnvironment();
        return *keyboard;
    };
    pageParts.hooks = &hooks;
    CMS_1_Page page(std::move(pageParts));
    std::string deviceError;
    std::unique_ptr<DeviceStack> device =
        DeviceStack::Create(DeviceStack::Options::FromEnvironment(), {timers, *window->hostWindow(), page, page, links},
                            deviceError);
    if (!device) qCWarning(lcShell).noquote() << "start: no device link:" << QString::fromStdString(deviceError);
    page.setDeviceLink(device ? &device->link() : nullptr);
    window->setPage(&page);
    window->setDeviceLink(device ? &device->link() : nullptr);

    instance.setActivateHandler([w = window.get()] { w->send(UM_ACTIVATE); });
    // Building the window measures its first texts: from here on the toolkit uses the
    // font configuration, which is ready by now.
    fonts.reset();
    window->setDeferredBuilding(true);
    window->create(kit::WindowKind::Main);
    skin.forgetLayout(u"main.xml"_qs);
    std::unique_ptr<QSocketNotifier> hotplugWatch;
    if (device && device->link().hotplugFd() >= 0) {
        hotplugWatch = std::make_unique<QSocketNotifier>(device->link().hotplugFd(), QSocketNotifier::Read);
        QObject::connect(hotplugWatch.get(), &QSocketNotifier::activated, [&device] { device->link().dispatchHotplug(); });
    }
    window->setFixedSize(CMainWnd::kWidth, CMainWnd::kHeight);
    window->centerWindow();
    window->show();

    std::unique_ptr<TestDriver> driver;
    if (TestDriver::Enabled()) driver = std::make_unique<TestDriver>(*window, &page, device.get());

    const int code = QApplication::exec();
    qCInfo(lcShell) << "shutdown: event loop ended with" << code;
    // A start that comes now finds the lock still held and ends; it must not reach a
    // window that is going away.
    instance.setActivateHandler({});
    driver.reset();
    hotplugWatch.reset();
    window.reset();
    device.reset();
    qCInfo(lcShell) << "shutdown: skin layer ended";
    return 0;
}

}  // namespace halvern
