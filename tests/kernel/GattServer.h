// The mouse's GATT server: its attribute table and the Attribute Protocol spoken over
// it, as the firmware of a Bluetooth LE mouse answers the host. Every UUID the mouse
// uses is a 16-bit one. The ATT MTU stays at its minimum (23), so the host reads long
// values in parts (Read Blob) and writes them in parts (Prepare and Execute Write).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace halvern::kernel {

namespace att {
inline constexpr std::uint8_t kErrorResponse = 0x01, kExchangeMtuRequest = 0x02, kExchangeMtuResponse = 0x03,
                              kFindInformationRequest = 0x04, kFindInformationResponse = 0x05,
                              kFindByTypeValueRequest = 0x06, kFindByTypeValueResponse = 0x07,
                              kReadByTypeRequest = 0x08, kReadByTypeResponse = 0x09, kReadRequest = 0x0A,
                              kReadResponse = 0x0B, kReadBlobRequest = 0x0C, kReadBlobResponse = 0x0D,
                              kReadByGroupTypeRequest = 0x10, kReadByGroupTypeResponse = 0x11, kWriteRequest = 0x12,
                              kWriteResponse = 0x13, kPrepareWriteRequest = 0x16, kPrepareWriteResponse = 0x17,
                              kExecuteWriteRequest = 0x18, kExecuteWriteResponse = 0x19, kNotification = 0x1B,
                              kWriteCommand = 0x52;
inline constexpr std::uint8_t kInvalidHandle = 0x01, kReadNotPermitted = 0x02, kWriteNotPermitted = 0x03,
                              kInvalidPdu = 0x04, kRequestNotSupported = 0x06, kInvalidOffset = 0x07,
                              kPrepareQueueFull = 0x09, kAttributeNotFound = 0x0A, kAttributeNotLong = 0x0B,
                              kInvalidAttributeValueLength = 0x0D, kUnsupportedGroupType = 0x10,
                              kApplicationError = 0x80;
inline constexpr std::uint16_t kMtu = 23;
}  // namespace att

namespace gatt {
inline constexpr std::uint16_t kPrimaryService = 0x2800, kCharacteristic = 0x2803, kClientConfiguration = 0x2902;
inline constexpr std::uint8_t kRead = 0x02, kWriteWithoutResponse = 0x04, kWrite = 0x08, kNotify = 0x10,
                              kIndicate = 0x20;
}  // namespace gatt

class GattServer {
public:
    using Pdu = std::vector<std::uint8_t>;
    // A whole value written to a characteristic; returns 0, or the ATT error to answer.
    using WriteHandler = std::function<std::uint8_t(std::span<const std::uint8_t> value)>;

    // ---- The table, built in handle order ----
    void addService(std::uint16_t uuid);
    // Returns the value's handle. A characteristic that notifies or indicates gets its
    // client configuration descriptor right after the value.
    std::uint16_t addCharacteristic(std::uint16_t uuid, std::uint8_t properties, std::vector<std::uint8_t> value,
                                    WriteHandler onWrite = {});
    void addDescriptor(std::uint16_t uuid, std::vector<std::uint8_t> value);

    // ---- The protocol ----
    // One PDU from the host; the answer to send, nothing for a command.
    std::optional<Pdu> receive(std::span<const std::uint8_t> pdu);
    // A notification of the characteristic's value, nothing when the host has not
    // asked for them. The value is cut to what the MTU carries.
    std::optional<Pdu> notification(std::uint16_t valueHandle, std::span<const std::uint8_t> value) const;
    // Writes prepared and not executed die with the connection. The host's choice of
    // notifications stays, as a bonded host expects.
    void disconnected() { prepared_.clear(); }

private:
    struct Attribute {
        Attribute(std::uint16_t t, std::vector<std::uint8_t> v) : type(t), value(std::move(v)) {}
        std::uint16_t type;
        std::vector<std::uint8_t> value;
        bool readable = true;
        bool writable = false;
        bool writableWithoutResponse = false;
        std::uint16_t groupEnd = 0;  // services: the last handle of the service
        WriteHandler onWrite;
    };
    struct Prepared {
        std::uint16_t handle;
        std::uint16_t offset;
        std::vector<std::uint8_t> bytes;
    };

    std::uint16_t add(Attribute a);
    const Attribute* at(std::uint16_t handle) const;
    Pdu error(std::uint8_t request, std::uint16_t handle, std::uint8_t code) const;
    std::uint8_t write(std::uint16_t handle, std::span<const std::uint8_t> value);

    Pdu findInformation(std::span<const std::uint8_t> pdu) const;
    Pdu findByTypeValue(std::span<const std::uint8_t> pdu) const;
    Pdu readByType(std::span<const std::uint8_t> pdu) const;
    Pdu read(std::span<const std::uint8_t> pdu) const;
    Pdu readByGroupType(std::span<const std::uint8_t> pdu) const;
    Pdu prepareWrite(std::span<const std::uint8_t> pdu);
    Pdu executeWrite(std::span<const std::uint8_t> pdu);

    std::vector<Attribute> attributes_;  // handle = index + 1
    std::vector<Prepared> prepared_;
};

}  // namespace halvern::kernel
