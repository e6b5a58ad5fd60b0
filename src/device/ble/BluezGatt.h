// The Bluetooth LE mouse's characteristics through BlueZ over D-Bus: the device whose
// Modalias names 045e:00ee, the first of its GATT services that holds the command
// characteristic (...fee3..., written with WriteValue, type "request") and the event
// characteristic (...fee4..., StartNotify, values from PropertiesChanged of "Value").
//
// bluetoothd answers StartNotify only once it has written the mouse's configuration
// descriptor, and after a reconnection only once it has discovered the mouse's
// services again: seconds on a slow link. So StartNotify is not waited for, and its
// refusal because an earlier call is still under way leaves the subscription
// standing. Unsubscribing sends no StopNotify: bluetoothd keeps a client's
// notifications across the mouse's disconnections and enables them again when the
// mouse reconnects (until the client leaves the bus), and a StopNotify reaching
// bluetoothd 5.66 while the mouse reconnects can leave them off, or crash it.
//
// Threads: subscribe() and unsubscribe() on the main thread, whose event loop
// delivers the notifications and StartNotify's answer; writeCommand() on any thread
// (a blocking D-Bus call).
#pragma once

#include <mutex>
#include <optional>
#include <string>

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include "device/BleGatt.h"

namespace halvern {

// GetManagedObjects' answer: object path -> interface -> property -> value.
using BluezInterfaces = QMap<QString, QVariantMap>;
using BluezObjects = QMap<QDBusObjectPath, BluezInterfaces>;

class BluezGatt final : public QObject, public BleGatt {
    Q_OBJECT
public:
    // `bus`: the system bus normally; tests hand a private one.
    explicit BluezGatt(QDBusConnection bus = QDBusConnection::systemBus(),
                       QString service = QStringLiteral("org.bluez"));
    ~BluezGatt() override;

    bool writeCommand(std::span<const std::uint8_t> report) override;
    bool subscribe(NotificationHandler handler) override;
    void unsubscribe() override;

    struct Characteristics {
        QString command;  // object path of ...fee3...
        QString event;    // object path of ...fee4...
    };
    // Looks the mouse's characteristics up; nullopt when the mouse or either
    // characteristic is not there.
    std::optional<Characteristics> find() const;

private slots:
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    // Asks bluetoothd to notify `path`; the answer is traced when it is a failure.
    void startNotify(const QString& path);

    QDBusConnection bus_;
    QString service_;
    std::mutex mutex_;     // guards the fields below
    QString commandPath_;  // cached by the last successful lookup
    QString subscribedPath_;
    NotificationHandler handler_;
};

// The mouse's characteristics in BlueZ's object tree, which is taken as it comes:
// any property may be missing or of another type. nullopt when the mouse or either
// characteristic is not there.
std::optional<BluezGatt::Characteristics> FindMouseCharacteristics(const BluezObjects& objects);
// The notified bytes in a PropertiesChanged signal's arguments, or nullopt when the
// signal is not a characteristic's value.
std::optional<QByteArray> NotifiedValue(const QString& interface, const QVariantMap& changed);

// Whether a BlueZ Modalias ("usb:v045Ep00EEd0001", "bluetooth:v045Ep00EE...") names
// the mouse.
bool ModaliasIsMouse(const QString& modalias);
// Whether a 128-bit UUID is the Bluetooth base UUID with this 16-bit short one.
bool IsShortUuid(const QString& uuid, std::uint16_t shortUuid);

}  // namespace halvern
