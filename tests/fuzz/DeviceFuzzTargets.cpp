// The cable library is linked in rather than loaded, so its entry points are called
// through the ABI header's own prototypes.
#define HALVERN_DRIVER_LIBRARY
#include "DeviceFuzzTargets.h"

#include "FuzzRequire.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QDBusVariant>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "BluezFuzzEncoding.h"
#include "EmulatedHidBackend.h"
#include "Scheduler.h"
#include "SettlingClock.h"
#include "VirtualMouse.h"
#include "device/WindowIds.h"
#include "device/DeviceNames.h"
#include "device/LinkController.h"
#include "device/ReaderThread.h"
#include "device/ble/BluezGatt.h"
#include "device/hid/UdevHotplugSource.h"
#include "halvern_abi.h"

namespace halvern::fuzz {

namespace {

// A broken promise ends the run, naming the promise.
#define CHECK_PROMISE(condition) Require((condition), #condition)

// The main-thread side of the link with nothing behind it: timers remembered, posted
// messages queued, controls ignored.
class Rig final : public TimerService, public DeviceObserver, public ProfileHolder {
public:
    Rig() {
        window.context = this;
        window.post = [](void* c, std::uint32_t m, std::uintptr_t w, std::intptr_t l) {
            static_cast<Rig*>(c)->posted.push_back({m, w, l});
        };
    }

    void arm(int id, std::chrono::milliseconds) override { armed.push_back(id); }
    void kill(int) override {}
    void showIndicator(Indicator, bool) override {}
    void updateLinkSections() override {}
    void selectDpiLevel(int level) override { CHECK_PROMISE(level >= 1 && level <= 8); }
    void selectPollingRate(int rate) override { CHECK_PROMISE(rate >= 0 && rate <= 3); }
    void selectLightEffect(int effect) override { CHECK_PROMISE(effect >= 0 && effect <= 15); }
    void batteryChanged(BatteryState state) override {
        CHECK_PROMISE(state.kind != BatteryState::Kind::Level || (state.level >= 0 && state.level <= 100));
    }
    MouseProfile* currentProfile() override { return profile.get(); }
    void settingReported(SettingId setting, std::int32_t value) override { SetValue(*profile, setting, value); }
    void mouseSaved() override {}

    // Delivers queued Bluetooth LE events as the main thread would.
    void deliver() {
        while (!posted.empty()) {
            auto [m, w, l] = posted.front();
            posted.pop_front();
            if (m == kUmBleEvent)
                controller.DispatchBleEvent({static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(l)});
        }
    }

    void checkState() const {
        CHECK_PROMISE(profile->dpiStep >= 0 && profile->dpiStep <= 7);
        CHECK_PROMISE(profile->pollingRate >= 0 && profile->pollingRate <= 3);
        CHECK_PROMISE(profile->lightEffect >= 0 && profile->lightEffect <= 15);
        CHECK_PROMISE(controller.batteryLevel() >= 0 && controller.batteryLevel() <= 100);
        CHECK_PROMISE(links.wiredLink >= 0 && links.wiredLink <= 2);
        CHECK_PROMISE(links.wirelessLink == 0 || links.wirelessLink == 1);
        CHECK_PROMISE(links.ackReceived == 0 || links.ackReceived == 1);
    }

    struct Posted {
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    HalvernHostWindow window{};
    std::deque<Posted> posted;
    std::vector<int> armed;
    std::unique_ptr<MouseProfile> profile = MouseProfile::Create(u"fuzz");
    LinkState links;
    emu::EmulatedHidBackend hid;
    LinkController controller{{links, *this, window, *this, *this, hid, nullptr, nullptr}};
};

// Splits `data` into records that each start with a length byte.
std::vector<std::span<const std::uint8_t>> LengthPrefixed(const std::uint8_t* data, std::size_t size,
                                                          std::size_t header = 1) {
    std::vector<std::span<const std::uint8_t>> out;
    std::size_t at = 0;
    while (at + header <= size) {
        std::size_t length = data[at];
        std::size_t start = at + header;
        std::size_t n = std::min(length, size - start);
        out.emplace_back(data + start - header, n + header);
        at = start + n;
    }
    return out;
}

// Reads the BlueZ encoding (BluezFuzzEncoding.h).
class BluezReader {
public:
    BluezReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool atEnd() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }

