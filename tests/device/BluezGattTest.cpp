// The Bluetooth LE characteristics through BlueZ's D-Bus interface, against a stand-in
// for BlueZ on a private message bus.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QThread>

#include <mutex>
#include <utility>

#include "device/ble/BluezGatt.h"
#include "support/TempDir.h"

namespace halvern::test {
namespace {

using InterfaceProperties = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceProperties>;

const QString kMousePath = QStringLiteral("/org/bluez/hci0/dev_11_22_33_44_55_66");

QString Uuid(int shortUuid) {
    return QStringLiteral("0000%1-0000-1000-8000-00805f9b34fb").arg(shortUuid, 4, 16, QLatin1Char('0'));
}

// BlueZ as far as the mouse's characteristics go: its object tree, WriteValue,
// StartNotify and StopNotify. Runs on a thread of its own, so that blocking calls
// from the test's thread are answered.
class FakeBluez final : public QDBusVirtualObject {
public:
    // The bus thread's last call has ended before the fixture goes: QThread::wait()
    // says so with a futex ThreadSanitizer cannot see, the mutex in a way it can.
    ~FakeBluez() override { std::lock_guard lock(mutex_); }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        std::lock_guard lock(mutex_);
        calls_ << m.member() + QLatin1Char(' ') + m.path();
        QDBusMessage reply = m.createReply();
        if (m.member() == QLatin1String("GetManagedObjects")) reply << QVariant::fromValue(objects_);
        else if (m.member() == QLatin1String("WriteValue")) writes_ << m.arguments().value(0).toByteArray();
        else if (m.member() == QLatin1String("StartNotify") && !refusal_.isEmpty()) {
            reply = m.createErrorReply(std::exchange(refusal_, QString()), QStringLiteral("refused"));
        } else if (m.member() == QLatin1String("StartNotify") && hold_) {
            held_.append(reply);
            return true;
        } else if (m.member() != QLatin1String("StartNotify") && m.member() != QLatin1String("StopNotify"))
            reply = m.createErrorReply(QDBusError::UnknownMethod, m.member());
        bus.send(reply);
        return true;
    }

    // bluetoothd answers StartNotify once the mouse is connected and its services
    // discovered: while held, the answers wait for release(); the next call may be
    // refused with `error`.
    void refuseNextStartNotify(const QString& error) {
        std::lock_guard lock(mutex_);
        refusal_ = error;
    }
    void holdStartNotify() {
        std::lock_guard lock(mutex_);
        hold_ = true;
    }
    void release(QDBusConnection& bus) {
        std::lock_guard lock(mutex_);
        hold_ = false;
        for (const QDBusMessage& reply : held_) bus.send(reply);
        held_.clear();
    }

    QList<QByteArray> writes() {
        std::lock_guard lock(mutex_);
        return writes_;
    }
    QStringList calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }

    void addMouse(const QString& modalias) {
        std::lock_guard lock(mutex_);
        objects_[QDBusObjectPath(kMousePath)][QStringLiteral("org.bluez.Device1")] = {
            {QStringLiteral("Modalias"), modalias}};
        // The HID service first, then the vendor service with the two characteristics.
        addService(QStringLiteral("/service000a"), 0x1812);
        addCharacteristic(QStringLiteral("/service000a/char000b"), QStringLiteral("/service000a"), 0x2a4d,
                          {"read", "notify"});
        addService(QStringLiteral("/service0020"), 0xfee0);
        addCharacteristic(QStringLiteral("/service0020/char0021"), QStringLiteral("/service0020"), 0xfee3, {"write"});
        addCharacteristic(QStringLiteral("/service0020/char0023"), QStringLiteral("/service0020"), 0xfee4, {"notify"});
    }

private:
    void addService(const QString& suffix, int uuid) {
        objects_[QDBusObjectPath(kMousePath + suffix)][QStringLiteral("org.bluez.GattService1")] = {
            {QStringLiteral("UUID"), Uuid(uuid)},
            {QStringLiteral("Device"), QVariant::fromValue(QDBusObjectPath(kMousePath))}};
    }
    void addCharacteristic(const QString& suffix, const QString& service, int uuid, QStringList flags) {
        objects_[QDBusObjectPath(kMousePath + suffix)][QStringLiteral("org.bluez.GattCharacteristic1")] = {
            {QStringLiteral("UUID"), Uuid(uuid)},
            {QStringLiteral("Service"), QVariant::fromValue(QDBusObjectPath(kMousePath + service))},
            {QStringLiteral("Flags"), flags}};
    }

