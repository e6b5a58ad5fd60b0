#include "app/CMainWnd.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QWindow>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include "app/ShellLog.h"
#include "device/DeviceLink.h"
#include "ui/page/PageTimers.h"
#include "device/HookLibrary.h"
#include "halvern_abi.h"
#include "platform/Autostart.h"
#include "platform/DesktopOsd.h"
#include "platform/DeviceAccess.h"
#include "platform/WindowActivation.h"
#include "records/MouseProfile.h"
#include "storage/SettingsFile.h"
#include "ui/dialogs/CAboutWnd.h"
#include "ui/dialogs/CDPIMsg.h"
#include "ui/dialogs/CMsgWnd.h"
#include "ui/kit/Button.h"
#include "ui/kit/Container.h"
#include "ui/kit/Languages.h"
#include "ui/kit/MenuWindow.h"
#include "ui/kit/Skin.h"
#include "ui/kit/Slider.h"
#include "ui/kit/TabLayout.h"
#include "ui/kit/TrayIcon.h"
#include "ui/page/SettingsPage.h"

namespace halvern {

namespace {

constexpr const char* kIconFile = "skins/halvern_64.png";

// Private messages that reach the main window and mean nothing to it; they are taken
// so nothing else acts on them.
constexpr std::uint32_t kIgnoredMessages[] = {
    HALVERN_WM_USER + 106, HALVERN_WM_USER + 513, HALVERN_WM_USER + 514, HALVERN_WM_USER + 518, HALVERN_WM_USER + 4097,
};

}  // namespace

CMainWnd::CMainWnd(kit::Skin& skin, Options options)
    : kit::SkinWindow(skin), options_(std::move(options)), trayAvailable_(options_.trayAvailable) {}

CMainWnd::~CMainWnd() {
    qCInfo(lcShell) << "shutdown: main window deleted";
    removeVirtualWindow(QString::fromLatin1(kPageWindow));
    qCInfo(lcShell) << "shutdown: page virtual window removed";
    stopDeviceLink();
    qCInfo(lcShell) << "shutdown: reader threads stopped";
    if (options_.page) options_.page->destroy();
    qCInfo(lcShell) << "shutdown: settings page destroyed";
    trayMenu_.reset();
    mainMenu_.reset();
    tray_.reset();
    qCInfo(lcShell) << "shutdown: tray icon removed";
}

QString CMainWnd::DpiText(std::intptr_t storedValue) {
    // The value comes from a 16-bit field of the mouse; the clamp only keeps a hostile
    // one from overflowing the conversion.
    constexpr std::intptr_t kLimit = std::numeric_limits<std::int32_t>::max() / 100;
    const auto v = static_cast<std::int32_t>(std::clamp<std::intptr_t>(storedValue, -kLimit, kLimit));
    return u"DPI :%1"_qs.arg(DpiFromValue(v));
}

bool CMainWnd::trayAvailable() const {
    if (trayAvailable_) return trayAvailable_();
    return tray_ && tray_->isAvailable();
}

void CMainWnd::onInit() {
    if (options_.page) {
        addVirtualWindow(QString::fromLatin1(kPageWindow), &options_.page->notifyPump());
        options_.page->init(*this);
        // Nothing is on screen yet; the first show tells the page otherwise.
        pageToldShown_ = false;
        options_.page->windowShown(false);
    }

    // The shell may have set it before the controls were built, which then have their
    // texts already.
    if (skin().requestedLanguage() != options_.language) {
        if (auto problem = skin().setLanguage(options_.language))
            qCWarning(lcShell).noquote() << "language:" << *problem;
        retranslate();
    }
    const QString name = skin().text(u"mouse_name_text"_qs);

    skinBtn_ = find<kit::Button>(u"skin_btn"_qs);
    mainMenuBtn_ = find<kit::Button>(u"main_menu_btn"_qs);
    minBtn_ = find<kit::Button>(u"min_btn"_qs);
    exitBtn_ = find<kit::Button>(u"exit_btn"_qs);
    applyProgress_ = find<kit::Progress>(u"apply_progress"_qs);
    deviceTabSwitch_ = find<kit::TabLayout>(u"device_tab_switch"_qs);

    setWindowTitle(name);
    if (options_.hooks && !options_.hooks->loadOnFirstUse(options_.libraryFolder))
        qCInfo(lcShell).noquote() << "start: no hook library:" << QString::fromStdString(options_.hooks->error());
    // The link flags first: loading the profiles treats a Bluetooth LE mouse found at
    // start as one that has just arrived.
    if (options_.device) options_.device->start();
    if (options_.page) options_.page->loadProfiles();
    qCInfo(lcShell).noquote() << "start: main window ready, title" << name;
}

void CMainWnd::onLayoutComplete() {
    // The icon and the tray join after the first paint: neither is needed to put the
    // window on screen.
    QIcon icon;
    if (const QPixmap* pixmap = skin().image(QString::fromLatin1(kIconFile))) icon = QIcon(*pixmap);
    setWindowIcon(icon);
    tray_ = std::make_unique<kit::TrayIcon>(this, icon, skin().text(u"mouse_name_text"_qs), trayAvailable_);
    if (options_.page) options_.page->layoutComplete();
}

void CMainWnd::activate(const QByteArray& token) {
    show();
    if (isMinimized()) showNormal();
    raise();
    if (token.isEmpty()) {
        activateWindow();
        return;
    }
    qCInfo(lcShell).noquote() << "activate: asking" << QGuiApplication::platformName() << "with token"
                              << QString::fromLatin1(token);
    ActivateWindow(windowHandle(), token);
}

void CMainWnd::activateForSecondStart(const QByteArray& token) {
    activationToken_ = token;
    send(UM_ACTIVATE);
    activationToken_.clear();
}

void CMainWnd::showAtStart(bool hidden) {
    if (!hidden) {
        show();
        return;
    }
    // Never shown, the window would never paint, and its deferred children and the tray
    // icon wait for the first paint.
    completeLayout();
    if (trayAvailable()) {
        qCInfo(lcShell) << "start: hidden in the tray";
        return;
    }
    qCInfo(lcShell) << "start: no tray to hide in; minimised";
    showMinimized();
}

void CMainWnd::notify(const kit::Notification& n) {
    if (n.type == kit::notify::kClick) onClick(n);
}

void CMainWnd::onClick(const kit::Notification& n) {
    if (!n.sender) return;
    if (n.sender == exitBtn_) {
        // Without a tray there would be no way back to a hidden window.
        if (trayAvailable()) hide();
        else showMinimized();
    } else if (n.sender == minBtn_) {
        showMinimized();
    } else if (n.sender == mainMenuBtn_) {
        openMainMenu();
    } else if (n.sender == skinBtn_) {
        const bool dark = skin().theme() == kit::Skin::Theme::Dark;
        switchTheme(dark ? kit::Skin::Theme::Light : kit::Skin::Theme::Dark, true);
    }
}

bool CMainWnd::handleMessage(const kit::Message& m) {
    switch (m.id) {
        case UM_TRAY_NOTIFY:
            if (m.lParam == kit::kTrayLeftButtonUp) activate();
            else if (m.lParam == kit::kTrayRightButtonUp) openTrayMenu();
            return true;
        case UM_MENU_COMMAND: onMenuCommand(m); return true;
        case UM_ACTIVATE:
            qCInfo(lcShell) << "activate";
            activate(std::exchange(activationToken_, {}));
            return true;
        case UM_LINK_CHANGED: {
            const bool anyLink = options_.device && options_.device->links().anyLink.load() != 0;
            if (deviceTabSwitch_) deviceTabSwitch_->selectItem(anyLink ? 1 : 0);
            return true;
        }
        case UM_SHOW_DPI: showDpi(m.lParam); return true;
        case UM_APPLY_REQUEST:
            if (options_.page) options_.page->onApplyRequest();
            return true;
        case UM_HOOK_EVENT: return true;  // the main window never installs a hook
        default: break;
    }
    for (std::uint32_t ignored : kIgnoredMessages)
        if (m.id == ignored) return true;
    // The driver library's, the readers' and the Bluetooth LE messages, as they came.
    return options_.device && options_.device->handleMessage(m.id, m.wParam, m.lParam);
}

void CMainWnd::onTimer(int id) {
    switch (id) {
        case TimerId::OsdHide:
            stopTimer(id);
            if (options_.desktopOsd) options_.desktopOsd->close();
            if (dpiOsd_) dpiOsd_->closeWindow(0);
            dpiOsd_ = nullptr;
            return;
        case TimerId::ApplyDebounce:
            stopTimer(id);
            post(UM_APPLY_REQUEST);
            return;
        case TimerId::ScrollSettings:
            stopTimer(id);
            if (auto* column = find<kit::Container>(u"ms_1_ver_setting"_qs)) column->scrollToEnd();
            return;
        default: break;
    }
    // The device link and the page stop their own one-shot timers.
    if (options_.device && options_.device->onTimer(id)) return;
    if (options_.page) options_.page->onTimer(id);
}

void CMainWnd::openTrayMenu() {
    trayMenu_.reset();
    QString error;
    trayMenu_ = kit::MenuWindow::Create(skin(), u"traymenu.xml"_qs, this, &error);
    if (!trayMenu_) {
        qCWarning(lcShell).noquote() << error;
        return;
    }
    const QPoint cursor = QCursor::pos();
    trayMenu_->popupAt(QPoint(cursor.x(), cursor.y() - 50));
}

void CMainWnd::onMenuCommand(const kit::Message& m) {
    const auto* command = std::any_cast<std::shared_ptr<const kit::MenuCommand>>(&m.payload);
    if (m.wParam == 0 || !command || !*command) return;
    const QString name = (*command)->name;
    if (name.compare(u"configuration"_qs, Qt::CaseInsensitive) == 0) {
        activate();
    } else if (name.compare(u"exit"_qs, Qt::CaseInsensitive) == 0 || name == u"main_quit") {
        destroyWindow();
    } else if (name == u"main_autostart") {
        toggleAutostart();
    } else if (name == u"main_battery_warnings") {
        toggleBatteryWarnings();
    } else if (name == u"main_language") {
        switchLanguage((*command)->userData);
    } else if (name == u"main_about") {
        CAboutWnd::Show(skin(), this, aboutText());
    } else if (name.startsWith(u"ms_1"_qs)) {
        // Only the page's own items: a nameless or foreign item must not reach the
        // page, which would take an unknown name as "left click".
        if (options_.page) options_.page->onMenuItem(name);
    }
}

void CMainWnd::openMainMenu() {
    mainMenu_.reset();
    QString error;
    mainMenu_ = kit::MenuWindow::Create(skin(), u"mainmenu.xml"_qs, this, &error);
    if (!mainMenu_) {
        qCWarning(lcShell).noquote() << error;
        return;
    }
    if (QAction* autostart = mainMenu_->findItem(u"main_autostart"_qs))
        autostart->setChecked(Autostart(AutostartEnvironment::FromProcess()).isEnabled());
    if (QAction* warnings = mainMenu_->findItem(u"main_battery_warnings"_qs))
        warnings->setChecked(options_.dataFolder.empty() || SettingsFile(options_.dataFolder).readBatteryWarnings());
    for (const kit::LanguageInfo& language : kit::FindLanguages(skin().folder())) {
        if (QAction* listed = mainMenu_->findItem(u"main_language"_qs, language.code))
            listed->setChecked(language.code == skin().languageCode());
        else
            mainMenu_->addItem(u"main_languages"_qs, {u"main_language"_qs, language.code, language.name},
                               language.code == skin().languageCode());
    }
    const QWidget* anchor = mainMenuBtn_ ? mainMenuBtn_->widget() : this;
    mainMenu_->popupAt(anchor->mapToGlobal(QPoint(0, anchor->height())));
}

void CMainWnd::toggleAutostart() {
    const Autostart autostart(AutostartEnvironment::FromProcess());
    const bool enable = !autostart.isEnabled();
    if (auto error = autostart.setEnabled(enable)) {
        qCWarning(lcShell).noquote() << "autostart:" << QString::fromStdString(*error);
        CMsgWnd::Ask(skin(), this, u"warning_title_text"_qs,
                     enable ? u"autostart_write_failed_text"_qs : u"autostart_remove_failed_text"_qs);
        return;
    }
    qCInfo(lcShell).noquote() << "autostart:" << (enable ? "on," : "off,")
                              << QString::fromStdString(autostart.entryPath().string());
}

void CMainWnd::toggleBatteryWarnings() {
    if (options_.dataFolder.empty()) return;
    const SettingsFile settings(options_.dataFolder);
    const bool on = !settings.readBatteryWarnings();
    if (auto error = settings.saveBatteryWarnings(on)) {
        qCWarning(lcShell).noquote() << "battery warnings not kept:" << QString::fromStdString(*error);
        return;
    }
    qCInfo(lcShell) << "battery warnings:" << (on ? "on" : "off");
}

void CMainWnd::switchLanguage(const QString& code) {
    if (auto problem = skin().setLanguage(code)) qCWarning(lcShell).noquote() << "language:" << *problem;
    // Every skin window open now; the ones opened later read the new texts as they build.
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* window = dynamic_cast<kit::SkinWindow*>(top)) window->retranslate();
    if (options_.page) options_.page->languageChanged();
    const QString name = skin().text(u"mouse_name_text"_qs);
    setWindowTitle(name);
    if (tray_) tray_->setToolTip(name);
    if (!options_.dataFolder.empty()) {
        if (auto error = SettingsFile(options_.dataFolder).saveLanguage(skin().languageCode().toStdString()))
            qCWarning(lcShell).noquote() << "language not kept:" << QString::fromStdString(*error);
    }
    qCInfo(lcShell).noquote() << "language:" << skin().languageCode();
}

