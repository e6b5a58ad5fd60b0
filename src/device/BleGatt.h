// The Bluetooth LE mouse's two GATT characteristics: commands are written to ...fee3...,
// events arrive as notifications of ...fee4.... BlueZ stands behind it on hardware,
// the virtual mouse in tests.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace halvern {

class BleGatt {
public:
    // Called with each notification's value, on a thread of the implementation's
    // choosing; it must not block.
    using NotificationHandler = std::function<void(std::span<const std::uint8_t> value)>;

    virtual ~BleGatt() = default;

    // One reliable write of the whole buffer. Returns true when the mouse took it.
    // Called on the apply worker thread.
    virtual bool writeCommand(std::span<const std::uint8_t> report) = 0;

    // Starts notifications to `handler`, replacing an earlier subscription. Returns
    // false when the mouse or its characteristic is not there. Main thread.
    virtual bool subscribe(NotificationHandler handler) = 0;

    // Ends notifications; once it returns the handler is not called again. Main thread.
    virtual void unsubscribe() = 0;
};

}  // namespace halvern