    std::mutex mutex_;
    ManagedObjects objects_;
    QList<QByteArray> writes_;
    QStringList calls_;
    QString refusal_;
    bool hold_ = false;
    QList<QDBusMessage> held_;
};

class PrivateBus {
public:
    PrivateBus() {
        address_ = "unix:path=" + (dir_ / "bus").string();
        std::string addressArg = "--address=" + address_;
        const char* argv[] = {"dbus-daemon", "--session", "--nofork", "--nopidfile", addressArg.c_str(), nullptr};
        pid_ = fork();
        if (pid_ == 0) {
            // The bus ends with the test, however the test ends, and keeps away from
            // its output.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            execvp("dbus-daemon", const_cast<char**>(argv));
            _exit(127);
        }
        for (int i = 0; i < 500 && pid_ > 0 && !std::filesystem::exists(dir_ / "bus"); ++i) usleep(10000);
    }
    ~PrivateBus() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool up() const { return pid_ > 0 && std::filesystem::exists(dir_ / "bus"); }
    QString address() const { return QString::fromStdString(address_); }

private:
    TempDir dir_;
    std::string address_;
    pid_t pid_ = -1;
};

class BluezGattTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Qt's own event dispatcher instead of glib's, whose locks ThreadSanitizer
        // cannot see.
        setenv("QT_NO_GLIB", "1", 1);
        if (!QCoreApplication::instance()) app_ = std::make_unique<QCoreApplication>(argc_, argv_);
        if (!bus_.up()) GTEST_SKIP() << "no dbus-daemon to run a private bus";
        qDBusRegisterMetaType<InterfaceProperties>();
        qDBusRegisterMetaType<ManagedObjects>();
        serviceBus_ =
            std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus_.address(), QStringLiteral("bluez")));
        clientBus_ =
            std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus_.address(), QStringLiteral("client")));
        ASSERT_TRUE(serviceBus_->isConnected());
        ASSERT_TRUE(serviceBus_->registerVirtualObject(QStringLiteral("/"), &fake_, QDBusConnection::SubPath));
        fakeThread_.start();
        fake_.moveToThread(&fakeThread_);
        ASSERT_TRUE(serviceBus_->registerService(QStringLiteral("org.bluez")));
    }
    void TearDown() override {
        if (serviceBus_) serviceBus_->unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
        fakeThread_.quit();
        fakeThread_.wait();
        serviceBus_.reset();
        clientBus_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("bluez"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    }
    void notify(const QString& path, const QByteArray& value) {
        QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("PropertiesChanged"));
        signal << QStringLiteral("org.bluez.GattCharacteristic1") << QVariantMap{{QStringLiteral("Value"), value}}
               << QStringList();
        serviceBus_->send(signal);
    }
    // Lets the event loop deliver signals until `done` or `limitMs` passed.
    void pump(const std::function<bool()>& done, int limitMs = 3000) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < limitMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    int argc_ = 1;
    char name_[8] = "test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
    PrivateBus bus_;
    std::unique_ptr<QDBusConnection> serviceBus_;
    std::unique_ptr<QDBusConnection> clientBus_;
    QThread fakeThread_;
    FakeBluez fake_;
};

TEST_F(BluezGattTest, FindsTheMouseByItsModaliasAndItsVendorCharacteristics) {
    BluezGatt gatt(*clientBus_);
    EXPECT_FALSE(gatt.find());
    fake_.addMouse(QStringLiteral("usb:v045Ep00EEd0001"));
    auto found = gatt.find();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->command, kMousePath + QStringLiteral("/service0020/char0021"));
    EXPECT_EQ(found->event, kMousePath + QStringLiteral("/service0020/char0023"));
}

TEST_F(BluezGattTest, AnotherDeviceIsNotTheMouse) {
    fake_.addMouse(QStringLiteral("usb:v046Dp00EEd0001"));
    BluezGatt gatt(*clientBus_);
    EXPECT_FALSE(gatt.find());
    const std::uint8_t report[3] = {1, 2, 3};
    EXPECT_FALSE(gatt.writeCommand(report));
    EXPECT_FALSE(gatt.subscribe([](std::span<const std::uint8_t>) {}));
}

TEST_F(BluezGattTest, WritesTheWholeCommandAsOneValue) {
    fake_.addMouse(QStringLiteral("bluetooth:v045Ep00EEd0100"));
    BluezGatt gatt(*clientBus_);
    std::vector<std::uint8_t> chunk(131, 0x5A);
    EXPECT_TRUE(gatt.writeCommand(chunk));
    ASSERT_EQ(fake_.writes().size(), 1);
    EXPECT_EQ(fake_.writes()[0], QByteArray(131, 0x5A));
}