    QString string() {
        std::uint8_t b = byte();
        if (b < bluez::kRawString) {
            std::string_view word = bluez::kWords[b % bluez::kWords.size()];
            return QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size()));
        }
        QByteArray raw;
        for (int n = b & 0x3F; n > 0 && !atEnd(); --n) raw.append(static_cast<char>(byte()));
        return QString::fromUtf8(raw);
    }

    QDBusObjectPath path() {
        std::uint8_t b = byte();
        if (b < bluez::kPathCount) {
            std::string_view word = bluez::kWords[bluez::kFirstPath + b];
            return QDBusObjectPath(QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size())));
        }
        return QDBusObjectPath(QStringLiteral("/n%1").arg(b));
    }

    QVariant value(int depth = 0) {
        auto type = static_cast<bluez::ValueType>(byte() % static_cast<std::uint8_t>(bluez::ValueType::Count));
        switch (type) {
            case bluez::ValueType::String: return string();
            case bluez::ValueType::ObjectPath: return QVariant::fromValue(path());
            case bluez::ValueType::StringList: {
                QStringList list;
                for (int n = byte() % 8; n > 0; --n) list << string();
                return list;
            }
            case bluez::ValueType::Bytes: {
                QByteArray bytes;
                for (int n = byte(); n > 0 && !atEnd(); --n) bytes.append(static_cast<char>(byte()));
                return bytes;
            }
            case bluez::ValueType::Int: {
                std::uint32_t v = 0;
                for (int i = 0; i < 4; ++i) v = v << 8 | byte();
                return static_cast<int>(v);
            }
            case bluez::ValueType::Bool: return byte() % 2 == 1;
            case bluez::ValueType::Map: return depth < 3 ? QVariant(map(depth + 1)) : QVariant();
            case bluez::ValueType::Variant:
                return depth < 3 ? QVariant::fromValue(QDBusVariant(value(depth + 1))) : QVariant();
            case bluez::ValueType::Count: break;
        }
        return {};
    }

    QVariantMap map(int depth = 0) {
        QVariantMap out;
        for (int n = byte() % 8; n > 0; --n) {
            QString key = string();
            out.insert(key, value(depth));
        }
        return out;
    }

    BluezObjects objects() {
        BluezObjects out;
        while (!atEnd()) {
            BluezInterfaces& interfaces = out[path()];
            for (int n = byte() % 4; n > 0; --n) {
                QString name = string();
                interfaces.insert(name, map());
            }
        }
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

const QVariantMap* Properties(const BluezObjects& objects, const QString& path, const char* interface) {
    auto object = objects.find(QDBusObjectPath(path));
    if (object == objects.end()) return nullptr;
    auto props = object->find(QString::fromLatin1(interface));
    return props == object->end() ? nullptr : &*props;
}

// The cable library's view of one device: its collections, then the results of its
// reads, handed out in order. Its monitor thread calls in; the fuzz target waits for
// it to have read everything.
class CableDevice {
public:
    static constexpr std::uint16_t kEventPage = 0x000A;
    static constexpr std::uint16_t kCommandPage = 0x000B;

    struct Read {
        int result;  // bytes, 0 (nothing in time) or -1 (gone)
        std::vector<std::uint8_t> bytes;
    };

    CableDevice(const std::uint8_t* data, std::size_t size) {
        std::size_t at = 0;
        auto next = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
        collectionCount = next() % 20;
        for (int i = 0; i < collectionCount; ++i) {
            HalvernHidDeviceInfo info{};
            std::uint8_t page = next();
            info.usage_page = page % 4 == 0 ? kEventPage : page % 4 == 1 ? kCommandPage : page;
            // A length of 255 fills the whole field, leaving it unterminated.
            std::size_t length = next();
            for (std::size_t p = 0; p < length && p < sizeof info.path && at < size; ++p)
                info.path[p] = static_cast<char>(next());
            if (length == 255) std::fill(std::begin(info.path) + 255, std::end(info.path), 'x');
            collections.push_back(info);
        }
        while (at < size) {
            std::uint8_t length = next();
            if (length == 0xFE) reads.push_back({0, {}});
            else if (length == 0xFF) reads.push_back({-1, {}});
            else {
                Read r{length, {}};
                for (int p = 0; p < length && at < size; ++p) r.bytes.push_back(next());
                r.result = static_cast<int>(r.bytes.size());
                reads.push_back(std::move(r));
            }
        }
    }

    HalvernHidApi api() {
        HalvernHidApi table{};
        table.size = sizeof table;
        table.context = this;
        table.enumerate = [](void* c, std::uint16_t, std::uint16_t, HalvernHidDeviceInfo* out, int capacity) {
            auto* self = static_cast<CableDevice*>(c);
            for (int i = 0; i < capacity && i < static_cast<int>(self->collections.size()); ++i)
                out[i] = self->collections[static_cast<std::size_t>(i)];
            std::lock_guard lock(self->mutex);
            ++self->enumerations;
            self->changed.notify_all();
            return static_cast<int>(self->collections.size());
        };
        table.open_path = [](void* c, const char* path) -> void* {
            auto* self = static_cast<CableDevice*>(c);
            CHECK_PROMISE(std::memchr(path, 0, 256) != nullptr);
            std::lock_guard lock(self->mutex);
            ++self->open;
            return &self->handles[std::min<std::size_t>(self->opened++, self->handles.size() - 1)];
        };
        table.close = [](void* c, void*) {
            auto* self = static_cast<CableDevice*>(c);
            std::lock_guard lock(self->mutex);
            --self->open;
        };
        table.read_timeout = [](void* c, void*, unsigned char* out, std::size_t length, int) {
            auto* self = static_cast<CableDevice*>(c);
            std::unique_lock lock(self->mutex);
            if (self->nextRead == self->reads.size()) {
                // Everything read: block as a quiet device does until the reader is
                // interrupted.
                self->changed.notify_all();
                self->changed.wait(lock, [self] { return self->interrupted; });
                self->interrupted = false;
                return 0;
            }
            const Read& r = self->reads[self->nextRead++];
            std::copy_n(r.bytes.begin(), std::min(r.bytes.size(), length), out);
            return std::min(r.result, static_cast<int>(length));
        };
        table.send_feature_report = [](void*, void*, const unsigned char*, std::size_t length) {
            return static_cast<int>(length);
        };
        table.open_change_fd = [](void* c) {
            // Always readable: a missing device is looked for again at once.
            int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK | EFD_SEMAPHORE);
            std::uint64_t many = std::uint64_t{1} << 40;
            [[maybe_unused]] ssize_t w = ::write(fd, &many, sizeof many);
            static_cast<CableDevice*>(c)->changeFd = fd;
            return fd;
        };
        table.interrupt_read = [](void* c, void*) {
            auto* self = static_cast<CableDevice*>(c);
            std::lock_guard lock(self->mutex);
            self->interrupted = true;
            self->changed.notify_all();
        };
        return table;
    }

    // Whether the library can find the event collection: the first page-0x000A one
    // with a path, among the first 16 it is told of.
    bool hasCollection(std::uint16_t page) const {
        for (std::size_t i = 0; i < collections.size() && i < 16; ++i)
            if (collections[i].usage_page == page && collections[i].path[0] != '\0') return true;
        return false;
    }

    // Waits until the monitor has read everything, or has looked for a device that is
    // not there.
    void waitUntilDone() {
        std::unique_lock lock(mutex);
        if (hasCollection(kEventPage)) changed.wait(lock, [this] { return nextRead == reads.size() && open > 0; });
        else changed.wait(lock, [this] { return enumerations > 0; });
    }

    int collectionCount = 0;
    std::vector<HalvernHidDeviceInfo> collections;
    std::vector<Read> reads;
    std::size_t nextRead = 0;
    int enumerations = 0;
    int open = 0;
    std::size_t opened = 0;
    std::array<int, 64> handles{};
    bool interrupted = false;
    int changeFd = -1;
    std::mutex mutex;
    std::condition_variable changed;
};

