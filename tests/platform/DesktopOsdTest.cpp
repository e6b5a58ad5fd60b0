// How a DPI change is shown, chosen on a real (private) session bus: KDE Plasma's
// on-screen display where its service is, else a notification that replaces its
// previous one and is closed after the display's time, else nothing on Wayland; the
// window of its own on X11 whatever the bus offers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QThread>

#include <mutex>

#include "platform/DesktopOsd.h"
#include "support/PrivateBus.h"

namespace halvern::test {
namespace {

using Route = DesktopOsd::Route;
using namespace std::chrono_literals;

// The desktop's services as far as the display goes: plasmashell's display object and
// a notification server that numbers its notifications from 7. Every call is kept as
// one line. Runs on a thread of its own, so the program's blocking calls are answered.
class FakeDesktop final : public QDBusVirtualObject {
public:
    explicit FakeDesktop(bool plasmaDisplay) : plasmaDisplay_(plasmaDisplay) {}
    ~FakeDesktop() override { std::lock_guard lock(mutex_); }

    QString introspect(const QString& path) const override {
        if (plasmaDisplay_ && path == u"/org/kde/osdService")
            return u"<interface name=\"org.kde.osdService\"><method name=\"showText\"><arg type=\"s\" "
                   u"direction=\"in\"/>"
                   u"<arg type=\"s\" direction=\"in\"/></method></interface>"_qs;
        return {};
    }

    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        std::lock_guard lock(mutex_);
        QDBusMessage reply = m.createReply();
        if (m.member() == u"Notify") {
            const QList<QVariant> a = m.arguments();
            const QVariantMap hints = qdbus_cast<QVariantMap>(a.value(6));
            calls_ << u"Notify app=%1 replaces=%2 icon=%3 summary=%4 transient=%5 expire=%6"_qs
                          .arg(a.value(0).toString())
                          .arg(a.value(1).toUInt())
                          .arg(a.value(2).toString().section(u'/', -1))
                          .arg(a.value(3).toString())
                          .arg(hints.value(u"transient"_qs).toBool() ? 1 : 0)
                          .arg(a.value(7).toInt());
            reply << uint(a.value(1).toUInt() != 0 ? a.value(1).toUInt() : nextId_++);
        } else if (m.member() == u"CloseNotification") {
            calls_ << u"CloseNotification %1"_qs.arg(m.arguments().value(0).toUInt());
        } else if (m.member() == u"showText") {
            calls_ << u"showText %1 %2"_qs.arg(m.arguments().value(0).toString(), m.arguments().value(1).toString());
        } else if (m.member() == u"Introspect") {
            reply << u"<node>%1</node>"_qs.arg(introspect(m.path()));
        } else {
            reply = m.createErrorReply(QDBusError::UnknownMethod, m.member());
        }
        bus.send(reply);
        return true;
    }

    QStringList calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    const bool plasmaDisplay_;
    std::mutex mutex_;
    QStringList calls_;
    uint nextId_ = 7;
};

// The bus, the desktop's side on its own connection and thread, and the program's.
class Desktop {
public:
    struct Offers {
        bool plasmashell = false;    // the name owned
        bool plasmaDisplay = false;  // and its display object there
        bool notifications = false;
    };

    explicit Desktop(Offers offers) : fake_(offers.plasmaDisplay) {
        // Qt's own event dispatcher instead of glib's, whose locks ThreadSanitizer
        // cannot see.
        setenv("QT_NO_GLIB", "1", 1);
        if (!QCoreApplication::instance()) app_ = std::make_unique<QCoreApplication>(argc_, argv_);
        if (!bus_.up()) return;
        service_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus_.address(), u"desktop"_qs));
        client_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus_.address(), u"program"_qs));
        service_->registerVirtualObject(u"/"_qs, &fake_, QDBusConnection::SubPath);
        thread_.start();
        fake_.moveToThread(&thread_);
        if (offers.plasmashell) service_->registerService(u"org.kde.plasmashell"_qs);
        if (offers.notifications) service_->registerService(u"org.freedesktop.Notifications"_qs);
    }
    ~Desktop() {
        if (service_) service_->unregisterObject(u"/"_qs, QDBusConnection::UnregisterTree);
        thread_.quit();
        thread_.wait();
        service_.reset();
        client_.reset();
        QDBusConnection::disconnectFromBus(u"desktop"_qs);
        QDBusConnection::disconnectFromBus(u"program"_qs);
    }

    bool up() const { return client_ && client_->isConnected() && service_->isConnected(); }
    QDBusConnection& program() { return *client_; }

    // The calls the desktop received, once `count` of them came (or 3 s passed).
    QStringList calls(int count) {
        QElapsedTimer t;
        t.start();
        while (fake_.calls().size() < count && t.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // Nothing more is on its way.
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return fake_.calls();
    }

private:
    int argc_ = 1;
    char name_[8] = "test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
    PrivateBus bus_;
    FakeDesktop fake_;
    QThread thread_;
    std::unique_ptr<QDBusConnection> service_;
    std::unique_ptr<QDBusConnection> client_;
};