TEST_F(BluezGattTest, NotificationsReachTheHandlerUntilUnsubscribed) {
    fake_.addMouse(QStringLiteral("usb:v045Ep00EEd0001"));
    BluezGatt gatt(*clientBus_);
    std::vector<std::vector<std::uint8_t>> values;
    ASSERT_TRUE(gatt.subscribe([&](std::span<const std::uint8_t> v) { values.emplace_back(v.begin(), v.end()); }));
    pump([&] {
        return fake_.calls().contains(QStringLiteral("StartNotify ") + kMousePath +
                                      QStringLiteral("/service0020/char0023"));
    });
    EXPECT_TRUE(
        fake_.calls().contains(QStringLiteral("StartNotify ") + kMousePath + QStringLiteral("/service0020/char0023")));
    notify(kMousePath + QStringLiteral("/service0020/char0023"), QByteArray("\xEE\x10\x02\x00", 4));
    notify(kMousePath + QStringLiteral("/service000a/char000b"), QByteArray("\x01\x02", 2));  // another characteristic
    pump([&] { return !values.empty(); });
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0], (std::vector<std::uint8_t>{0xEE, 0x10, 0x02, 0x00}));

    gatt.unsubscribe();
    notify(kMousePath + QStringLiteral("/service0020/char0023"), QByteArray("\xEE\x10\x03\x00", 4));
    pump([] { return false; }, 200);
    EXPECT_EQ(values.size(), 1u);
    // bluetoothd keeps the notifications for the mouse's next connection; a StopNotify
    // racing with a reconnection could turn them off for good.
    EXPECT_FALSE(fake_.calls().join(QLatin1Char(',')).contains(QStringLiteral("StopNotify")));
}

TEST_F(BluezGattTest, ASubscriptionStandsWhileBluezIsSlowToAnswerOrStillBusyWithAnEarlierOne) {
    fake_.addMouse(QStringLiteral("usb:v045Ep00EEd0001"));
    const QString event = kMousePath + QStringLiteral("/service0020/char0023");
    auto startNotifies = [&] { return fake_.calls().count(QStringLiteral("StartNotify ") + event); };
    BluezGatt gatt(*clientBus_);
    std::vector<std::vector<std::uint8_t>> values;
    auto handler = [&](std::span<const std::uint8_t> v) { values.emplace_back(v.begin(), v.end()); };

    // After a reconnection bluetoothd answers only once it has found the mouse's
    // services again, which may take longer than any call is waited for.
    fake_.holdStartNotify();
    ASSERT_TRUE(gatt.subscribe(handler));
    pump([&] { return startNotifies() == 1; });
    fake_.release(*serviceBus_);
    notify(event, QByteArray("\xEE\x10\x02\x00", 4));
    pump([&] { return !values.empty(); });
    EXPECT_EQ(values.size(), 1u);
    gatt.unsubscribe();

    // bluetoothd enables this program's notifications again by itself when the mouse
    // reconnects, and refuses a StartNotify meanwhile.
    fake_.refuseNextStartNotify(QStringLiteral("org.bluez.Error.InProgress"));
    ASSERT_TRUE(gatt.subscribe(handler));
    pump([&] { return startNotifies() == 2; });
    notify(event, QByteArray("\xEE\x10\x03\x00", 4));
    pump([&] { return values.size() == 2; });
    EXPECT_EQ(values.size(), 2u);
}

TEST(BluezNames, ModaliasAndUuidMatching) {
    EXPECT_TRUE(ModaliasIsMouse(QStringLiteral("usb:v045Ep00EEd0001")));
    EXPECT_TRUE(ModaliasIsMouse(QStringLiteral("bluetooth:v045ep00eed0001")));
    EXPECT_FALSE(ModaliasIsMouse(QStringLiteral("usb:v045Ep00EFd0001")));
    EXPECT_TRUE(IsShortUuid(QStringLiteral("0000FEE3-0000-1000-8000-00805F9B34FB"), 0xFEE3));
    EXPECT_FALSE(IsShortUuid(QStringLiteral("0000fee3-0000-1000-8000-00805f9b34fc"), 0xFEE3));
    EXPECT_FALSE(IsShortUuid(QStringLiteral("0000fee4-0000-1000-8000-00805f9b34fb"), 0xFEE3));
}

}  // namespace
}  // namespace halvern::test
