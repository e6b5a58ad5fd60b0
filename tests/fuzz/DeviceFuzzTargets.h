// Fuzz targets for what the device link reads from outside: the receiver's input
// reports, Bluetooth LE notifications, the driver library's messages, hot-plug names,
// and (as a check of the virtual mouse that checks the program) the buffers its
// firmware takes. Each feeds the raw bytes through the same code the program runs and
// checks what that code promises: no crash, and every field it writes within its
// range. Run by libFuzzer (HALVERN_FUZZ=ON with clang) and by a smoke test on every
// test run.
#pragma once

#include <cstddef>
#include <cstdint>

namespace halvern::fuzz {

// Reports of any length, each prefixed by a length byte.
void InputReportsInput(const std::uint8_t* data, std::size_t size);
// Notifications of any length, each prefixed by a length byte.
void BleNotificationsInput(const std::uint8_t* data, std::size_t size);
// Records of 9 bytes: a selector (plug, event, a timer firing), wParam, lParam.
void DriverMessagesInput(const std::uint8_t* data, std::size_t size);
// Text split at NUL bytes into udev actions, sysfs paths and interface names.
void HotplugNamesInput(const std::uint8_t* data, std::size_t size);
// Buffers of any length, each prefixed by a length byte and a link byte.
void FirmwareInput(const std::uint8_t* data, std::size_t size);
// BlueZ's object tree as GetManagedObjects answers it, in the encoding of
// BluezFuzzEncoding.h.
void BluezObjectsInput(const std::uint8_t* data, std::size_t size);
// A PropertiesChanged signal (interface, changed properties) in the same encoding,
// its value handed on to the link as a notification.
void BluezPropertiesChangedInput(const std::uint8_t* data, std::size_t size);
// The cable library's view of the device: a count byte and that many collections
// (usage page selector, path length, path), then the results of its reads, each a
// length byte (0xFE: nothing in time, 0xFF: the device is gone) and that many bytes.
void CableReportsInput(const std::uint8_t* data, std::size_t size);

}  // namespace halvern::fuzz
