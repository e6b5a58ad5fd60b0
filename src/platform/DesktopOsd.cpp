#include "platform/DesktopOsd.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLoggingCategory>
#include <QUrl>
#include <QVariantMap>

#include <utility>

namespace halvern {

namespace {

Q_LOGGING_CATEGORY(lcOsd, "halvern.osd", QtInfoMsg)

constexpr const char* kPlasmaService = "org.kde.plasmashell";
constexpr const char* kPlasmaPath = "/org/kde/osdService";
constexpr const char* kPlasmaInterface = "org.kde.osdService";
constexpr const char* kNotifyService = "org.freedesktop.Notifications";
constexpr const char* kNotifyPath = "/org/freedesktop/Notifications";
constexpr const char* kNotifyInterface = "org.freedesktop.Notifications";
// The desktop's own services answer at once; one that does not is treated as absent
// rather than holding up the window.
constexpr int kAskTimeoutMs = 500;
// The icon Plasma's display shows, from the desktop's icon theme.
constexpr const char* kPlasmaIcon = "input-mouse";

bool HasService(const QDBusConnection& bus, const QString& name, bool orActivatable) {
    QDBusConnectionInterface* daemon = bus.interface();
    if (!daemon) return false;
    if (daemon->isServiceRegistered(name).value()) return true;
    return orActivatable && daemon->activatableServiceNames().value().contains(name);
}

}  // namespace

DesktopOsd::DesktopOsd(QDBusConnection bus, WindowSystem system, Look look)
    : bus_(std::move(bus)), system_(system), look_(std::move(look)) {}

DesktopOsd::~DesktopOsd() = default;

const char* DesktopOsd::RouteName(Route route) {
    switch (route) {
        case Route::Window: return "window";
        case Route::PlasmaOsd: return "plasma-osd";
        case Route::Notification: return "notification";
        case Route::Nothing: return "nothing";
    }
    return "?";
}

DesktopOsd::Route DesktopOsd::choose() const {
    // Only Wayland keeps a client from placing its window; X11 (and the offscreen
    // platform of the tests) keep the window of their own.
    if (system_ != WindowSystem::Wayland) return Route::Window;
    if (!bus_.isConnected()) return Route::Nothing;
    // plasmashell owns its name on every Plasma desktop; the display service is one of
    // its objects, so its interface is looked for there.
    if (HasService(bus_, QString::fromLatin1(kPlasmaService), false)) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(QString::fromLatin1(kPlasmaService), QString::fromLatin1(kPlasmaPath),
                                           u"org.freedesktop.DBus.Introspectable"_qs, u"Introspect"_qs);
        const QDBusMessage reply = bus_.call(call, QDBus::Block, kAskTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
            reply.arguments().first().toString().contains(
                u"<interface name=\"%1\""_qs.arg(QLatin1String(kPlasmaInterface))))
            return Route::PlasmaOsd;
    }
    // A notification daemon may be started by the bus on the first call.
    if (HasService(bus_, QString::fromLatin1(kNotifyService), true)) return Route::Notification;
    return Route::Nothing;
}

DesktopOsd::Route DesktopOsd::show(const QString& text) {
    if (!open_) {
        route_ = choose();
        open_ = true;
        if (route_ == Route::Nothing) qCInfo(lcOsd) << "DPI display: no on-screen display or notification service";
        else if (route_ != Route::Window) qCInfo(lcOsd) << "DPI display through" << RouteName(route_);
    }
    switch (route_) {
        case Route::PlasmaOsd: {
            QDBusMessage call =
                QDBusMessage::createMethodCall(QString::fromLatin1(kPlasmaService), QString::fromLatin1(kPlasmaPath),
                                               QString::fromLatin1(kPlasmaInterface), u"showText"_qs);
            call << QString::fromLatin1(kPlasmaIcon) << text;
            bus_.send(call);
            break;
        }
        case Route::Notification: notify(text); break;
        case Route::Window:
        case Route::Nothing: break;
    }
    return route_;
}

void DesktopOsd::close() {
    if (!open_) return;
    open_ = false;
    queuedText_.clear();
    if (route_ != Route::Notification) return;
    if (pending_) {
        closeWhenAnswered_ = true;
        return;
    }
    closeNotification(notificationId_);
    notificationId_ = 0;
}

void DesktopOsd::notify(const QString& text) {
    if (pending_) {
        queuedText_ = text;
        return;
    }
    const QString icon = look_.iconFile.isEmpty() ? QString() : QUrl::fromLocalFile(look_.iconFile).toString();
    QVariantMap hints{
        {u"transient"_qs, true}, {u"urgency"_qs, QVariant::fromValue<uchar>(0)}, {u"category"_qs, u"device"_qs}};
    if (!icon.isEmpty()) hints.insert(u"image-path"_qs, icon);
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kNotifyService), QString::fromLatin1(kNotifyPath),
                                       QString::fromLatin1(kNotifyInterface), u"Notify"_qs);
    call << look_.appName << notificationId_ << icon << text << QString() << QStringList() << hints
         << static_cast<int>(look_.shownFor.count());
    pending_ = new QDBusPendingCallWatcher(bus_.asyncCall(call, kAskTimeoutMs * 4), this);
    connect(pending_, &QDBusPendingCallWatcher::finished, this, &DesktopOsd::onNotified);
}

void DesktopOsd::onNotified(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    pending_ = nullptr;
    const QDBusPendingReply<uint> reply = *call;
    if (reply.isError()) qCWarning(lcOsd).noquote() << "notification not shown:" << reply.error().message();
    else notificationId_ = reply.value();
    if (closeWhenAnswered_) {
        closeWhenAnswered_ = false;
        closeNotification(notificationId_);
        notificationId_ = 0;
    }
    // Asked while the call was out: shown now, as the same notification.
    if (!queuedText_.isEmpty()) notify(std::exchange(queuedText_, QString()));
}

void DesktopOsd::closeNotification(uint id) {
    if (id == 0) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kNotifyService), QString::fromLatin1(kNotifyPath),
                                       QString::fromLatin1(kNotifyInterface), u"CloseNotification"_qs);
    call << id;
    bus_.send(call);
}

}  // namespace halvern
