// The window in front under KDE Plasma on Wayland. KWin tells no other program which
// window is active, but it runs scripts: the watcher writes a small one, loads it over
// D-Bus (org.kde.KWin /Scripting) and the script calls back over the session bus, on
// the watcher's own object, whenever a window is activated, added or removed. The
// script is unloaded again when the watcher goes. Nothing runs between those calls.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

#include "platform/FocusWatcher.h"

namespace halvern {

class KWinFocusWatcher final : public QObject, protected QDBusContext, public FocusWatcher {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.halvern.FocusWatcher")

public:
    static constexpr const char* kObjectPath = "/io/github/halvern/FocusWatcher";

    explicit KWinFocusWatcher(QDBusConnection bus = QDBusConnection::sessionBus());
    ~KWinFocusWatcher() override;

    FocusSource source() const override { return FocusSource::KWin; }
    bool start(Listener listener) override;
    FocusedWindow focused() const override { return focused_; }
    std::vector<std::string> applications() override { return windows_; }
    QString error() const override { return error_; }

    // The script KWin runs, calling back `service` (this connection's unique name).
    static QString Script(const QString& service);

public Q_SLOTS:
    // Called by the script: the window now in front (empty strings: none).
    Q_SCRIPTABLE void Activated(const QString& resourceName, const QString& resourceClass);
    // Called by the script: resource name and class of every normal window, in pairs.
    Q_SCRIPTABLE void Windows(const QStringList& names);

private:
    bool calledByKWin() const;

    QDBusConnection bus_;
    QString pluginName_;
    QString kwinOwner_;  // the unique name of KWin's connection: the only caller listened to
    QTemporaryDir folder_;
    bool loaded_ = false;
    FocusedWindow focused_;
    std::vector<std::string> windows_;
    Listener listener_;
    QString error_;
};

}  // namespace halvern
