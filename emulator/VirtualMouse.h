// The virtual mouse's firmware: it takes the buffers a link delivers (whole reports,
// or macro chunks split in 64-byte parts), checks each one (length, checksum, field
// ranges) and keeps the state a real mouse would; it answers each complete command
// with an acknowledgement (event 0x50) and raises the events a user causes on the
// mouse. How it is presented on a link is not its business: events leave through the
// sink of the link they are meant for.
//
// Thread-safe: links deliver from the apply worker, tests drive it from their own
// thread. Events are emitted outside the firmware's lock.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "FirmwareState.h"
#include "device/DeviceEvent.h"

namespace halvern::emu {

class Scheduler;

enum class AckMode {
    Immediate,  // 0x50 with result 0 as soon as a command is complete
    Late,       // the same after the configured delay
    Never,      // no answer at all
    Negative,   // 0x50 with result 1
};

struct Rejection {
    Link link;
    std::string reason;
    std::vector<std::uint8_t> buffer;
};

class VirtualMouse {
public:
    using EventSink = std::function<void(Link link, DeviceEvent event)>;
    using ReceiveLog = std::function<void(std::span<const std::uint8_t> buffer)>;

    // `scheduler` times late acknowledgements; it must outlive the mouse.
    explicit VirtualMouse(Scheduler& scheduler);

    void setEventSink(EventSink sink);
    void setReceiveLog(ReceiveLog log);

    // A buffer written to the mouse over `link`. Returns false when it was refused.
    bool receive(Link link, std::span<const std::uint8_t> buffer);

    // ---- Faults ----
    void setAckMode(AckMode mode, std::chrono::milliseconds delay = std::chrono::milliseconds{0});

    // ---- What a user does on the mouse; each raises its event on `link` ----
    void pressDpiButton(Link link);                      // the next enabled level
    void setPollingInterval(Link link, int intervalMs);  // 1, 2, 4 or 8
    void setLightEffect(Link link, int effect);          // 0..15
    void setBattery(Link link, int level, int status);   // status: 1 on battery, 2 charged, 3 charging
    void reportBatteryLevel(Link link, int level);       // event 0x60
    // The battery event a mouse sends when it comes up on a link, and every few seconds
    // after. On its cable the mouse charges: the event says charging, or charged once
    // the battery is full, whatever it last said off the cable.
    void announce(Link link);
    // Whether the mouse's cable is plugged (the world tells it).
    void setOnCable(bool on);
    // Any event, as it stands.
    void raise(Link link, DeviceEvent event);

    // ---- What the mouse holds ----
    FirmwareState state() const;
    std::vector<Rejection> rejections() const;
    // Every buffer received, in order, and the number of complete commands accepted.
    std::vector<std::vector<std::uint8_t>> received() const;
    int commandsAccepted() const;
    int preamblesReceived() const;
    void clearHistory();

private:
    struct Emitted {
        Link link;
        DeviceEvent event;
    };
    // The checks and effects of one whole report; an empty string when accepted.
    std::string acceptReport(std::span<const std::uint8_t> r);
    std::string acceptSensor(std::span<const std::uint8_t> r);
    std::string acceptLight(std::span<const std::uint8_t> r);
    std::string acceptPolling(std::span<const std::uint8_t> r);
    std::string acceptButtons(std::span<const std::uint8_t> r);
    std::string acceptChunk(std::span<const std::uint8_t> r);
    std::string acceptPart(std::span<const std::uint8_t> r, Link link, bool& complete);
    FirmwareMacro reassemble(int firstBlock) const;
    void acknowledge(Link link, bool ok, std::vector<Emitted>& out);
    void emitEvents(const std::vector<Emitted>& events);

    Scheduler& scheduler_;
    mutable std::mutex mutex_;
    EventSink sink_;
    ReceiveLog log_;
    AckMode ackMode_ = AckMode::Immediate;
    std::chrono::milliseconds ackDelay_{0};

    FirmwareState state_;
    std::map<int, std::vector<std::uint8_t>> chunks_;  // block -> accepted 131-byte chunk
    struct PartialChunk {
        std::vector<std::uint8_t> bytes;
        int nextPart = 0;
    };
    std::map<int, PartialChunk> partial_;  // block -> parts so far
    int battery_ = 85;
    int batteryStatus_ = 1;
    bool onCable_ = false;

    std::vector<std::vector<std::uint8_t>> received_;
    std::vector<Rejection> rejections_;
    int commandsAccepted_ = 0;
    int preambles_ = 0;
};

}  // namespace halvern::emu
