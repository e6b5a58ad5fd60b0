// Device arrivals and removals, delivered on the main thread with the interface names
// of DeviceNames.h.
//
// The source does not call back on its own: it exposes a descriptor that becomes
// readable when something happened, and the main loop calls dispatch() then. So the
// GUI and halvernctl watch it with their event loop, and a test drives it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace halvern {

// The device-change events the device layer tells apart; the values are those of the
// Windows broadcasts they stand for.
enum class DeviceChange : std::uint32_t {
    NodesChanged = 0x0007,
    Arrival = 0x8000,
    RemoveComplete = 0x8004,
};

class HotplugSource {
public:
    using Sink = std::function<void(DeviceChange change, std::string_view interfaceName)>;

    virtual ~HotplugSource() = default;

    // Starts watching. Returns false when the system offers no monitor; the source
    // then stays silent (fd() is -1).
    virtual bool start(Sink sink) = 0;

    // Readable while dispatch() has something to deliver; -1 before start or when
    // there is no monitor.
    virtual int fd() const = 0;

    // Delivers every pending change to the sink, in order, without blocking.
    virtual void dispatch() = 0;
};

}  // namespace halvern