void CMainWnd::switchTheme(kit::Skin::Theme theme, bool chosen) {
    if (chosen) {
        options_.followDesktopTheme = false;
        if (!options_.dataFolder.empty()) {
            if (auto error = SettingsFile(options_.dataFolder).saveTheme(kit::Skin::ThemeName(theme).toStdString()))
                qCWarning(lcShell).noquote() << "look not kept:" << QString::fromStdString(*error);
        }
    }
    if (theme == skin().theme()) return;
    skin().setTheme(theme);
    kit::ApplyBaseLook(skin());
    const QString sheet = skin().styleSheet();
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (dynamic_cast<kit::SkinWindow*>(top) || dynamic_cast<kit::MenuWindow*>(top)) {
            top->setStyleSheet(sheet);
            // Images are drawn by the controls themselves, from the skin's new set.
            for (QWidget* child : top->findChildren<QWidget*>()) child->update();
        }
    }
    qCInfo(lcShell).noquote() << "look:" << kit::Skin::ThemeName(theme) << (chosen ? "(chosen)" : "(desktop)");
}

void CMainWnd::desktopPrefersTheme(kit::Skin::Theme theme) {
    if (options_.followDesktopTheme) switchTheme(theme, false);
}

QString CMainWnd::aboutText() const {
    QStringList lines;
    lines << skin().text(u"about_version_text"_qs).arg(QString::fromLatin1(HALVERN_VERSION));
    lines << skin().text(u"about_licence_text"_qs).arg(QString::fromLatin1(HALVERN_LICENSE));
    const QString folder = options_.dataFolder.empty() ? u"-"_qs : QString::fromStdString(options_.dataFolder.string());
    lines << skin().text(u"about_data_text"_qs).arg(folder);
    const DeviceAccess access = DeviceAccess::Probe();
    if (access.rule.empty()) lines << skin().text(u"about_rule_missing_text"_qs);
    else lines << skin().text(u"about_rule_text"_qs).arg(QString::fromStdString(access.rule.string()));
    if (access.nodes.empty()) lines << skin().text(u"about_nodes_none_text"_qs);
    else lines << skin().text(u"about_nodes_text"_qs).arg(access.openable.size()).arg(access.nodes.size());
    return lines.join(u'\n');
}

