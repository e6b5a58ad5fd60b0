#include "FuzzSeeds.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string_view>

#include "BluezFuzzEncoding.h"
#include "RecordJson.h"
#include "SettingsJson.h"
#include "records/MacroRecord.h"
#include "records/MouseProfile.h"
#include "storage/ProfileStore.h"
#include "support/TempDir.h"

namespace halvern::fuzz {

namespace {

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes FileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

template <typename Record>
Bytes RecordBytes(const Record& r) {
    auto b = test::BytesOf(r);
    return Bytes(b.begin(), b.end());
}

// A macro of `steps` presses and releases, as the recorder writes them.
MacroRecord Macro(std::u16string_view name, int steps) {
    MacroRecord m;
    m.setName(name);
    m.actionCount = steps;
    for (int i = 0; i < steps; ++i)
        m.actions[i] = {static_cast<std::uint8_t>(i % 6 == 5 ? kMouseLeft : 0x04 + i / 2 % 26),
                        static_cast<std::uint8_t>(i % 2 ? MacroAction::Release : MacroAction::Press),
                        static_cast<std::uint16_t>(10 + 15 * i)};
    return m;
}

// A profile that uses every kind of setting: macros on three buttons, a key
// combination, changed DPI levels, colours and light settings.
std::unique_ptr<MouseProfile> BusyProfile(std::u16string_view name, int variant) {
    auto p = MouseProfile::Create(name);
    p->buttons[5].assignMacro(Macro(u"Build", 24), 1, 3, 0);
    p->buttons[6].assignMacro(Macro(u"Reload", 90), 2, 1, 1);  // as long as four blocks hold
    p->buttons[9].assignMacro(Macro(u"Short", 2), 0, 1, 2);
    p->buttons[7].assignKey(0x06, kModCtrl | kModShift);
    for (std::size_t i = 0; i < kDpiLevels; ++i) {
        p->dpiValue[i] = static_cast<std::int32_t>(8 + i * 40 + variant);
        p->dpiValueCopy[i] = p->dpiValue[i];
        p->dpiColor[i] = RgbColor::fromArgb(0xFF102030u * static_cast<std::uint32_t>(i + 1));
    }
    p->dpiStep = 2 + variant;
    p->pollingRate = variant % 4;
    p->lightEffect = 3 + variant;
    p->lightColor = RgbColor::fromArgb(0xFFFF8000u);
    p->brightness = 80;
    return p;
}

Bytes ProfileStoreFile(int profiles, std::int32_t selected) {
    Bytes out(ProfileStore::kHeaderSize, 0);
    for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(selected >> (8 * i));
    for (int i = 0; i < profiles; ++i)
        Append(out, RecordBytes(*BusyProfile(u"Profile" + std::u16string(1, static_cast<char16_t>(u'1' + i)), i)));
    return out;
}

// Receiver and cable event reports: 03 EE code value.
Bytes EventReport(std::uint8_t code, std::uint16_t value) {
    return {0x03, 0xEE, code, static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
}

Bytes LengthPrefixed(std::initializer_list<Bytes> records) {
    Bytes out;
    for (const Bytes& r : records) {
        out.push_back(static_cast<std::uint8_t>(r.size()));
        Append(out, r);
    }
    return out;
}

// BlueZ's tree with the mouse in it, as BluezFuzzEncoding.h spells it.
Bytes BluezTree(bool withMouse) {
    using namespace bluez;
    const auto map = [](std::uint8_t count) { return count; };
    const std::uint8_t str = static_cast<std::uint8_t>(ValueType::String);
    const std::uint8_t path = static_cast<std::uint8_t>(ValueType::ObjectPath);
    const std::uint8_t list = static_cast<std::uint8_t>(ValueType::StringList);
    const std::uint8_t device = 0, service20 = 1, command = 2, event = 3, service0a = 4, root = 5;
    Bytes out = {root, 1, Word("org.bluez.Adapter1"), map(0)};
    if (!withMouse) return out;
    Append(out, {device, 1, Word("org.bluez.Device1"), map(1), Word("Modalias"), str, Word("usb:v045Ep00EEd0001")});
    Append(out, {service0a, 1, Word("org.bluez.GattService1"), map(2), Word("UUID"), str,
                 Word("00002a4d-0000-1000-8000-00805f9b34fb"), Word("Device"), path, device});
    Append(out, {service20, 1, Word("org.bluez.GattService1"), map(1), Word("Device"), path, device});
    Append(out, {command, 1, Word("org.bluez.GattCharacteristic1"), map(3), Word("UUID"), str,
                 Word("0000fee3-0000-1000-8000-00805f9b34fb"), Word("Service"), path, service20, Word("Flags"), list, 1,
                 Word("write")});
    Append(out, {event, 1, Word("org.bluez.GattCharacteristic1"), map(3), Word("UUID"), str,
                 Word("0000FEE4-0000-1000-8000-00805F9B34FB"), Word("Service"), path, service20, Word("Flags"), list, 2,
                 Word("read"), Word("notify")});
    return out;
}

Bytes BluezNotification(const Bytes& value) {
    using namespace bluez;
    Bytes out = {Word("org.bluez.GattCharacteristic1"), 1, Word("Value"), static_cast<std::uint8_t>(ValueType::Bytes),
                 static_cast<std::uint8_t>(value.size())};
    Append(out, value);
    return out;
}

// The cable library's device: an event and a command collection, then its reads.
Bytes CableSession(std::initializer_list<Bytes> reads) {
    std::string_view events = "/dev/hidraw3", commands = "/dev/hidraw4";
    Bytes out = {3, 2, 4, 'u', 's', 'b', '0'};  // a collection of another page first
    out.push_back(0);
    out.push_back(static_cast<std::uint8_t>(events.size()));
    out.insert(out.end(), events.begin(), events.end());
    out.push_back(1);
    out.push_back(static_cast<std::uint8_t>(commands.size()));
    out.insert(out.end(), commands.begin(), commands.end());
    for (const Bytes& r : reads) {
        if (r.size() == 1 && (r[0] == 0xFE || r[0] == 0xFF)) {
            out.push_back(r[0]);
            continue;
        }
        out.push_back(static_cast<std::uint8_t>(r.size()));
        Append(out, r);
    }
    return out;
}

// A profile with every kind of setting away from its default, a macro button included.
std::unique_ptr<MouseProfile> EditedProfile() {
    auto p = MouseProfile::Create(u"Edited \u00e9");
    p->dpiValue[0] = 8;
    p->dpiValue[6] = 230;
    p->dpiEnabled[6] = 1;
    p->dpiColor[1] = {0xFF, 0x80, 0x00, 0};
    p->pollingRate = 1;
    p->lightEffect = 2;
    p->lightOffTimer = 5;
    p->keyDebounce = 6;
    p->angleSnap = 1;
    p->buttons[3].assignKey(0x06, kModCtrl | kModShift);
    p->buttons[5].function = 69;
    MacroRecord m;
    m.setName(u"burst");
    m.actionCount = 3;
    m.actions[0] = {0x04, MacroAction::Press, 30};
    m.actions[1] = {0x04, MacroAction::Release, 0};
    m.actions[2] = {kMouseLeft, MacroAction::Press, 5};
    p->buttons[4].assignMacro(m, 0, 3, -1);
    return p;
}

}  // namespace

std::map<std::string, SeedFiles> MakeSeeds(const std::filesystem::path& res) {
    std::map<std::string, SeedFiles> seeds;

    // A store as a user's grows it: five reserved blocks, then three full profiles.
    seeds["ProfileStoreInput"]["pro.data"] = ProfileStoreFile(3, 1);
    Bytes macros;
    for (int i = 0; i < 5; ++i)
        Append(macros, RecordBytes(Macro(u"Macro" + std::u16string(1, static_cast<char16_t>(u'1' + i)), 20 * i + 2)));
    seeds["MacroStoreInput"]["macro.data"] = macros;
    seeds["RecordFileInput"]["profile.pro"] = RecordBytes(*BusyProfile(u"Imported", 1));
    seeds["RecordFileInput"]["macro.macro"] = RecordBytes(Macro(u"Imported", 40));
    // Too long for a button's blocks: refused, the whole profile with it.
    seeds["RecordFileInput"]["long.macro"] = RecordBytes(Macro(u"Long", 160));
    seeds["SettingsFileInput"]["CONFIG.ini"] =
        Text("[Window]\r\nX=120\r\nY=80\r\n[SETTING]\r\nModelId=2\r\nLanguage=lan.xml\r\n");

    // The profile to apply and the one the mouse last got: a full and a changes-only apply.
    Bytes applied = RecordBytes(*BusyProfile(u"Now", 2));
    Append(applied, RecordBytes(*BusyProfile(u"Before", 0)));
    seeds["ProfileReportsInput"]["changed.bin"] = applied;

    for (const char* layout : {"main.xml", "msg.xml", "DPImsg.xml", "traymenu.xml"})
        seeds["LayoutInput"][layout] = FileBytes(res / layout);
    seeds["LayoutInput"]["controls.xml"] =
        Text(R"(<Window size="300,200" caption="t"><Tab selected="1"><Tab/><Fill/></Tab>
<Horizontal vscroll="true"><Slider min="0" max="100" value="30"/><Progress min="0" max="5" value="2"/>
<Combo selected="0"><Item text="a"/></Combo><List rowheight="20"><Item/></List>
<Edit maxchar="8"/><ColorPalette width="40" height="40"/><Button name="b" text="Go"/><Label text="x"/></Horizontal></Window>
)");
    seeds["LanguageFileInput"]["lan.xml"] = FileBytes(res / "lan.xml");
    seeds["MenuInput"]["traymenu.xml"] = FileBytes(res / "traymenu.xml");
    seeds["MenuInput"]["ms_1_menu.xml"] = FileBytes(res / "MS/MS_1/ms_1_menu.xml");
    seeds["LayoutInput"]["shortcut.xml"] = FileBytes(res / "shortcut.xml");
    seeds["LayoutInput"]["selectmacro.xml"] = FileBytes(res / "MS/MS_1/selectmacro.xml");
    seeds["MenuInput"]["items.xml"] = Text(R"(<Menu class="m"><Item name="a" textkey="tray_exit_text" userdata="u1"/>
<Item name="hidden" text="H" visible="false"/><Item name="b" text="B" visible="1"/><Item/></Menu>
)");

    seeds["InputReportsInput"]["events.bin"] =
        LengthPrefixed({EventReport(0x40, 0x5A01), EventReport(0x10, 3), EventReport(0x20, 1), EventReport(0x50, 0),
                        EventReport(0x60, 7), EventReport(0x70, 0x50), EventReport(0x80, 1)});
    seeds["InputReportsInput"]["dpi.bin"] =
        LengthPrefixed({EventReport(0x10, 9), EventReport(0x40, 0xC801), EventReport(0x40, 0x0003)});
    seeds["BleNotificationsInput"]["notifications.bin"] = {4,    0xEE, 0x10, 2,    0, 4, 0xEE, 0x40, 0x01,
                                                           0x3C, 4,    0xEE, 0x50, 0, 0, 2,    0xEE, 0x20};
    seeds["DriverMessagesInput"]["messages.bin"] = {0,    1,    0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 1,
                                                    0xEE, 0x10, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::string hotplug = std::string("add") + '\0' + "/devices/x/0003:1D57:FA60.0004/hidraw/hidraw3" + '\0' +
                                "\\\\?\\HID#{00001124-0000-1000-8000-00805F9B34FB}_VID&02045E_PID&00EE#/dev/hidraw7";
    seeds["HotplugNamesInput"]["names.bin"] = Text(hotplug);
    Bytes firmware = {9, 0,    0x06, 0x09, 0x01, 0x01, 0xFE, 0, 0, 0, 0, 10,
                      1, 0x0C, 0x0A, 0x01, 0xFE, 0x01, 0xFE, 0, 0, 0, 0};
    Bytes part = {64, 0, 0x09, 0x40, 0x01, 0x00};
    part.resize(66, 0);
    Append(firmware, part);
    seeds["FirmwareInput"]["buffers.bin"] = firmware;

    seeds["BluezObjectsInput"]["mouse.bin"] = BluezTree(true);
    seeds["BluezObjectsInput"]["adapter.bin"] = BluezTree(false);
    seeds["BluezPropertiesChangedInput"]["battery.bin"] = BluezNotification({0xEE, 0x40, 0x01, 0x3C});
    seeds["BluezPropertiesChangedInput"]["dpi.bin"] = BluezNotification({0xEE, 0x10, 2, 0});
    seeds["CableReportsInput"]["session.bin"] = CableSession(
        {EventReport(0x10, 3), {0xFE}, EventReport(0x40, 0x5A01), {0x01, 0x02}, {0xFF}, EventReport(0x20, 1)});

    seeds["SingleInstanceLineInput"]["activate.txt"] = Text("activate\n");
    seeds["SingleInstanceLineInput"]["other.txt"] = Text("show\nactivate\n");
    seeds["SingleInstanceLineInput"]["token.txt"] = Text("activate gnome-shell/halvern/2202-5-host_TIME91830\n");

    seeds["SettingsJsonInput"]["defaults.json"] = Text(cli::SettingsJson(*MouseProfile::Create(u"Profile 1")).dump());
    seeds["SettingsJsonInput"]["edited.json"] = Text(cli::SettingsJson(*EditedProfile()).dump());
    seeds["ShownProfileInput"]["defaults.pro"] = RecordBytes(*MouseProfile::Create(u"Profile 1"));
    seeds["ShownProfileInput"]["busy.pro"] = RecordBytes(*BusyProfile(u"Busy", 1));
    seeds["SettingsJsonInput"]["shown.json"] = Text(cli::ProfileJson(*BusyProfile(u"Busy", 2)).dump());
    seeds["SettingsJsonInput"]["short.json"] =
        Text(R"({"name": "fps", "dpi.1": 400, "dpi.1.enabled": true, "ripple": false, "button.4": "key:ctrl+c"})");
    return seeds;
}

std::vector<Bytes> ReadSeeds(const std::filesystem::path& folder, const std::string& target) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder / target, ec))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<Bytes> out;
    for (const auto& f : files) out.push_back(FileBytes(f));
    return out;
}

}  // namespace halvern::fuzz
