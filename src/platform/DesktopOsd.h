// How a change of the DPI level is shown. On X11 the program's own small window does it
// (CDPIMsg), placed at the work area's corner. A Wayland client cannot place a window,
// and an ordinary one would show up in the task switcher and could take the focus, so
// there the desktop shows it: KDE Plasma's on-screen display where its service is on
// the session bus, else a desktop notification that replaces its previous one, is
// marked transient and is closed after the display's time. This is the one place that
// chooses; the caller shows its window only when told to. Main thread only.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <chrono>

#include "platform/WindowActivation.h"

class QDBusPendingCallWatcher;

namespace halvern {

class DesktopOsd : public QObject {
    Q_OBJECT
public:
    enum class Route {
        Window,        // the caller's own window
        PlasmaOsd,     // org.kde.osdService.showText
        Notification,  // org.freedesktop.Notifications
        Nothing,       // Wayland with neither service: nothing is shown
    };

    struct Look {
        QString appName;   // the notification's application name
        QString iconFile;  // the mouse's picture, an absolute path; empty: none
        std::chrono::milliseconds shownFor{2000};
    };

    DesktopOsd(QDBusConnection bus, WindowSystem system, Look look);
    ~DesktopOsd() override;

    // The way a change is shown now, asked of the bus (at most three short calls).
    Route choose() const;

    // Shows `text`: the way chosen when nothing is up yet, the same way while it is.
    // Returns that way; for Window nothing was done.
    Route show(const QString& text);

    // The display's time is over: a notification is closed (Plasma's display closes by
    // itself), and the next show chooses again.
    void close();

    static const char* RouteName(Route route);

private:
    void notify(const QString& text);
    void onNotified(QDBusPendingCallWatcher* call);
    void closeNotification(uint id);

    QDBusConnection bus_;
    WindowSystem system_;
    Look look_;
    bool open_ = false;
    Route route_ = Route::Window;
    // The notification on screen (0: none yet), the Notify call not answered yet and
    // what was asked meanwhile: its id is needed to replace it rather than stack a
    // second one.
    uint notificationId_ = 0;
    QDBusPendingCallWatcher* pending_ = nullptr;
    QString queuedText_;
    bool closeWhenAnswered_ = false;
};

}  // namespace halvern