struct PostedMessages {
    std::mutex mutex;
    std::vector<std::array<std::uint64_t, 3>> messages;
    static void Post(void* c, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
        auto* self = static_cast<PostedMessages*>(c);
        std::lock_guard lock(self->mutex);
        self->messages.push_back({message, wParam, static_cast<std::uint64_t>(lParam)});
    }
};

}  // namespace

void InputReportsInput(const std::uint8_t* data, std::size_t size) {
    Rig rig;
    ReaderState reader{true};
    for (std::span<const std::uint8_t> record : LengthPrefixed(data, size)) {
        // As the reader reads: a zero-filled buffer of its size, the report cut to it.
        std::array<std::uint8_t, kInputReportBuffer> buffer{};
        std::span<const std::uint8_t> report = record.subspan(1);
        std::copy_n(report.begin(), std::min(report.size(), buffer.size()), buffer.begin());
        ReportOutcome outcome = ReadReport(reader, buffer);
        if (outcome.event) {
            CHECK_PROMISE(outcome.event->isMouseEvent() && buffer[0] == kEventReportId && reader.accepted);
            LinkController::RecordAcknowledgement(rig.links, *outcome.event);
            rig.controller.onReceiverEvent(*outcome.event);
        }
        rig.checkState();
    }
}

void BleNotificationsInput(const std::uint8_t* data, std::size_t size) {
    Rig rig;
    rig.controller.SetBleLink(true);
    for (std::span<const std::uint8_t> record : LengthPrefixed(data, size)) {
        rig.controller.onBleNotification(record.subspan(1));
        rig.deliver();
        rig.checkState();
    }
}

