// How the BlueZ fuzz targets spell D-Bus values in bytes, shared with the seed maker.
// A string is one byte: below kRawString it picks a word BlueZ uses, so that the
// fuzzer meets real names quickly; from kRawString up its low six bits are the length
// of the UTF-8 bytes that follow. A value is a type byte (ValueType) and its content.
// A byte read past the end is 0, so every input decodes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace halvern::fuzz::bluez {

inline constexpr std::array<std::string_view, 26> kWords = {
    "org.bluez.Device1",
    "org.bluez.GattService1",
    "org.bluez.GattCharacteristic1",
    "Modalias",
    "Device",
    "Service",
    "UUID",
    "Flags",
    "Value",
    "usb:v045Ep00EEd0001",
    "bluetooth:v045EP00eed0110",
    "0000fee3-0000-1000-8000-00805f9b34fb",
    "0000FEE4-0000-1000-8000-00805F9B34FB",
    "00002a4d-0000-1000-8000-00805f9b34fb",
    "write",
    "write-without-response",
    "notify",
    "read",
    "/org/bluez/hci0/dev_11_22_33_44_55_66",
    "/org/bluez/hci0/dev_11_22_33_44_55_66/service0020",
    "/org/bluez/hci0/dev_11_22_33_44_55_66/service0020/char0021",
    "/org/bluez/hci0/dev_11_22_33_44_55_66/service0020/char0023",
    "/org/bluez/hci0/dev_11_22_33_44_55_66/service000a",
    "/",
    "org.bluez.Adapter1",
    "",
};
inline constexpr std::uint8_t kRawString = 0xC0;
// Object paths are always valid ones, as the bus never delivers others: a word that
// is a path, else "/n" and the byte.
inline constexpr std::uint8_t kFirstPath = 18;
inline constexpr std::uint8_t kPathCount = 6;

enum class ValueType : std::uint8_t {
    String,      // a string
    ObjectPath,  // a path byte
    StringList,  // a count byte, then strings
    Bytes,       // a length byte, then bytes
    Int,         // four bytes
    Bool,        // a byte
    Map,         // a count byte, then string keys and values
    Variant,     // a value wrapped once more
    Count
};

// Objects: until the input ends, a path byte, an interface count byte, and for each
// interface a string and a property map (a count byte, keys and values).

constexpr std::uint8_t Word(std::string_view word) {
    for (std::size_t i = 0; i < kWords.size(); ++i)
        if (kWords[i] == word) return static_cast<std::uint8_t>(i);
    return 0xFF;
}

}  // namespace halvern::fuzz::bluez
