#include "VirtualMouse.h"

#include <algorithm>
#include <cstdio>

#include "FirmwareTables.h"
#include "Scheduler.h"

namespace halvern::emu {

namespace {

constexpr std::size_t kPartSize = 64;
constexpr std::size_t kChunkSize = 131;
constexpr std::size_t kChunkData = 29;
constexpr std::size_t kChunkDataBytes = 100;
constexpr int kMaxBlock = 40;

std::string Format(const char* format, int a = 0, int b = 0, int c = 0) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// The 16-bit sum of bytes [from, to) against the two bytes at `to`, high first.
std::string CheckSum(std::span<const std::uint8_t> r, std::size_t from, std::size_t to) {
    unsigned sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += r[i];
    sum &= 0xFFFF;
    unsigned stored = static_cast<unsigned>(r[to]) << 8 | r[to + 1];
    if (sum == stored) return {};
    return Format("checksum %04x, the payload sums to %04x", static_cast<int>(stored), static_cast<int>(sum));
}

std::string ZerosFrom(std::span<const std::uint8_t> r, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to && i < r.size(); ++i)
        if (r[i] != 0) return Format("byte %d is %02x where 0 belongs", static_cast<int>(i), r[i]);
    return {};
}

std::string Frame(std::span<const std::uint8_t> r, std::size_t length, const std::string& name) {
    if (r.size() != length)
        return name + Format(" of %d bytes, not %d", static_cast<int>(r.size()), static_cast<int>(length));
    if (r[1] != length) return name + Format(": length byte %d, sent %d", r[1], static_cast<int>(length));
    return {};
}

bool KnownFirstDeviceByte(std::uint8_t b) {
    return std::any_of(std::begin(kDeviceCodes), std::end(kDeviceCodes),
                       [b](const DeviceCode& c) { return c.bytes[0] == b; });
}

bool IsMacroFirstBlock(std::uint8_t block) {
    return std::find(kMacroFirstBlock.begin(), kMacroFirstBlock.end(), block) != kMacroFirstBlock.end();
}

}  // namespace

VirtualMouse::VirtualMouse(Scheduler& scheduler) : scheduler_(scheduler) {
    state_ = ExpectedState(*MouseProfile::Create(u"virtual"));
}

