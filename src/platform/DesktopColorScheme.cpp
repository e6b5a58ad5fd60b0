#include "platform/DesktopColorScheme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QStyleHints>

namespace halvern {

namespace {

constexpr const char* kService = "org.freedesktop.portal.Desktop";
constexpr const char* kPath = "/org/freedesktop/portal/desktop";
constexpr const char* kInterface = "org.freedesktop.portal.Settings";
constexpr const char* kGroup = "org.freedesktop.appearance";
constexpr const char* kKey = "color-scheme";

// Read() answers a variant holding a variant holding the number.
ColorScheme FromVariant(QVariant value) {
    for (int depth = 0;
         depth < 3 && value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint number = value.toUInt(&ok);
    return ok ? ColorSchemeFromPortal(number) : ColorScheme::Unknown;
}

ColorScheme FromQt() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    switch (QGuiApplication::styleHints()->colorScheme()) {
        case Qt::ColorScheme::Dark: return ColorScheme::Dark;
        case Qt::ColorScheme::Light: return ColorScheme::Light;
        default: break;
    }
#endif
    return ColorScheme::Unknown;
}

}  // namespace

ColorScheme ColorSchemeFromPortal(std::uint32_t value) {
    if (value == 1) return ColorScheme::Dark;
    if (value == 2) return ColorScheme::Light;
    return ColorScheme::Unknown;
}

DesktopColorScheme::DesktopColorScheme() = default;

ColorScheme DesktopColorScheme::current(int timeoutMs) {
    ColorScheme found = ColorScheme::Unknown;
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kInterface), u"Read"_qs);
            call << QString::fromLatin1(kGroup) << QString::fromLatin1(kKey);
            const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
                found = FromVariant(reply.arguments().first());
        }
    }
    return found != ColorScheme::Unknown ? found : FromQt();
}

void DesktopColorScheme::watch(std::function<void(ColorScheme)> changed) {
    changed_ = std::move(changed);
    if (!qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")) return;
    QDBusConnection::sessionBus().connect(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                          QString::fromLatin1(kInterface), u"SettingChanged"_qs, this,
                                          SLOT(onSettingChanged(QString, QString, QDBusVariant)));
}

void DesktopColorScheme::onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
    if (group != QLatin1String(kGroup) || key != QLatin1String(kKey) || !changed_) return;
    changed_(FromVariant(value.variant()));
}

}  // namespace halvern
