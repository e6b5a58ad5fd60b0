#include "platform/DesktopNotification.h"

#include <QDBusMessage>
#include <QUrl>
#include <QVariantMap>

namespace halvern {

bool DesktopNotification::send(QDBusConnection& bus) const {
    if (!bus.isConnected()) return false;
    const QString icon = iconFile.isEmpty() ? QString() : QUrl::fromLocalFile(iconFile).toString();
    QVariantMap hints{{u"urgency"_qs, QVariant::fromValue(static_cast<uchar>(urgency))},
                      {u"category"_qs, u"device"_qs}};
    if (!icon.isEmpty()) hints.insert(u"image-path"_qs, icon);
    if (!desktopEntry.isEmpty()) hints.insert(u"desktop-entry"_qs, desktopEntry);
    QDBusMessage call =
        QDBusMessage::createMethodCall(u"org.freedesktop.Notifications"_qs, u"/org/freedesktop/Notifications"_qs,
                                       u"org.freedesktop.Notifications"_qs, u"Notify"_qs);
    // No replacement, no actions, the server's own time on screen.
    call << appName << uint(0) << icon << summary << body << QStringList() << hints << -1;
    return bus.send(call);
}

}  // namespace halvern
