// Identities of the mouse's links and the names device changes carry.
//
// Hot-plug names are composed Windows-style so that the same substring tests work on
// every link: a USB collection is named "\\?\HID#VID_1D57&PID_FA60#<node>", a
// Bluetooth one "\\?\HID#{00001124-0000-1000-8000-00805F9B34FB}_VID&02045E_PID&00EE#<node>",
// where <node> is the device node (/dev/hidrawN) that the collection's path names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "device/HidBackend.h"

namespace halvern {

inline constexpr std::uint16_t kReceiverVendorId = 0x1D57;
inline constexpr std::uint16_t kReceiverProductId = 0xFA60;
inline constexpr std::uint16_t kCableVendorId = 0x1D57;
inline constexpr std::uint16_t kCableProductId = 0x215E;
inline constexpr std::uint16_t kBleVendorId = 0x045E;
inline constexpr std::uint16_t kBleProductId = 0x00EE;

inline constexpr std::uint16_t kCommandUsagePage = 0x000B;
inline constexpr std::uint16_t kInputUsagePage = 0x000A;

inline constexpr std::string_view kReceiverVidPart = "VID_1D57";
inline constexpr std::string_view kReceiverPidPart = "PID_FA60";
inline constexpr std::string_view kBleVidPart = "VID&02045E";
inline constexpr std::string_view kBlePidPart = "PID&00EE";

// Longest path or key the slot tables keep, in characters.
inline constexpr std::size_t kMaxPathUnits = 259;

// ASCII letters upper-cased, every other byte as it was.
std::string UpperCased(std::string_view text);

bool EqualsNoCase(std::string_view a, std::string_view b);

// The fifth "&"-separated field of a Windows device path (at most 259 characters):
// equal for the collections of one receiver, which differ only in their col field.
// Fewer than five fields give the empty string.
std::string ExtractInstanceKey(std::string_view path);

// The hot-plug name of a collection on `node` (see above).
std::string ComposeInterfaceName(HidBus bus, std::uint16_t vendorId, std::uint16_t productId, std::string_view node);

bool IsReceiverInterface(std::string_view upperCasedName);

// Whether a removed interface's name refers to the collection at `path`: the name is
// the path itself (Windows form) or ends in "#" and the path's node.
bool InterfaceNameMatchesPath(std::string_view name, std::string_view path);

// What a udev "hidraw" device tells about itself, from its sysfs path alone (which a
// removal still carries): the parent HID device is named "BBBB:VVVV:PPPP.NNNN".
struct HidrawIdentity {
    HidBus bus = HidBus::Unknown;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    bool valid = false;
};
HidrawIdentity HidrawIdentityFromDevpath(std::string_view devpath);

}  // namespace halvern
