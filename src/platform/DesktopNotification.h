// One desktop notification (org.freedesktop.Notifications), sent without waiting for
// the answer: for messages that are never replaced or closed by the program.
#pragma once

#include <QDBusConnection>
#include <QString>

namespace halvern {

struct DesktopNotification {
    enum class Urgency : uchar { Low = 0, Normal = 1, Critical = 2 };

    QString appName;
    QString iconFile;  // an absolute path; empty: none
    QString summary;
    QString body;
    Urgency urgency = Urgency::Normal;
    QString desktopEntry;  // the desktop entry's name without ".desktop"; empty: none

    // False when the call could not be sent (no bus).
    bool send(QDBusConnection& bus) const;
};

}  // namespace halvern
