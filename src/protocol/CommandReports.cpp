#include "protocol/CommandReports.h"

#include <cstring>

namespace halvern {

namespace {

// Profile fields are int32 and may hold anything a file held; the reports carry bytes.
// Arithmetic on them is done unsigned so that out-of-range values wrap instead of
// overflowing.
constexpr std::uint8_t Low8(std::int64_t v) { return static_cast<std::uint8_t>(v); }
constexpr std::uint8_t Low8(std::uint32_t v) { return static_cast<std::uint8_t>(v); }
constexpr std::uint32_t Bits(std::int32_t v) { return static_cast<std::uint32_t>(v); }

constexpr std::array<std::array<std::uint8_t, 3>, 256> MakeDeviceCodeLookup() {
    std::array<std::array<std::uint8_t, 3>, 256> lookup{};
    for (const DeviceCodeRow& row : kDeviceCodes) lookup[row.code] = row.bytes;
    return lookup;
}
constexpr auto kDeviceCodeLookup = MakeDeviceCodeLookup();

// Checksums a report's payload from byte 3 up to `at` and stores it at at, at + 1.
void PutChecksum(Report& report, std::size_t at) {
    std::uint16_t sum = ReportChecksum(report.bytes().subspan(3, at - 3));
    report[at] = static_cast<std::uint8_t>(sum >> 8);
    report[at + 1] = static_cast<std::uint8_t>(sum);
}

Report Framed(std::uint8_t id, std::size_t size, std::uint8_t third = 1) {
    Report r(size);
    r[0] = id;
    r[1] = static_cast<std::uint8_t>(size);
    r[2] = third;
    return r;
}

// Macro chunk layout.
constexpr std::size_t kChunkUnitsAt = 28;
constexpr std::size_t kChunkDataAt = 29;
constexpr std::size_t kChunkChecksumAt = 129;
// Actions fill the 100-byte data area up to 98 bytes, so that a continuation pair
// always fits behind them.
constexpr std::size_t kChunkActionBytes = 98;
constexpr std::uint8_t kContinuationMark = 0xFE;
constexpr std::uint8_t kLongDelayMark = 3;

void PutMacroHeader(Report& chunk, const ButtonAssignment& button) {
    chunk[3] = Low8(std::int64_t{button.macroMode});
    chunk[4] = button.macroHeader[0];
    chunk[5] = button.macroHeader[1];
    chunk[6] = button.macroHeader[2];
    std::uint8_t loops = Low8(std::int64_t{button.macroLoopCount});
    chunk[7] = loops == 0 ? 1 : loops;
}

// The steps one chunk carries, from step `from` up to `end`, and whether the rest
// follows in another chunk. Actions fill the data area up to kChunkActionBytes, so the
// continuation pair always fits behind them. The one rule the builder and the fit of a
// macro both follow.
struct ChunkSpan {
    std::size_t end = 0;
    bool continued = false;
};

ChunkSpan NextChunk(std::span<const MacroAction> steps, std::size_t from) {
    std::size_t used = 0;
    std::array<std::uint8_t, 8> scratch{};
    for (std::size_t i = from; i < steps.size(); ++i) {
        const std::size_t size = EncodeMacroAction(steps[i], scratch);
        if (used + size > kChunkActionBytes) return {i, true};
        used += size;
    }
    return {steps.size(), false};
}

}  // namespace

std::array<std::uint8_t, 3> DeviceCodeBytes(std::uint8_t function) { return kDeviceCodeLookup[function]; }

DpiEncoding EncodeDpiLevel(std::int32_t v) {
    if (v <= 0) return {0, 0};
    if (v <= 200) return {kDpiRegister[static_cast<std::size_t>(v)], 0};
    if (v <= 220) return {kDpiRegister[static_cast<std::size_t>(v)], 1};
    if (v <= 300) return {kDpiRegister[static_cast<std::size_t>(v - 100)], 0};
    // Past 341 the halved offset would leave the table; such values come only from
    // foreign files, and the highest register is the closest the sensor has.
    std::size_t index = std::min<std::size_t>(200 + static_cast<std::size_t>(v - 300) / 2, kDpiRegister.size() - 1);
    return {kDpiRegister[index], 1};
}

std::uint16_t ReportChecksum(std::span<const std::uint8_t> payload) {
    std::uint16_t sum = 0;
    for (std::uint8_t b : payload) sum = static_cast<std::uint16_t>(sum + b);
    return sum;
}

Report BuildPreamble() {
    Report r = Framed(ReportId::Preamble, kPreambleSize);
    r[3] = 0xFE;
    r[4] = 0x01;
    r[5] = 0xFE;
    return r;
}

Report BuildSensorReport(const MouseProfile& p) {
    Report r = Framed(ReportId::Sensor, kSensorReportSize);
    r[3] = Low8(std::int64_t{p.angleSnap});
    r[4] = Low8(std::int64_t{p.rippleControl});
    std::uint8_t enabledMask = 0;
    std::uint8_t highRangeMask = 0;
    for (std::size_t k = 0; k < kDpiLevels; ++k) {
        if (p.dpiEnabled[k] == 1) enabledMask |= static_cast<std::uint8_t>(1u << k);
        if (p.dpiValue[k] > 220) highRangeMask |= static_cast<std::uint8_t>(1u << k);
        DpiEncoding level = EncodeDpiLevel(p.dpiValue[k]);
        r[8 + k] = level.sensorRegister;
        r[16 + k] = level.rangeFlag;
        r[25 + 3 * k] = p.dpiColor[k].r;
        r[26 + 3 * k] = p.dpiColor[k].g;
        r[27 + 3 * k] = p.dpiColor[k].b;
    }
    r[5] = enabledMask;
    r[6] = highRangeMask;
    r[24] = Low8(Bits(p.dpiStep) + 1u);
    r[49] = 1;
    PutChecksum(r, 50);
    return r;
}

Report BuildLightPowerReport(const MouseProfile& p) {
    Report r = Framed(ReportId::LightPower, kLightPowerReportSize);
    r[3] = Low8(Bits(p.lightEffect) * 16u);
    r[4] = static_cast<std::uint8_t>((Low8(std::int64_t{p.sleepTimer}) & 0xF0) | Low8(9u - Bits(p.breathSpeed)));
    std::uint32_t brightness = (p.lightEffect == 1 || p.lightEffect == 9) ? Bits(p.brightness) : 8u;
    r[5] = Low8((Bits(p.sleepTimer) * 16u) | brightness);
    r[6] = p.lightColor.r;
    r[7] = p.lightColor.g;
    r[8] = p.lightColor.b;
    r[9] = Low8(std::int64_t{p.lightOffTimer});
    r[10] = Low8(std::int64_t{p.keyDebounce});
    PutChecksum(r, 11);
    return r;
}

Report BuildPollingReport(const MouseProfile& p) {
    Report r = Framed(ReportId::Polling, kPollingReportSize);
    // The report carries the interval in milliseconds, not the rate; a rate out of
    // range is sent as 500 Hz.
    const std::uint8_t interval = PollingIntervalMs(p.pollingRate).value_or(2);
    r[3] = interval;
    r[4] = static_cast<std::uint8_t>(~interval);
    return r;
}

Report BuildButtonReport(const MouseProfile& p) {
    Report r = Framed(ReportId::Buttons, kButtonReportSize);
    for (std::size_t i = 0; i < kButtonPositions; ++i) {
        const ButtonAssignment& b = p.buttons[i];
        std::array<std::uint8_t, 3> code = DeviceCodeBytes(b.function);
        if (b.function == ButtonFunction::KeyCombination) {
            code[1] = b.keyModifiers;
            code[2] = b.keyUsage;
        } else if (b.function == ButtonFunction::Macro) {
            code[1] = 0;
            code[2] = macroBlockBase[i];
        }
        std::memcpy(&r[3 + 3 * i], code.data(), code.size());
    }
    PutChecksum(r, 57);
    return r;
}

std::size_t EncodeMacroAction(const MacroAction& action, std::span<std::uint8_t> out) {
    const bool longDelay = action.delay > 127;
    const std::uint8_t delayHundreds = static_cast<std::uint8_t>(action.delay / 100);
    if (action.kind == MacroAction::None) {
        // Never made by the editor; a foreign file may hold it. The space is kept so
        // that the unit count the mouse reads stays in step with the bytes.
        std::size_t size = longDelay ? 8 : 6;
        std::fill_n(out.begin(), size, std::uint8_t{0});
        if (longDelay) {
            out[6] = delayHundreds;
            out[7] = kLongDelayMark;
        }
        return size;
    }
    std::uint8_t first = static_cast<std::uint8_t>(std::max<int>(longDelay ? action.delay % 100 : action.delay, 2));
    if (action.kind != MacroAction::Press) first |= 0x80;
    out[0] = first;
    out[1] = action.key;
    if (!longDelay) return 2;
    out[2] = delayHundreds;
    out[3] = kLongDelayMark;
    return 4;
}

std::vector<Report> BuildMacroChunks(const ButtonAssignment& button, std::uint8_t firstBlock, std::size_t maxBlocks) {
    std::vector<Report> chunks;
    const std::span<const MacroAction> steps(button.macroActions, button.validActionCount());
    std::size_t next = 0;
    std::uint8_t block = firstBlock;
    for (;;) {
        Report chunk = Framed(ReportId::MacroChunk, kMacroChunkSize, block);
        if (next == 0) PutMacroHeader(chunk, button);
        const ChunkSpan span = NextChunk(steps, next);
        const bool last = !span.continued || chunks.size() + 1 >= maxBlocks;
        std::span<std::uint8_t> data = chunk.bytes().subspan(kChunkDataAt, kChunkChecksumAt - kChunkDataAt);
        std::size_t used = 0;
        for (; next < span.end; ++next) {
            std::array<std::uint8_t, 8> encoded{};
            const std::size_t size = EncodeMacroAction(steps[next], encoded);
            std::copy_n(encoded.begin(), size, data.begin() + static_cast<std::ptrdiff_t>(used));
            used += size;
        }
        if (!last) {
            data[used] = static_cast<std::uint8_t>(block + 1);
            data[used + 1] = kContinuationMark;
            used += 2;
        }
        chunk[kChunkUnitsAt] = static_cast<std::uint8_t>(used / 2);
        PutChecksum(chunk, kChunkChecksumAt);
        chunks.push_back(chunk);
        if (last) break;
        ++block;
    }
    return chunks;
}

MacroFit FitMacro(std::span<const MacroAction> steps) {
    MacroFit fit;
    fit.steps = steps.size();
    for (std::size_t next = 0;;) {
        const ChunkSpan span = NextChunk(steps, next);
        if (++fit.blocks <= kMacroBlocksPerButton) fit.stepsThatFit = span.end;
        if (!span.continued) break;
        next = span.end;
    }
    return fit;
}

std::array<Report, kMacroPartCount> SplitMacroChunk(std::span<const std::uint8_t> chunk, SplitLink link) {
    constexpr std::size_t kPartPayload = kMacroPartSize - 4;
    std::array<Report, kMacroPartCount> parts;
    for (std::size_t i = 0; i < kMacroPartCount; ++i) {
        Report& part = parts[i];
        part = Report(kMacroPartSize);
        part[0] = ReportId::MacroChunk;
        part[1] = (link == SplitLink::Receiver && i == kMacroPartCount - 1) ? 0x0C : 0x40;
        part[2] = chunk.size() > 2 ? chunk[2] : 0;
        part[3] = static_cast<std::uint8_t>(i);
        for (std::size_t j = 0; j < kPartPayload; ++j) {
            std::size_t from = 3 + kPartPayload * i + j;
            if (from < chunk.size()) part[4 + j] = chunk[from];
        }
    }
    return parts;
}

}  // namespace halvern