// A list of calls as one text, one call a line, for readable failures.
std::string Lines(const QStringList& calls) { return calls.join(u'\n').toStdString(); }

DesktopOsd::Look TheLook() { return {u"halvern"_qs, u"/opt/halvern/res/skins/halvern_64.png"_qs, 2000ms}; }

TEST(DesktopOsd, ChoosesPlasmasDisplayThenANotificationThenNothingOnWaylandAndTheWindowOnX11) {
    struct Case {
        const char* what;
        Desktop::Offers offers;
        WindowSystem system;
        Route expected;
    };
    const Case cases[] = {
        {"Plasma", {true, true, true}, WindowSystem::Wayland, Route::PlasmaOsd},
        {"GNOME, wlroots with a notification daemon", {false, false, true}, WindowSystem::Wayland, Route::Notification},
        {"plasmashell without its display", {true, false, true}, WindowSystem::Wayland, Route::Notification},
        {"Plasma's display but no notifications", {true, true, false}, WindowSystem::Wayland, Route::PlasmaOsd},
        {"a bare compositor", {false, false, false}, WindowSystem::Wayland, Route::Nothing},
        {"X11 with Plasma", {true, true, true}, WindowSystem::X11, Route::Window},
        {"X11 with nothing", {false, false, false}, WindowSystem::X11, Route::Window},
    };
    for (const Case& c : cases) {
        Desktop desktop(c.offers);
        if (!desktop.up()) GTEST_SKIP() << "no dbus-daemon to run a private bus";
        DesktopOsd osd(desktop.program(), c.system, TheLook());
        EXPECT_EQ(osd.choose(), c.expected) << c.what;
        EXPECT_EQ(osd.show(u"DPI :800"_qs), c.expected) << c.what;
        osd.close();
        const QStringList calls = desktop.calls(c.expected == Route::Window || c.expected == Route::Nothing ? 0 : 1);
        const char* expected = c.expected == Route::PlasmaOsd ? "showText input-mouse DPI :800" : "";
        if (c.expected != Route::Notification) { EXPECT_EQ(Lines(calls), expected) << c.what; }
    }
}

TEST(DesktopOsd, ANotificationReplacesItselfWhileShownAndIsClosedWhenTheTimeIsOver) {
    Desktop desktop({.notifications = true});
    if (!desktop.up()) GTEST_SKIP() << "no dbus-daemon to run a private bus";
    DesktopOsd osd(desktop.program(), WindowSystem::Wayland, TheLook());
    const QString shown =
        u"Notify app=halvern replaces=%1 icon=halvern_64.png summary=DPI :%2 transient=1 expire=2000"_qs;
    EXPECT_EQ(osd.show(u"DPI :800"_qs), Route::Notification);
    desktop.calls(1);
    osd.show(u"DPI :1600"_qs);
    desktop.calls(2);
    osd.close();
    // The next change opens a notification of its own.
    osd.show(u"DPI :3200"_qs);
    EXPECT_EQ(Lines(desktop.calls(4)), Lines({shown.arg(0).arg(800), shown.arg(7).arg(1600), u"CloseNotification 7"_qs,
                                              shown.arg(0).arg(3200)}));
    osd.close();
    EXPECT_EQ(desktop.calls(5).value(4).toStdString(), "CloseNotification 8");
}

TEST(DesktopOsd, ChangesWhileTheServerHasNotAnsweredBecomeOneReplacementOfTheLatest) {
    Desktop desktop({.notifications = true});
    if (!desktop.up()) GTEST_SKIP() << "no dbus-daemon to run a private bus";
    DesktopOsd osd(desktop.program(), WindowSystem::Wayland, TheLook());
    const QString shown =
        u"Notify app=halvern replaces=%1 icon=halvern_64.png summary=DPI :%2 transient=1 expire=2000"_qs;
    // No event is handled between the three: the first call's answer has not come in.
    osd.show(u"DPI :800"_qs);
    osd.show(u"DPI :1600"_qs);
    osd.show(u"DPI :2400"_qs);
    EXPECT_EQ(Lines(desktop.calls(2)), Lines({shown.arg(0).arg(800), shown.arg(7).arg(2400)}));
    // Closed before the answer: closed once it comes. Whether the change just before the
    // close went out first depends on whether the answer had come by then; nothing goes
    // out after the close.
    osd.show(u"DPI :3200"_qs);
    osd.close();
    QStringList rest = desktop.calls(3).mid(2);
    if (rest.size() == 1 && rest[0].startsWith(u"Notify"_qs)) rest = desktop.calls(4).mid(2);
    ASSERT_FALSE(rest.isEmpty());
    EXPECT_EQ(rest.back(), u"CloseNotification 7"_qs);
    if (rest.size() == 2) { EXPECT_EQ(rest[0], shown.arg(7).arg(3200)); }
    EXPECT_LE(rest.size(), 2);
}

}  // namespace
}  // namespace halvern::test