void DriverMessagesInput(const std::uint8_t* data, std::size_t size) {
    Rig rig;
    for (std::size_t at = 0; at + 9 <= size; at += 9) {
        auto word = [&](std::size_t o) {
            return static_cast<std::uint32_t>(data[at + o]) | static_cast<std::uint32_t>(data[at + o + 1]) << 8 |
                   static_cast<std::uint32_t>(data[at + o + 2]) << 16 |
                   static_cast<std::uint32_t>(data[at + o + 3]) << 24;
        };
        switch (data[at] % 4) {
            case 0: rig.controller.onDriverPlug(word(1)); break;
            case 1: rig.controller.onDriverMessage(word(1), static_cast<std::int32_t>(word(5))); break;
            case 2: rig.controller.onTimer(TimerId::CableSettle); break;
            default: rig.controller.onTimer(TimerId::WirelessTimeout); break;
        }
        rig.checkState();
    }
}

void HotplugNamesInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) parts.emplace_back();
        else parts.back().push_back(static_cast<char>(data[i]));
    }
    while (parts.size() < 3) parts.emplace_back();
    DeviceChange change;
    std::string name;
    if (DeviceChangeFromUdev(parts[0], parts[1], parts[2], change, name)) {
        CHECK_PROMISE(change == DeviceChange::Arrival || change == DeviceChange::RemoveComplete);
        CHECK_PROMISE(name.rfind("\\\\?\\HID#", 0) == 0);
    }
    CHECK_PROMISE(ExtractInstanceKey(parts[1]).size() <= kMaxPathUnits);
    CHECK_PROMISE(!InterfaceNameMatchesPath(parts[2], ""));
    std::string upper = UpperCased(parts[2]);
    CHECK_PROMISE(upper.size() == parts[2].size());
    Rig rig;
    rig.controller.OnBleDeviceChange(DeviceChange::Arrival, parts[2]);
    rig.controller.OnBleDeviceChange(DeviceChange::RemoveComplete, parts[1]);
    rig.checkState();
}

void FirmwareInput(const std::uint8_t* data, std::size_t size) {
    emu::SettlingClock clock;
    emu::Scheduler scheduler(clock);
    emu::VirtualMouse mouse(scheduler);
    int acknowledgements = 0;
    mouse.setEventSink([&](Link, DeviceEvent e) { acknowledgements += e.code() == EventCode::Acknowledge ? 1 : 0; });
    std::size_t buffers = 0;
    for (std::span<const std::uint8_t> record : LengthPrefixed(data, size, 2)) {
        Link link = static_cast<Link>(record[1] % 3);
        bool accepted = mouse.receive(link, record.subspan(2));
        ++buffers;
        if (!accepted) CHECK_PROMISE(!mouse.rejections().empty() && !mouse.rejections().back().reason.empty());
        emu::FirmwareState s = mouse.state();
        CHECK_PROMISE(s.dpiLevel >= 1 && s.dpiLevel <= 8);
        CHECK_PROMISE(s.pollingInterval == 1 || s.pollingInterval == 2 || s.pollingInterval == 4 ||
                      s.pollingInterval == 8);
        CHECK_PROMISE(s.lightEffect >= 0 && s.lightEffect <= 15);
        for (int v : s.dpiValue) CHECK_PROMISE(v >= 0 && v <= 340);
    }
    CHECK_PROMISE(mouse.received().size() == buffers);
    CHECK_PROMISE(acknowledgements <= static_cast<int>(buffers));
}