void CMainWnd::showDpi(std::intptr_t storedValue) {
    const QString text = DpiText(storedValue);
    stopTimer(TimerId::OsdHide);
    setTimer(TimerId::OsdHide, kOsdHideDelay);
    // On Wayland the desktop shows it; a window there would be placed where the
    // compositor likes and listed as a window of the program.
    const DesktopOsd::Route route = options_.desktopOsd ? options_.desktopOsd->show(text) : DesktopOsd::Route::Window;
    dpiRoute_ = DesktopOsd::RouteName(route);
    if (route != DesktopOsd::Route::Window) return;
    if (dpiOsd_) {
        dpiOsd_->setDpiText(text);
        return;
    }
    auto* osd = new CDPIMsg(skin(), this, text);
    osd->setDeleteOnClose(true);
    osd->create(kit::WindowKind::Overlay);
    osd->show();
    dpiOsd_ = osd;
}

void CMainWnd::showEvent(QShowEvent* event) {
    kit::SkinWindow::showEvent(event);
    tellPageWhetherShown();
}

void CMainWnd::hideEvent(QHideEvent* event) {
    kit::SkinWindow::hideEvent(event);
    tellPageWhetherShown();
}

void CMainWnd::changeEvent(QEvent* event) {
    kit::SkinWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) tellPageWhetherShown();
}

