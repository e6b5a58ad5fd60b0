// The notification-area icon. Clicks reach the owner window as UM_TRAY_NOTIFY with the
// mouse message in lParam: 0x0202 for a left click, 0x0205 for a right click.
#pragma once

#include <QIcon>
#include <QString>

#include <functional>

class QSystemTrayIcon;

namespace halvern::kit {

class SkinWindow;

inline constexpr long kTrayLeftButtonUp = 0x0202;
inline constexpr long kTrayRightButtonUp = 0x0205;

class TrayIcon {
public:
    // Whether the desktop shows tray icons; a seam so tests can stand in for a desktop.
    using Probe = std::function<bool()>;

    TrayIcon(SkinWindow* owner, const QIcon& icon, const QString& tooltip, Probe available = {});
    ~TrayIcon();  // removes the icon from the notification area
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    bool isAvailable() const;
    bool isShown() const;
    void setToolTip(const QString& tooltip);

private:
    QSystemTrayIcon* icon_ = nullptr;
    Probe available_;
};

}  // namespace halvern::kit