void BluezObjectsInput(const std::uint8_t* data, std::size_t size) {
    BluezReader reader(data, size);
    const BluezObjects objects = reader.objects();
    std::optional<BluezGatt::Characteristics> found = FindMouseCharacteristics(objects);
    if (!found) return;
    // What was found is what BlueZ describes: two characteristics of one service of a
    // device that is the mouse, one writable and one that notifies.
    const QVariantMap* command = Properties(objects, found->command, "org.bluez.GattCharacteristic1");
    const QVariantMap* event = Properties(objects, found->event, "org.bluez.GattCharacteristic1");
    CHECK_PROMISE(command && event);
    CHECK_PROMISE(IsShortUuid(command->value(QStringLiteral("UUID")).toString(), 0xFEE3));
    CHECK_PROMISE(IsShortUuid(event->value(QStringLiteral("UUID")).toString(), 0xFEE4));
    const QStringList commandFlags = command->value(QStringLiteral("Flags")).toStringList();
    CHECK_PROMISE(commandFlags.contains(QStringLiteral("write")) ||
                  commandFlags.contains(QStringLiteral("write-without-response")));
    CHECK_PROMISE(event->value(QStringLiteral("Flags")).toStringList().contains(QStringLiteral("notify")));
    const QString service = qvariant_cast<QDBusObjectPath>(command->value(QStringLiteral("Service"))).path();
    CHECK_PROMISE(qvariant_cast<QDBusObjectPath>(event->value(QStringLiteral("Service"))).path() == service);
    const QVariantMap* serviceProps = Properties(objects, service, "org.bluez.GattService1");
    CHECK_PROMISE(serviceProps != nullptr);
    const QString device = qvariant_cast<QDBusObjectPath>(serviceProps->value(QStringLiteral("Device"))).path();
    const QVariantMap* deviceProps = Properties(objects, device, "org.bluez.Device1");
    CHECK_PROMISE(deviceProps && ModaliasIsMouse(deviceProps->value(QStringLiteral("Modalias")).toString()));
}

void BluezPropertiesChangedInput(const std::uint8_t* data, std::size_t size) {
    BluezReader reader(data, size);
    const QString interface = reader.string();
    const QVariantMap changed = reader.map();
    std::optional<QByteArray> value = NotifiedValue(interface, changed);
    if (!value) return;
    CHECK_PROMISE(interface == QStringLiteral("org.bluez.GattCharacteristic1") &&
                  changed.contains(QStringLiteral("Value")));
    Rig rig;
    rig.controller.SetBleLink(true);
    rig.controller.onBleNotification(
        std::span(reinterpret_cast<const std::uint8_t*>(value->constData()), static_cast<std::size_t>(value->size())));
    rig.deliver();
    rig.checkState();
}

void CableReportsInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::uint32_t kEvent = UM_DRIVER_EVENT, kPlug = UM_DRIVER_PLUG;
    CableDevice device(data, size);
    HalvernHidApi api = device.api();
    PostedMessages posted;
    HalvernHostWindow window{&posted, &PostedMessages::Post};
    CHECK_PROMISE(Set_HidApi(&api) == 1);
    Set_VIDPID(0x1D57, 0xFA60);
    CHECK_PROMISE(Open_DevMonitor(&window, kEvent, kPlug) == 1);
    device.waitUntilDone();
    Close_DevMonitor();
    std::size_t afterClose;
    {
        std::lock_guard lock(posted.mutex);
        afterClose = posted.messages.size();
    }

    // Attached and detached alternate, starting attached; events come only while
    // attached, one for each report with the event id, each a 16-bit head and value.
    bool attached = false;
    std::size_t events = 0;
    for (const auto& [message, wParam, lParam] : posted.messages) {
        CHECK_PROMISE(message == kEvent || message == kPlug);
        if (message == kPlug) {
            CHECK_PROMISE(wParam == (attached ? 0u : 1u) && lParam == 0);
            attached = !attached;
        } else {
            CHECK_PROMISE(attached && wParam <= 0xFFFF && lParam <= 0xFFFF);
            ++events;
        }
    }
    std::size_t reports = 0;
    for (const CableDevice::Read& r : device.reads) reports += r.result > 0 && r.bytes[0] == 3 ? 1 : 0;
    CHECK_PROMISE(events == (device.hasCollection(CableDevice::kEventPage) ? reports : 0));

    // The feature device opens when the command collection is there, and takes any report.
    int opened = Open_FeatureDevice();
    CHECK_PROMISE(opened == (device.hasCollection(CableDevice::kCommandPage) ? 1 : 0));
    CHECK_PROMISE(SetFeature(data, static_cast<int>(std::min<std::size_t>(size, 4096))) ==
                  (opened && size > 0 ? static_cast<int>(std::min<std::size_t>(size, 4096)) : 0));
    Close_FeatureDevice();
    CHECK_PROMISE(device.open == 0);
    std::lock_guard lock(posted.mutex);
    CHECK_PROMISE(posted.messages.size() == afterClose);
}

}  // namespace halvern::fuzz
