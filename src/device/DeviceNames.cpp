#include "device/DeviceNames.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace halvern {

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool ParseHex(std::string_view text, std::uint32_t& out) {
    if (text.empty() || text.size() > 8) return false;
    std::uint32_t v = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    out = v;
    return true;
}

// "BBBB:VVVV:PPPP.NNNN", the kernel's name for a HID device.
bool ParseHidDeviceName(std::string_view name, HidrawIdentity& id) {
    if (name.size() != 19 || name[4] != ':' || name[9] != ':' || name[14] != '.') return false;
    std::uint32_t bus, vendor, product, instance;
    if (!ParseHex(name.substr(0, 4), bus) || !ParseHex(name.substr(5, 4), vendor) ||
        !ParseHex(name.substr(10, 4), product) || !ParseHex(name.substr(15, 4), instance))
        return false;
    id.bus = bus == 0x03 ? HidBus::Usb : bus == 0x05 ? HidBus::Bluetooth : bus == 0x18 ? HidBus::I2c : HidBus::Unknown;
    id.vendorId = static_cast<std::uint16_t>(vendor);
    id.productId = static_cast<std::uint16_t>(product);
    id.valid = true;
    return true;
}

std::string_view NodeOf(std::string_view path) {
    std::size_t hash = path.rfind('#');
    return hash == std::string_view::npos ? path : path.substr(hash + 1);
}

}  // namespace

std::string UpperCased(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), UpperAscii);
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return UpperAscii(x) == UpperAscii(y); });
}

std::string ExtractInstanceKey(std::string_view path) {
    std::size_t start = 0;
    for (int field = 0; field < 4; ++field) {
        std::size_t amp = path.find('&', start);
        if (amp == std::string_view::npos) return {};
        start = amp + 1;
    }
    std::size_t end = path.find('&', start);
    std::string_view key = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    return std::string(key.substr(0, kMaxPathUnits));
}

std::string ComposeInterfaceName(HidBus bus, std::uint16_t vendorId, std::uint16_t productId, std::string_view node) {
    char head[96];
    if (bus == HidBus::Bluetooth)
        std::snprintf(head, sizeof head, "\\\\?\\HID#{00001124-0000-1000-8000-00805F9B34FB}_VID&02%04X_PID&%04X#",
                      vendorId, productId);
    else std::snprintf(head, sizeof head, "\\\\?\\HID#VID_%04X&PID_%04X#", vendorId, productId);
    return std::string(head) + std::string(node);
}

bool IsReceiverInterface(std::string_view upperCasedName) {
    return upperCasedName.find(kReceiverVidPart) != std::string_view::npos &&
           upperCasedName.find(kReceiverPidPart) != std::string_view::npos;
}

bool InterfaceNameMatchesPath(std::string_view name, std::string_view path) {
    if (path.empty()) return false;
    if (EqualsNoCase(name, path)) return true;
    return name.find('#') != std::string_view::npos && EqualsNoCase(NodeOf(name), path);
}

HidrawIdentity HidrawIdentityFromDevpath(std::string_view devpath) {
    HidrawIdentity id;
    std::size_t start = 0;
    while (start <= devpath.size()) {
        std::size_t slash = devpath.find('/', start);
        std::string_view part =
            devpath.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
        HidrawIdentity candidate;
        if (ParseHidDeviceName(part, candidate)) id = candidate;  // the innermost wins
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return id;
}

}  // namespace halvern
