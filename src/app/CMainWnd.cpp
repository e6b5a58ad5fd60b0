#include "app/CMainWnd.h"

#include <QCoreApplication>
#include <QCursor>

#include "app/ShellLog.h"
#include "halvern_abi.h"
#include "ui/dialogs/CDPIMsg.h"
#include "ui/kit/Button.h"
#include "ui/kit/Container.h"
#include "ui/kit/MenuWindow.h"
#include "ui/kit/Skin.h"
#include "ui/kit/Slider.h"
#include "ui/kit/TabLayout.h"
#include "ui/kit/TrayIcon.h"

namespace halvern {

namespace {

constexpr const char* kPageWindow = "MS_1_Page";
constexpr const char* kIconFile = "skins/halvern.png";

// Private messages that reach the main window and mean nothing to it; they are taken
// so nothing else acts on them.
constexpr std::uint32_t kIgnoredMessages[] = {
    HALVERN_WM_USER + 106, HALVERN_WM_USER + 513, HALVERN_WM_USER + 514,
    HALVERN_WM_USER + 518, HALVERN_WM_USER + 4097,
};

template <typename F, typename... Args>
void Call(const F& slot, Args&&... args) {
    if (slot) slot(std::forward<Args>(args)...);
}

}  // namespace

CMainWnd::CMainWnd(kit::Skin& skin, Options options)
    : kit::SkinWindow(skin), options_(std::move(options)), trayAvailable_(options_.trayAvailable) {}

CMainWnd::~CMainWnd() {
    qCInfo(lcShell) << "shutdown: main window deleted";
    removeVirtualWindow(QString::fromLatin1(kPageWindow));
    qCInfo(lcShell) << "shutdown: page virtual window removed";
    Call(options_.seams.stopReaders);
    qCInfo(lcShell) << "shutdown: reader threads stopped";
    Call(options_.seams.destroyPage);
    qCInfo(lcShell) << "shutdown: settings page destroyed";
    trayMenu_.reset();
    tray_.reset();
    qCInfo(lcShell) << "shutdown: tray icon removed";
}

QString CMainWnd::DpiText(std::intptr_t storedValue) {
    const long long v = storedValue;
    const long long dpi = v <= 200 ? v * 50 : (v - 100) * 100;
    return u"DPI :%1"_qs.arg(dpi);
}

bool CMainWnd::trayAvailable() const {
    if (trayAvailable_) return trayAvailable_();
    return tray_ && tray_->isAvailable();
}

void CMainWnd::onInit() {
    MainWndSeams& seams = options_.seams;
    if (seams.page) addVirtualWindow(QString::fromLatin1(kPageWindow), seams.page);
    Call(seams.initPage, *this);

    QIcon icon;
    if (const QPixmap* pixmap = skin().image(QString::fromLatin1(kIconFile))) icon = QIcon(*pixmap);
    setWindowIcon(icon);

    loadLanguage(u"lan.xml"_qs);
    const QString name = skin().text(u"mouse_name_text"_qs);
    tray_ = std::make_unique<kit::TrayIcon>(this, icon, name, trayAvailable_);

    skinBtn_ = find<kit::Button>(u"skin_btn"_qs);
    mainMenuBtn_ = find<kit::Button>(u"main_menu_btn"_qs);
    minBtn_ = find<kit::Button>(u"min_btn"_qs);
    exitBtn_ = find<kit::Button>(u"exit_btn"_qs);
    applyProgress_ = find<kit::Progress>(u"apply_progress"_qs);
    deviceTabSwitch_ = find<kit::TabLayout>(u"device_tab_switch"_qs);

    setWindowTitle(name);
    Call(seams.loadHookLibrary);
    Call(seams.loadProfiles);
    Call(seams.registerForDeviceNotifications);
    Call(seams.enumerateDevices);
    qCInfo(lcShell).noquote() << "start: main window ready, title" << name;
}

void CMainWnd::activate() {
    show();
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void CMainWnd::notify(const kit::Notification& n) {
    if (n.type == kit::notify::kClick) onClick(n);
}

void CMainWnd::onClick(const kit::Notification& n) {
    if (!n.sender) return;
    if (n.sender == exitBtn_) {
        // Without a tray there would be no way back to a hidden window.
        if (trayAvailable())
            hide();
        else
            showMinimized();
    } else if (n.sender == minBtn_) {
        showMinimized();
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
            activate();
            return true;
        case UM_LINK_CHANGED: {
            const bool anyLink = options_.seams.anyLink && options_.seams.anyLink();
            if (deviceTabSwitch_) deviceTabSwitch_->selectItem(anyLink ? 1 : 0);
            return true;
        }
        case UM_SHOW_DPI: showDpi(m.lParam); return true;
        case UM_DRIVER_EVENT:
            Call(options_.seams.onDriverEvent,
                 static_cast<std::uint32_t>((m.wParam & 0xFFFF) << 16) | static_cast<std::uint32_t>(m.lParam & 0xFFFF));
            return true;
        case UM_DRIVER_PLUG: {
            const std::uint32_t low = m.wParam == 1 ? 1 : m.wParam == 0 ? 2 : 0;
            Call(options_.seams.onDriverEvent, (std::uint32_t{0x7F00} << 16) | low);
            return true;
        }
        case UM_APPLY_REQUEST: Call(options_.seams.postApplyNow); return true;
        case UM_HOOK_EVENT: return true;  // the main window never installs a hook
        default: break;
    }
    for (std::uint32_t ignored : kIgnoredMessages)
        if (m.id == ignored) return true;
    return options_.seams.onDeviceMessage && options_.seams.onDeviceMessage(m.id, m.wParam, m.lParam);
}

void CMainWnd::onTimer(int id) {
    switch (id) {
        case OsdHideTimer:
            stopTimer(id);
            if (dpiOsd_) dpiOsd_->closeWindow(0);
            dpiOsd_ = nullptr;
            break;
        case ReenumerateTimer:
            stopTimer(id);
            Call(options_.seams.enumerateDevices);
            break;
        case WirelessTimeoutTimer:
            stopTimer(id);
            Call(options_.seams.onWirelessTimeout);
            break;
        case ApplyDebounceTimer:
            stopTimer(id);
            post(UM_APPLY_REQUEST);
            break;
        case ScrollSettingsTimer:
            stopTimer(id);
            if (auto* column = find<kit::Container>(u"ms_1_ver_setting"_qs)) column->scrollToEnd();
            break;
        case ChargingAnimationTimer:
            // Runs until the charging state ends; the bar sweeps 0..100 in steps of 2.
            if (auto* bar = find<kit::Progress>(u"ms_1_progress_power"_qs)) bar->setValue(chargeAnimationStep_);
            chargeAnimationStep_ += 2;
            if (chargeAnimationStep_ > 100) chargeAnimationStep_ = 0;
            break;
        case BleSubscribeTimer:
            stopTimer(id);
            Call(options_.seams.onBleSubscribe);
            break;
        case CableSettleTimer: Call(options_.seams.onDeviceTimer, id); break;
        default: break;
    }
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
    } else if (name.compare(u"exit"_qs, Qt::CaseInsensitive) == 0) {
        destroyWindow();
    } else if (name.startsWith(u"ms_1"_qs)) {
        // Only the page's own items: a nameless or foreign item must not reach the
        // page, which would take an unknown name as "left click".
        Call(options_.seams.onMenuItem, name);
    }
}

void CMainWnd::showDpi(std::intptr_t storedValue) {
    const QString text = DpiText(storedValue);
    stopTimer(OsdHideTimer);
    setTimer(OsdHideTimer, std::chrono::milliseconds(kOsdHideMs));
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

void CMainWnd::destroyWindow() {
    if (destroyed_) return;
    destroyed_ = true;
    onDestroy();
    hide();
}

void CMainWnd::onDestroy() {
    qCInfo(lcShell) << "shutdown: destroy handling";
    if (dpiOsd_) dpiOsd_->closeWindow(0);
    dpiOsd_ = nullptr;
    qCInfo(lcShell) << "shutdown: DPI display closed";
    Call(options_.seams.unloadHookLibrary);
    qCInfo(lcShell) << "shutdown: hooks removed, hook library freed";
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    qCInfo(lcShell) << "shutdown: quit posted";
}

}  // namespace halvern
