#include "app/Application.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFont>
#include <QSocketNotifier>

#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <thread>

#include "app/BatteryWatch.h"
#include "app/CMainWnd.h"
#include "app/CommandLine.h"
#include "app/QuitOnSignal.h"
#include "app/ShellLog.h"
#include "app/SingleInstance.h"
#include "app/TestDriver.h"
#include "app/WindowTimers.h"
#include "device/HookLibrary.h"
#include "host/DeviceStack.h"
#include "platform/DataPaths.h"
#include "platform/DesktopColorScheme.h"
#include "platform/DesktopMouseSettings.h"
#include "platform/DesktopNotification.h"
#include "platform/DesktopOsd.h"
#include "platform/FocusWatcher.h"
#include "platform/FocusWatcher.h"
#include "platform/StartWarmUp.h"
#include "platform/WindowActivation.h"
#include "platform/XkbKeyboardLayout.h"
#include "protocol/Clock.h"
#include "protocol/LinkState.h"
#include "storage/SettingsFile.h"
#include "ui/dialogs/CDpiColorWnd.h"
#include "ui/kit/Languages.h"
#include "ui/kit/Skin.h"
#include "ui/page/CMS_1_Page.h"

namespace halvern {

namespace {

constexpr const char* kNotificationIcon = "skins/halvern_64.png";

// A battery warning as a desktop notification, unless the user turned them off in the
// main menu (CONFIG.ini, read when one falls due).
void WarnOfBattery(const kit::Skin& skin, const std::filesystem::path& dataFolder, BatteryWarnings::Warning warning,
                   int level) {
    const bool critical = warning == BatteryWarnings::Warning::Critical;
    if (!SettingsFile(dataFolder).readBatteryWarnings()) {
        qCInfo(lcShell) << "battery warning at" << level << "% not shown: turned off";
        return;
    }
    DesktopNotification note;
    note.appName = u"halvern"_qs;
    note.iconFile = QDir(skin.folder()).filePath(QString::fromLatin1(kNotificationIcon));
    note.summary = skin.text(critical ? u"battery_critical_title_text"_qs : u"battery_low_title_text"_qs);
    note.body = skin.text(critical ? u"battery_critical_text"_qs : u"battery_low_text"_qs).arg(level);
    note.urgency = critical ? DesktopNotification::Urgency::Critical : DesktopNotification::Urgency::Normal;
    note.desktopEntry = QString::fromLatin1(HALVERN_APP_ID);
    QDBusConnection bus = QDBusConnection::sessionBus();
    const bool sent = note.send(bus);
    qCInfo(lcShell) << "battery warning:" << (critical ? "critical" : "low") << "at" << level << "%"
                    << (sent ? "sent" : "not sent: no session bus");
}

// What the background reading of the skin found, for the main thread after the join.
struct SkinReading {
    std::optional<QString> layoutError;
    QString language;
    std::optional<QString> languageProblem;
};

// The main window's layout and the texts in the user's language are read and parsed
// while the toolkit connects to the display. The skin is the thread's until it is
// joined; nothing else touches it before.
std::jthread ReadSkinInBackground(kit::Skin& skin, SkinReading& reading, std::optional<QString> keptLanguage) {
    return std::jthread([&skin, &reading, keptLanguage] {
        if (const auto* error = std::get_if<kit::LayoutError>(&skin.layout(u"main.xml"_qs)))
            reading.layoutError = error->message;
        QStringList languages;
        for (const kit::LanguageInfo& language : kit::FindLanguages(skin.folder())) languages << language.code;
        reading.language = kit::ChooseLanguage(keptLanguage, kit::LocaleEnvironment::FromProcess(), languages);
        reading.languageProblem = skin.setLanguage(reading.language);
    });
}

// The exit code when another copy runs (said on standard error as well as in the log,
// so that a start from a terminal or a launcher's log does not look like a crash);
// nullopt when this copy is the first.
std::optional<int> ExitForOtherCopy(SingleInstance::Outcome claimed) {
    switch (claimed) {
        case SingleInstance::Outcome::First: return std::nullopt;
        case SingleInstance::Outcome::ActivatedRunning:
            qCInfo(lcShell) << "start: another copy runs and was activated";
            std::fputs("halvern: already running; its window was brought to the front\n", stderr);
            return 1;
        case SingleInstance::Outcome::RunningNoAnswer:
            qCInfo(lcShell) << "start: another copy runs but did not answer";
            std::fputs("halvern: already running, but it did not answer; nothing was started\n", stderr);
            return 1;
    }
    return 1;
}

// The look before the window is built, so that it is drawn once, in it: the one the
// user kept, else the desktop's light or dark. Returns whether the look follows the
// desktop from now on.
bool ChooseLook(kit::Skin& skin, const SettingsFile& settings, DesktopColorScheme& desktopScheme) {
    std::optional<kit::Skin::Theme> keptTheme;
    if (auto kept = settings.readTheme()) keptTheme = kit::Skin::ThemeNamed(QString::fromStdString(*kept));
    if (keptTheme) skin.setTheme(*keptTheme);
    else if (desktopScheme.current() == ColorScheme::Light) skin.setTheme(kit::Skin::Theme::Light);

    // The skin's face is every text's default: layouts measure texts as they are built,
    // before the style sheet reaches a widget, and the desktop's default face would be
    // loaded only for that. Read from the look chosen above, so that one style sheet is
    // read, not both.
    kit::ApplyBaseLook(skin);
    return !keptTheme;
}

// The program's parts from the window on. They are built in the steps below and end in
// the reverse order of the members: the test driver and the hot-plug watch first, then
// the window (which commits and stores the user's edits), then the device link (whose
// threads post to the window's host handle until they are joined), then the page and
// what the page runs on.
struct Program {
    LinkState links;
    SteadyClock clock;
    HookLibrary hooks;
    // Only a Wayland session hands the DPI display to the desktop.
    std::unique_ptr<DesktopOsd> desktopOsd;
    std::optional<WindowTimers> timers;
    // The desktop's keyboard layout is compiled when a key is first shown, not before
    // the window maps.
    std::unique_ptr<XkbKeyboardLayout> keyboard;
    // What tells the page which application is in front, for its automatic profiles.
    std::unique_ptr<FocusWatcher> focus;
    std::unique_ptr<CMS_1_Page> page;
    std::unique_ptr<BatteryWatch> battery;
    std::unique_ptr<DeviceStack> device;
    std::unique_ptr<CMainWnd> window;
    std::unique_ptr<QSocketNotifier> hotplugWatch;
    std::unique_ptr<TestDriver> driver;
};

// The window first: its timer table and host handle are what the page and the device
// link run on.
void BuildWindow(Program& program, kit::Skin& skin, const ProgramFolders& folders,
                 const std::filesystem::path& dataFolder, const QString& language, bool followDesktopTheme) {
    CMainWnd::Options options;
    options.hooks = &program.hooks;
    options.libraryFolder = folders.libraries;
    options.dataFolder = dataFolder;
    options.language = language;
    options.followDesktopTheme = followDesktopTheme;
    // Elsewhere than on Wayland the window of its own shows the DPI display and the bus
    // is not asked.
    if (CurrentWindowSystem() == WindowSystem::Wayland) {
        program.desktopOsd = std::make_unique<DesktopOsd>(
            QDBusConnection::sessionBus(), WindowSystem::Wayland,
            DesktopOsd::Look{u"halvern"_qs, QDir(skin.folder()).filePath(QString::fromLatin1(kNotificationIcon)),
                             kOsdHideDelay});
        options.desktopOsd = program.desktopOsd.get();
    }
    program.window = std::make_unique<CMainWnd>(skin, std::move(options));
    program.timers.emplace(*program.window);
}

void BuildPage(Program& program, kit::Skin& skin, const std::filesystem::path& dataFolder) {
    CMS_1_Page::Parts pageParts{dataFolder, program.links, *program.timers, program.clock};
    pageParts.openMouseSettings = &OpenDesktopMouseSettings;
    pageParts.pickColor = [&skin, w = program.window.get()](std::uint32_t argb, QPoint origin) {
        return CDpiColorWnd::Pick(skin, w, argb, origin);
    };
    pageParts.keyboard = [&keyboard = program.keyboard]() -> const KeyboardLayout& {
        if (!keyboard) keyboard = XkbKeyboardLayout::FromEnvironment();
        return *keyboard;
    };
    pageParts.hooks = &program.hooks;
    // One source for the session's desktop, chosen now and started once the window is up.
    const FocusSource focusSource = ChooseFocusSource(DesktopSession::FromEnvironment());
    program.focus = CreateFocusWatcher(focusSource);
    qCInfo(lcShell) << "start: the window in front through" << FocusSourceName(focusSource);
    pageParts.focus = program.focus.get();
    pageParts.ownApplications = {"halvern", HALVERN_APP_ID};
    program.page = std::make_unique<CMS_1_Page>(std::move(pageParts));
    program.battery =
        std::make_unique<BatteryWatch>(*program.page, [&skin, dataFolder](BatteryWarnings::Warning warning, int level) {
            WarnOfBattery(skin, dataFolder, warning, level);
        });
}

void ConnectDevice(Program& program) {
    std::string deviceError;
    program.device = DeviceStack::Create(
        DeviceStack::Options::FromEnvironment(),
        {*program.timers, *program.window->hostWindow(), *program.battery, *program.page, program.links}, deviceError);
    DeviceStack* device = program.device.get();
    if (!device) qCWarning(lcShell).noquote() << "start: no device link:" << QString::fromStdString(deviceError);
    // Without it the cable never links; said once so that a broken install shows.
    else if (!device->driver().loaded())
        qCWarning(lcShell).noquote() << "start: no driver library:" << QString::fromStdString(device->driver().error());
    program.page->setDeviceLink(device ? &device->link() : nullptr);
    program.window->setPage(program.page.get());
    program.window->setDeviceLink(device ? &device->link() : nullptr);
}

void WatchHotplug(Program& program) {
    DeviceStack* device = program.device.get();
    if (!device || device->link().hotplugFd() < 0) return;
    program.hotplugWatch = std::make_unique<QSocketNotifier>(device->link().hotplugFd(), QSocketNotifier::Read);
    QObject::connect(program.hotplugWatch.get(), &QSocketNotifier::activated,
                     [device] { device->link().dispatchHotplug(); });
}

}  // namespace

int Application::Run(int argc, char** argv) {
    const CommandLine commandLine = ParseCommandLine(
        std::span<const char* const>(argv + 1, argc > 0 ? static_cast<std::size_t>(argc - 1) : 0), HALVERN_VERSION);
    if (const auto* exit = std::get_if<CommandLineExit>(&commandLine)) {
        std::fputs(exit->out.c_str(), stdout);
        std::fputs(exit->err.c_str(), stderr);
        return exit->code;
    }
    const StartOptions start = std::get<StartOptions>(commandLine);
    std::optional<StartWarmUp> warmUp(std::in_place);

    const ProgramFolders folders = FindProgramFolders();
    qCInfo(lcShell).noquote() << "start: skin" << QString::fromStdString(folders.skin.string()) << "libraries"
                              << QString::fromStdString(folders.libraries.string());
    const std::filesystem::path dataFolder = GetDataFolder();
    qCInfo(lcShell).noquote() << "start: data folder" << QString::fromStdString(dataFolder.string());
    const SettingsFile settings(dataFolder);
    std::optional<QString> keptLanguage;
    if (auto kept = settings.readLanguage()) keptLanguage = QString::fromStdString(*kept);

    kit::Skin skin(QString::fromStdString(folders.skin.string()));
    SkinReading reading;
    std::jthread skinReader = ReadSkinInBackground(skin, reading, keptLanguage);

    const LaunchTokens launchTokens = LaunchTokens::FromEnvironment();
    QApplication app(argc, argv);
    warmUp->toolkitReady();
    QApplication::setApplicationName(u"halvern"_qs);
    QApplication::setDesktopFileName(QString::fromLatin1(HALVERN_APP_ID));
    // The window hides to the tray and the DPI display comes and goes; neither may
    // end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance(QString::fromLatin1(HALVERN_APP_ID));
    // A second start hands its launcher's token on, so the running copy may take the focus.
    const SingleInstance::Outcome claimed =
        instance.claim(std::chrono::milliseconds(5000), launchTokens.forSystem(CurrentWindowSystem()));
    skinReader.join();
    if (const std::optional<int> exitCode = ExitForOtherCopy(claimed)) {
        // The warm-up threads end before Qt's teardown, which takes fontconfig and the
        // bus connection down, can meet them still at work.
        warmUp.reset();
        return *exitCode;
    }
    if (reading.layoutError) qCWarning(lcShell).noquote() << *reading.layoutError;
    if (reading.languageProblem) qCWarning(lcShell).noquote() << "language:" << *reading.languageProblem;

    DesktopColorScheme desktopScheme;
    const bool followDesktopTheme = ChooseLook(skin, settings, desktopScheme);

    std::optional<Program> parts(std::in_place);
    Program& program = *parts;
    BuildWindow(program, skin, folders, dataFolder, reading.language, followDesktopTheme);
    BuildPage(program, skin, dataFolder);
    ConnectDevice(program);
    CMainWnd* window = program.window.get();
    instance.setActivateHandler([window](const QByteArray& token) { window->activateForSecondStart(token); });
    desktopScheme.watch([window](ColorScheme scheme) {
        if (scheme != ColorScheme::Unknown)
            window->desktopPrefersTheme(scheme == ColorScheme::Light ? kit::Skin::Theme::Light
                                                                     : kit::Skin::Theme::Dark);
    });
    window->setDeferredBuilding(true);
    window->create(kit::WindowKind::Main);
    skin.forgetLayout(u"main.xml"_qs);
    WatchHotplug(program);
    window->setFixedSize(CMainWnd::kWidth, CMainWnd::kHeight);
    window->centerWindow();
    window->showAtStart(start.hidden);
    // Long done by now; nothing of theirs is left to wait for while the program runs.
    warmUp.reset();
    if (TestDriver::Enabled())
        program.driver = std::make_unique<TestDriver>(*window, program.page.get(), program.device.get());

    int code = 0;
    {
        // The session ending ends the program as the tray's Quit does, without its
        // questions: there is nobody to answer them.
        QuitOnSignal sessionEnd([window] {
            window->commitPendingEdits();
            QCoreApplication::exit(0);
        });
        code = QApplication::exec();
    }
    qCInfo(lcShell) << "shutdown: event loop ended with" << code;
    // A start that comes now finds the lock still held and ends; it must not reach a
    // window that is going away.
    instance.setActivateHandler({});
    desktopScheme.stopWatching();
    parts.reset();
    qCInfo(lcShell) << "shutdown: skin layer ended";
    return 0;
}

}  // namespace halvern
