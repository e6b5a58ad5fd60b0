#include "ui/kit/TrayIcon.h"

#include <QSystemTrayIcon>

#include "halvern_abi.h"
#include "ui/kit/SkinWindow.h"

namespace halvern::kit {

TrayIcon::TrayIcon(SkinWindow* owner, const QIcon& icon, const QString& tooltip, Probe available)
    : available_(available ? std::move(available) : Probe([] { return QSystemTrayIcon::isSystemTrayAvailable(); })) {
    icon_ = new QSystemTrayIcon(icon);
    icon_->setToolTip(tooltip);
    QObject::connect(icon_, &QSystemTrayIcon::activated, owner, [owner](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) owner->post(UM_TRAY_NOTIFY, 0, kTrayLeftButtonUp);
        if (reason == QSystemTrayIcon::Context) owner->post(UM_TRAY_NOTIFY, 0, kTrayRightButtonUp);
    });
    if (isAvailable()) icon_->show();
}

TrayIcon::~TrayIcon() {
    icon_->hide();
    delete icon_;
}

bool TrayIcon::isAvailable() const { return available_(); }
bool TrayIcon::isShown() const { return icon_->isVisible(); }
void TrayIcon::setToolTip(const QString& tooltip) { icon_->setToolTip(tooltip); }

}  // namespace halvern::kit