void VirtualMouse::setEventSink(EventSink sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

void VirtualMouse::setReceiveLog(ReceiveLog log) {
    std::lock_guard lock(mutex_);
    log_ = std::move(log);
}

void VirtualMouse::setAckMode(AckMode mode, std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    ackMode_ = mode;
    ackDelay_ = delay;
}

bool VirtualMouse::receive(Link link, std::span<const std::uint8_t> buffer) {
    std::vector<Emitted> events;
    bool accepted;
    {
        std::lock_guard lock(mutex_);
        received_.emplace_back(buffer.begin(), buffer.end());
        if (log_) log_(buffer);
        bool complete = true;
        std::string why;
        if (buffer.size() == kPartSize && buffer[0] == 0x09) why = acceptPart(buffer, link, complete);
        else why = acceptReport(buffer);
        accepted = why.empty();
        if (!accepted) {
            rejections_.push_back({link, why, std::vector<std::uint8_t>(buffer.begin(), buffer.end())});
            acknowledge(link, false, events);
        } else if (complete) {
            ++commandsAccepted_;
            acknowledge(link, true, events);
        }
    }
    emitEvents(events);
    return accepted;
}

void VirtualMouse::acknowledge(Link link, bool ok, std::vector<Emitted>& out) {
    std::uint16_t result = (ok && ackMode_ != AckMode::Negative) ? 0 : 1;
    DeviceEvent ack = DeviceEvent::Make(EventCode::Acknowledge, result);
    switch (ackMode_) {
        case AckMode::Never: return;
        case AckMode::Late: scheduler_.after(ackDelay_, [this, link, ack] { emitEvents({{link, ack}}); }); return;
        case AckMode::Immediate:
        case AckMode::Negative: out.push_back({link, ack}); return;
    }
}

void VirtualMouse::emitEvents(const std::vector<Emitted>& events) {
    if (events.empty()) return;
    EventSink sink;
    {
        std::lock_guard lock(mutex_);
        sink = sink_;
    }
    if (!sink) return;
    for (const Emitted& e : events) sink(e.link, e.event);
}

std::string VirtualMouse::acceptReport(std::span<const std::uint8_t> r) {
    if (r.size() < 3) return Format("a buffer of %d bytes", static_cast<int>(r.size()));
    switch (r[0]) {
        case 0x0C: {
            static constexpr std::uint8_t kPreamble[10] = {0x0C, 0x0A, 0x01, 0xFE, 0x01, 0xFE, 0, 0, 0, 0};
            if (r.size() != 10 || !std::equal(r.begin(), r.end(), kPreamble))
                return "a preamble that is not 0c 0a 01 fe 01 fe 00 00 00 00";
            ++preambles_;
            return {};
        }
        case 0x04: return acceptSensor(r);
        case 0x05: return acceptLight(r);
        case 0x06: return acceptPolling(r);
        case 0x08: return acceptButtons(r);
        case 0x09: return acceptChunk(r);
        default: return Format("unknown report id %02x", r[0]);
    }
}

std::string VirtualMouse::acceptSensor(std::span<const std::uint8_t> r) {
    if (auto why = Frame(r, 56, "sensor report"); !why.empty()) return why;
    if (r[2] != 1) return Format("sensor report: byte 2 is %d", r[2]);
    if (auto why = CheckSum(r, 3, 50); !why.empty()) return "sensor report: " + why;
    if (auto why = ZerosFrom(r, 52, 56); !why.empty()) return "sensor report: " + why;
    if (r[7] != 0 || r[49] != 1) return "sensor report: bytes 7 and 49 must be 0 and 1";
    if (r[3] > 1 || r[4] > 1) return "sensor report: angle snap and ripple control are 0 or 1";
    if (r[24] < 1 || r[24] > 8) return Format("sensor report: DPI level %d", r[24]);
    std::array<int, 8> values{};
    for (int k = 0; k < 8; ++k) {
        std::uint8_t flag = r[16 + static_cast<std::size_t>(k)];
        if (flag > 1) return Format("sensor report: level %d has range flag %d", k, flag);
        bool high = (r[6] >> k) & 1;
        values[static_cast<std::size_t>(k)] = DecodeDpiLevel(r[8 + static_cast<std::size_t>(k)], flag == 1, high);
        if (values[static_cast<std::size_t>(k)] < 0)
            return Format("sensor report: level %d, register %d, encodes no DPI", k,
                          r[8 + static_cast<std::size_t>(k)]);
    }
    state_.angleSnap = r[3];
    state_.rippleControl = r[4];
    for (std::size_t k = 0; k < 8; ++k) {
        state_.dpiEnabled[k] = (r[5] >> k) & 1;
        state_.dpiValue[k] = values[k];
        state_.dpiColor[k] = {r[25 + 3 * k], r[26 + 3 * k], r[27 + 3 * k], 0};
    }
    state_.dpiLevel = r[24];
    return {};
}

std::string VirtualMouse::acceptLight(std::span<const std::uint8_t> r) {
    if (auto why = Frame(r, 15, "light report"); !why.empty()) return why;
    if (r[2] != 1) return Format("light report: byte 2 is %d", r[2]);
    if (auto why = CheckSum(r, 3, 11); !why.empty()) return "light report: " + why;
    if (auto why = ZerosFrom(r, 13, 15); !why.empty()) return "light report: " + why;
    if (r[3] & 0x0F) return Format("light report: effect byte %02x is not a multiple of 16", r[3]);
    state_.lightEffect = r[3] >> 4;
    state_.breathSpeed = 9 - (r[4] & 0x0F);
    state_.sleepTimer = (r[4] & 0xF0) | (r[5] >> 4);
    state_.brightness = r[5] & 0x0F;
    state_.lightColor = {r[6], r[7], r[8], 0};
    state_.lightOffTimer = r[9];
    state_.keyDebounce = r[10];
    return {};
}

std::string VirtualMouse::acceptPolling(std::span<const std::uint8_t> r) {
    if (auto why = Frame(r, 9, "polling report"); !why.empty()) return why;
    if (r[2] != 1) return Format("polling report: byte 2 is %d", r[2]);
    if (r[4] != static_cast<std::uint8_t>(~r[3]))
        return Format("polling report: %02x is not the complement of %02x", r[4], r[3]);
    if (r[3] != 1 && r[3] != 2 && r[3] != 4 && r[3] != 8) return Format("polling report: interval %d ms", r[3]);
    if (auto why = ZerosFrom(r, 5, 9); !why.empty()) return "polling report: " + why;
    state_.pollingInterval = r[3];
    return {};
}

std::string VirtualMouse::acceptButtons(std::span<const std::uint8_t> r) {
    if (auto why = Frame(r, 59, "button report"); !why.empty()) return why;
    if (r[2] != 1) return Format("button report: byte 2 is %d", r[2]);
    if (auto why = CheckSum(r, 3, 57); !why.empty()) return "button report: " + why;
    for (int i = 0; i < 18; ++i) {
        const std::uint8_t* b = &r[3 + 3 * static_cast<std::size_t>(i)];
        bool none = b[0] == 0 && b[1] == 0 && b[2] == 0;
        if (!none && !KnownFirstDeviceByte(b[0]))
            return Format("button report: button %d has device code %02x", i, b[0]);
        if (b[0] == 0x11 && b[1] > 0x0F) return Format("button report: button %d has modifiers %02x", i, b[1]);
        if (b[0] == 0x12 && (b[1] != 0 || (b[2] != 0 && !IsMacroFirstBlock(b[2]))))
            return Format("button report: button %d names macro block %d", i, b[2]);
    }
    for (std::size_t i = 0; i < 18; ++i) state_.buttons[i] = {r[3 + 3 * i], r[4 + 3 * i], r[5 + 3 * i]};
    return {};
}

std::string VirtualMouse::acceptChunk(std::span<const std::uint8_t> r) {
    if (auto why = Frame(r, kChunkSize, "macro chunk"); !why.empty()) return why;
    int block = r[2];
    if (block < 1 || block > kMaxBlock) return Format("macro chunk: block %d", block);
    if (auto why = CheckSum(r, 3, 129); !why.empty()) return "macro chunk: " + why;
    if (auto why = ZerosFrom(r, 8, 28); !why.empty()) return "macro chunk: " + why;
    if (r[7] == 0 && (r[3] | r[4] | r[5] | r[6]) != 0)
        return Format("macro chunk %d: a header without a loop count", block);
    std::size_t units = r[28];
    if (units > kChunkDataBytes / 2) return Format("macro chunk %d: %d units", block, static_cast<int>(units));
    if (auto why = ZerosFrom(r, kChunkData + 2 * units, kChunkData + kChunkDataBytes); !why.empty())
        return Format("macro chunk %d: ", block) + why;
    if (units > 0 && r[kChunkData + 2 * units - 1] == 0xFE && r[kChunkData + 2 * units - 2] != block + 1)
        return Format("macro chunk %d continues at block %d", block, r[kChunkData + 2 * units - 2]);
    chunks_[block].assign(r.begin(), r.end());
    return {};
}

std::string VirtualMouse::acceptPart(std::span<const std::uint8_t> r, Link, bool& complete) {
    complete = false;
    int block = r[2];
    int part = r[3];
    if (part > 2) return Format("chunk part %d", part);
    if (r[1] != 0x40 && !(part == 2 && r[1] == 0x0C)) return Format("chunk part %d: length byte %d", part, r[1]);
    PartialChunk& partial = partial_[block];
    if (part == 0) partial = {std::vector<std::uint8_t>(kChunkSize, 0), 0};
    if (part != partial.nextPart) {
        partial_.erase(block);
        return Format("chunk part %d of block %d arrived out of order", part, block);
    }
    // Part i carries chunk bytes 3 + 60i onwards; the last one only 8 of them.
    std::size_t from = 3 + 60 * static_cast<std::size_t>(part);
    std::size_t count = std::min<std::size_t>(60, kChunkSize - from);
    std::copy_n(r.begin() + 4, count, partial.bytes.begin() + static_cast<std::ptrdiff_t>(from));
    if (part == 2) {
        if (auto why = ZerosFrom(r, 4 + count, kPartSize); !why.empty()) {
            partial_.erase(block);
            return "chunk part 2: " + why;
        }
    }
    partial.nextPart = part + 1;
    if (part < 2) return {};
    std::vector<std::uint8_t> chunk = std::move(partial.bytes);
    partial_.erase(block);
    chunk[0] = 0x09;
    chunk[1] = static_cast<std::uint8_t>(kChunkSize);
    chunk[2] = static_cast<std::uint8_t>(block);
    complete = true;
    return acceptChunk(chunk);
}

FirmwareMacro VirtualMouse::reassemble(int firstBlock) const {
    FirmwareMacro macro;
    auto first = chunks_.find(firstBlock);
    if (first == chunks_.end()) return macro;
    const std::vector<std::uint8_t>& head = first->second;
    macro.mode = head[3];
    macro.header = {head[4], head[5], head[6]};
    macro.loopCount = head[7];
    int block = firstBlock;
    for (int hops = 0; hops < kMaxBlock; ++hops) {
        auto found = chunks_.find(block);
        if (found == chunks_.end()) return macro;
        const std::vector<std::uint8_t>& c = found->second;
        std::size_t units = c[28];
        auto unit = [&](std::size_t i) {
            return std::pair<std::uint8_t, std::uint8_t>{c[kChunkData + 2 * i], c[kChunkData + 2 * i + 1]};
        };
        int next = 0;
        for (std::size_t i = 0; i < units;) {
            auto [b0, key] = unit(i);
            if (i == units - 1 && key == 0xFE) {
                next = b0;
                break;
            }
            ++i;
            bool delayPairFollows = i < units && unit(i).second == 3 && !(i == units - 1 && unit(i).second == 0xFE);
            if (b0 == 0 && key == 0) {
                if (delayPairFollows) ++i;  // a step without a kind keeps its place, nothing more
                continue;
            }
            MacroStep step{key, static_cast<std::uint8_t>((b0 & 0x80) ? 2 : 1), b0 & 0x7F};
            if (delayPairFollows) {
                step.delay += unit(i).first * 100;
                ++i;
            }
            macro.steps.push_back(step);
        }
        if (next == 0) {
            macro.complete = true;
            return macro;
        }
        block = next;
    }
    return macro;
}

FirmwareState VirtualMouse::state() const {
    std::lock_guard lock(mutex_);
    FirmwareState s = state_;
    s.macros.clear();
    for (std::size_t i = 0; i < kButtonPositions; ++i)
        if (s.buttons[i][0] == 0x12 && s.buttons[i][2] != 0)
            s.macros[static_cast<int>(i)] = reassemble(s.buttons[i][2]);
    return s;
}

std::vector<Rejection> VirtualMouse::rejections() const {
    std::lock_guard lock(mutex_);
    return rejections_;
}

std::vector<std::vector<std::uint8_t>> VirtualMouse::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

int VirtualMouse::commandsAccepted() const {
    std::lock_guard lock(mutex_);
    return commandsAccepted_;
}

int VirtualMouse::preamblesReceived() const {
    std::lock_guard lock(mutex_);
    return preambles_;
}

void VirtualMouse::clearHistory() {
    std::lock_guard lock(mutex_);
    received_.clear();
    rejections_.clear();
    commandsAccepted_ = 0;
    preambles_ = 0;
}

void VirtualMouse::raise(Link link, DeviceEvent event) { emitEvents({{link, event}}); }

void VirtualMouse::pressDpiButton(Link link) {
    int level;
    {
        std::lock_guard lock(mutex_);
        for (int j = 1; j <= 8; ++j) {
            int candidate = (state_.dpiLevel - 1 + j) % 8;
            if (state_.dpiEnabled[static_cast<std::size_t>(candidate)]) {
                state_.dpiLevel = candidate + 1;
                break;
            }
        }
        level = state_.dpiLevel;
    }
    raise(link, DeviceEvent::Make(EventCode::DpiLevel, static_cast<std::uint16_t>(level)));
}

void VirtualMouse::setPollingInterval(Link link, int intervalMs) {
    {
        std::lock_guard lock(mutex_);
        state_.pollingInterval = intervalMs;
    }
    raise(link, DeviceEvent::Make(EventCode::PollingRate, static_cast<std::uint16_t>(intervalMs)));
}

void VirtualMouse::setLightEffect(Link link, int effect) {
    {
        std::lock_guard lock(mutex_);
        state_.lightEffect = effect & 0x0F;
    }
    raise(link, DeviceEvent::Make(EventCode::LightEffect, static_cast<std::uint16_t>((effect & 0x0F) << 4)));
}

void VirtualMouse::setBattery(Link link, int level, int status) {
    {
        std::lock_guard lock(mutex_);
        battery_ = level;
        batteryStatus_ = status;
    }
    raise(link,
          DeviceEvent::Make(EventCode::Battery, static_cast<std::uint16_t>((status & 0xFF) | (level & 0xFF) << 8)));
}

void VirtualMouse::reportBatteryLevel(Link link, int level) {
    raise(link, DeviceEvent::Make(EventCode::BatteryLevel, static_cast<std::uint16_t>(level)));
}

void VirtualMouse::setOnCable(bool on) {
    std::lock_guard lock(mutex_);
    onCable_ = on;
}

void VirtualMouse::announce(Link link) {
    int level, status;
    {
        std::lock_guard lock(mutex_);
        level = battery_;
        status = batteryStatus_;
        if (onCable_) status = level >= 100 ? BatteryStatus::Charged : BatteryStatus::Charging;
    }
    raise(link,
          DeviceEvent::Make(EventCode::Battery, static_cast<std::uint16_t>((status & 0xFF) | (level & 0xFF) << 8)));
}

}  // namespace halvern::emu
