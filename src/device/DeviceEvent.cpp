#include "device/DeviceEvent.h"

namespace halvern {

std::string_view LinkName(Link link) {
    switch (link) {
        case Link::Cable: return "cable";
        case Link::Receiver: return "receiver";
        case Link::Ble: return "ble";
    }
    return "unknown";
}

DeviceEvent DeviceEvent::FromBytes(std::span<const std::uint8_t> bytes, std::size_t at) {
    auto byte = [&](std::size_t i) -> std::uint16_t { return at + i < bytes.size() ? bytes[at + i] : 0; };
    return {static_cast<std::uint16_t>(byte(0) | byte(1) << 8), static_cast<std::uint16_t>(byte(2) | byte(3) << 8)};
}

}  // namespace halvern
