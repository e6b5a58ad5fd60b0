#include "device/ble/BluezGatt.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QMap>

#include "device/DeviceTrace.h"

namespace halvern {

namespace {

const QString kDevice = QStringLiteral("org.bluez.Device1");
const QString kService = QStringLiteral("org.bluez.GattService1");
const QString kCharacteristic = QStringLiteral("org.bluez.GattCharacteristic1");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr std::uint16_t kCommandUuid = 0xFEE3;
constexpr std::uint16_t kEventUuid = 0xFEE4;
constexpr int kCallTimeoutMs = 5000;
// StartNotify waits for bluetoothd's discovery of the mouse and a write to it.
constexpr int kStartNotifyTimeoutMs = 30000;

void RegisterTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<BluezInterfaces>();
        qDBusRegisterMetaType<BluezObjects>();
        return true;
    }();
    (void)registered;
}

QString PathOf(const QVariant& v) { return qvariant_cast<QDBusObjectPath>(v).path(); }

}  // namespace

bool ModaliasIsMouse(const QString& modalias) {
    return modalias.contains(QStringLiteral("v045Ep00EE"), Qt::CaseInsensitive);
}

bool IsShortUuid(const QString& uuid, std::uint16_t shortUuid) {
    const QString expected =
        QStringLiteral("0000%1-0000-1000-8000-00805f9b34fb").arg(shortUuid, 4, 16, QLatin1Char('0'));
    return uuid.compare(expected, Qt::CaseInsensitive) == 0;
}

std::optional<BluezGatt::Characteristics> FindMouseCharacteristics(const BluezObjects& objects) {
    QString device;
    for (auto it = objects.begin(); it != objects.end() && device.isEmpty(); ++it) {
        auto props = it.value().find(kDevice);
        if (props != it.value().end() && ModaliasIsMouse(props->value(QStringLiteral("Modalias")).toString()))
            device = it.key().path();
    }
    if (device.isEmpty()) return std::nullopt;

    // Services in path order, which is BlueZ's order of their handles.
    QStringList services;
    for (auto it = objects.begin(); it != objects.end(); ++it) {
        auto props = it.value().find(kService);
        if (props != it.value().end() && PathOf(props->value(QStringLiteral("Device"))) == device)
            services << it.key().path();
    }
    for (const QString& service : services) {
        BluezGatt::Characteristics found;
        for (auto it = objects.begin(); it != objects.end(); ++it) {
            auto props = it.value().find(kCharacteristic);
            if (props == it.value().end() || PathOf(props->value(QStringLiteral("Service"))) != service) continue;
            const QString uuid = props->value(QStringLiteral("UUID")).toString();
            const QStringList flags = props->value(QStringLiteral("Flags")).toStringList();
            bool writable =
                flags.contains(QStringLiteral("write")) || flags.contains(QStringLiteral("write-without-response"));
            if (IsShortUuid(uuid, kCommandUuid) && writable) found.command = it.key().path();
            if (IsShortUuid(uuid, kEventUuid) && flags.contains(QStringLiteral("notify")))
                found.event = it.key().path();
        }
        if (!found.command.isEmpty() && !found.event.isEmpty()) return found;
    }
    return std::nullopt;
}

std::optional<QByteArray> NotifiedValue(const QString& interface, const QVariantMap& changed) {
    if (interface != kCharacteristic) return std::nullopt;
    auto value = changed.find(QStringLiteral("Value"));
    if (value == changed.end()) return std::nullopt;
    return value->toByteArray();
}

BluezGatt::BluezGatt(QDBusConnection bus, QString service) : bus_(std::move(bus)), service_(std::move(service)) {
    RegisterTypes();
}

BluezGatt::~BluezGatt() { unsubscribe(); }

std::optional<BluezGatt::Characteristics> BluezGatt::find() const {
    QDBusMessage call = QDBusMessage::createMethodCall(service_, QStringLiteral("/"),
                                                       QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                                       QStringLiteral("GetManagedObjects"));
    QDBusReply<BluezObjects> reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
    if (!reply.isValid()) return std::nullopt;
    return FindMouseCharacteristics(reply.value());
}

bool BluezGatt::writeCommand(std::span<const std::uint8_t> report) {
    QString path;
    {
        std::lock_guard lock(mutex_);
        path = commandPath_;
    }
    if (path.isEmpty()) {
        std::optional<Characteristics> found = find();
        if (!found) return false;
        path = found->command;
        std::lock_guard lock(mutex_);
        commandPath_ = path;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(service_, path, kCharacteristic, QStringLiteral("WriteValue"));
    QVariantMap options;
    options.insert(QStringLiteral("type"), QStringLiteral("request"));
    call << QByteArray(reinterpret_cast<const char*>(report.data()), static_cast<qsizetype>(report.size())) << options;
    QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        DeviceTrace("Write fail: %s\r\n", reply.errorMessage().toUtf8().constData());
        // The mouse may have come back under another path.
        std::lock_guard lock(mutex_);
        commandPath_.clear();
        return false;
    }
    return true;
}

bool BluezGatt::subscribe(NotificationHandler handler) {
    unsubscribe();
    std::optional<Characteristics> found = find();
    if (!found) return false;
    if (!bus_.connect(service_, found->event, kProperties, QStringLiteral("PropertiesChanged"), this,
                      SLOT(onPropertiesChanged(QString, QVariantMap, QStringList))))
        return false;
    {
        std::lock_guard lock(mutex_);
        commandPath_ = found->command;
        subscribedPath_ = found->event;
        handler_ = std::move(handler);
    }
    startNotify(found->event);
    return true;
}

void BluezGatt::startNotify(const QString& path) {
    QDBusMessage call = QDBusMessage::createMethodCall(service_, path, kCharacteristic, QStringLiteral("StartNotify"));
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kStartNotifyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusMessage reply = w->reply();
        // InProgress: bluetoothd is still enabling this program's notifications,
        // asked for earlier, and they stand.
        if (reply.type() == QDBusMessage::ErrorMessage &&
            reply.errorName() != QLatin1String("org.bluez.Error.InProgress"))
            DeviceTrace("StartNotify fail: %s\r\n", reply.errorMessage().toUtf8().constData());
    });
}

void BluezGatt::unsubscribe() {
    QString path;
    {
        std::lock_guard lock(mutex_);
        path = std::exchange(subscribedPath_, QString());
        handler_ = {};
    }
    if (path.isEmpty()) return;
    bus_.disconnect(service_, path, kProperties, QStringLiteral("PropertiesChanged"), this,
                    SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
}

void BluezGatt::onPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
    std::optional<QByteArray> bytes = NotifiedValue(interface, changed);
    if (!bytes) return;
    NotificationHandler handler;
    {
        std::lock_guard lock(mutex_);
        handler = handler_;
    }
    if (handler)
        handler(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes->constData()),
                                              static_cast<std::size_t>(bytes->size())));
}

}  // namespace halvern
