// The four bytes the mouse sends on every link: marker 0xEE, event code, and a 16-bit
// little-endian value. The receiver puts them after a report id; a Bluetooth LE
// notification carries them bare; the driver library posts head and value.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace halvern {

enum class Link { Cable, Receiver, Ble };

std::string_view LinkName(Link link);

inline constexpr std::uint8_t kEventMarker = 0xEE;
inline constexpr std::uint8_t kEventReportId = 3;
// The reader's buffer; reports are read into it zero-filled, so bytes past a short
// report read as zero.
inline constexpr std::size_t kInputReportBuffer = 100;

namespace EventCode {
inline constexpr std::uint8_t DpiLevel = 0x10;
inline constexpr std::uint8_t PollingRate = 0x20;
inline constexpr std::uint8_t Battery = 0x40;
inline constexpr std::uint8_t Acknowledge = 0x50;
inline constexpr std::uint8_t BatteryLevel = 0x60;
inline constexpr std::uint8_t LightEffect = 0x70;
inline constexpr std::uint8_t Saved = 0x80;
}  // namespace EventCode

// Battery status, the low byte of a battery event's value.
namespace BatteryStatus {
inline constexpr std::uint8_t Charged = 2;
inline constexpr std::uint8_t Charging = 3;
}  // namespace BatteryStatus

struct DeviceEvent {
    std::uint16_t head = 0;  // marker | code << 8
    std::uint16_t value = 0;

    constexpr std::uint8_t marker() const { return static_cast<std::uint8_t>(head & 0xFF); }
    constexpr std::uint8_t code() const { return static_cast<std::uint8_t>(head >> 8); }
    constexpr std::uint8_t valueLow() const { return static_cast<std::uint8_t>(value & 0xFF); }
    constexpr std::uint8_t valueHigh() const { return static_cast<std::uint8_t>(value >> 8); }
    constexpr bool isMouseEvent() const { return marker() == kEventMarker; }

    static constexpr DeviceEvent Make(std::uint8_t code, std::uint16_t value) {
        return {static_cast<std::uint16_t>(kEventMarker | code << 8), value};
    }
    // The bytes at `at`: marker, code, value low, value high. Bytes past the span read
    // as zero.
    static DeviceEvent FromBytes(std::span<const std::uint8_t> bytes, std::size_t at);
    friend constexpr bool operator==(const DeviceEvent&, const DeviceEvent&) = default;
};

// The receiver's input report: report id, then the event.
inline DeviceEvent EventFromInputReport(std::span<const std::uint8_t> report) {
    return DeviceEvent::FromBytes(report, 1);
}
// A Bluetooth LE notification: the event alone.
inline DeviceEvent EventFromNotification(std::span<const std::uint8_t> value) {
    return DeviceEvent::FromBytes(value, 0);
}

}  // namespace halvern