void CMainWnd::tellPageWhetherShown() {
    const bool shown = isVisible() && !isMinimized();
    if (!options_.page || shown == pageToldShown_) return;
    pageToldShown_ = shown;
    options_.page->windowShown(shown);
}

void CMainWnd::stopDeviceLink() {
    if (options_.device) options_.device->stop();
}

void CMainWnd::destroyWindow() {
    if (destroyed_) return;
    destroyed_ = true;
    // A quit (from the tray, or the window system's) acts on no control: what the boxes
    // of this window or of an open dialog hold is committed first. A modal dialog then
    // closes, before the hook library it may be calling goes. dynamic_cast: the kit's
    // windows declare no meta-object, so qobject_cast would take any widget.
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* dialog = dynamic_cast<kit::SkinWindow*>(top);
        if (!dialog || dialog == this || !dialog->isVisible() || !dialog->isModal()) continue;
        dialog->commitPendingEdits();
        dialog->closeWindow(0);
    }
    commitPendingEdits();
    // Then what the page holds goes to disk, asking if it cannot.
    if (options_.page) options_.page->keepBeforeQuit();
    onDestroy();
    hide();
}

void CMainWnd::onDestroy() {
    qCInfo(lcShell) << "shutdown: destroy handling";
    if (options_.desktopOsd) options_.desktopOsd->close();
    if (dpiOsd_) dpiOsd_->closeWindow(0);
    dpiOsd_ = nullptr;
    qCInfo(lcShell) << "shutdown: DPI display closed";
    if (options_.hooks && options_.hooks->opened()) {
        const HookTable& hooks = options_.hooks->table();
        if (hooks.removemousehook) hooks.removemousehook();
        if (hooks.removehook) hooks.removehook();
        options_.hooks->free();
    }
    qCInfo(lcShell) << "shutdown: hooks removed, hook library freed";
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    qCInfo(lcShell) << "shutdown: quit posted";
}

}  // namespace halvern
