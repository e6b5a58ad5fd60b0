// Every report the utility writes to the mouse, built from a MouseProfile. This is the
// only place that lays out command bytes; the send path only delivers them.
//
// All reports share one frame: byte 0 the report id (which also selects the command),
// byte 1 the total length, byte 2 = 1 (or the block number of a macro chunk), payload
// from byte 3, and where present a 16-bit byte sum of the payload, high byte first.
// Builders accept any record, including one read from a hostile file: every value is
// reduced to the byte the report carries and no table is read out of range.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "records/MouseProfile.h"

namespace halvern {

namespace ReportId {
inline constexpr std::uint8_t Sensor = 0x04;
inline constexpr std::uint8_t LightPower = 0x05;
inline constexpr std::uint8_t Polling = 0x06;
inline constexpr std::uint8_t Buttons = 0x08;
inline constexpr std::uint8_t MacroChunk = 0x09;
inline constexpr std::uint8_t Preamble = 0x0C;
}  // namespace ReportId

inline constexpr std::size_t kPreambleSize = 10;
inline constexpr std::size_t kSensorReportSize = 56;
inline constexpr std::size_t kLightPowerReportSize = 15;
inline constexpr std::size_t kPollingReportSize = 9;
inline constexpr std::size_t kButtonReportSize = 59;
inline constexpr std::size_t kMacroChunkSize = 131;
inline constexpr std::size_t kMacroPartSize = 64;
inline constexpr std::size_t kMacroPartCount = 3;
inline constexpr std::size_t kMaxReportSize = kMacroChunkSize;

// One report as written: a fixed buffer, so building a whole apply allocates nothing
// per report.
class Report {
public:
    Report() = default;
    explicit Report(std::size_t size) : size_(size <= kMaxReportSize ? size : kMaxReportSize) {}

    std::size_t size() const { return size_; }
    std::uint8_t id() const { return size_ ? bytes_[0] : 0; }
    std::span<const std::uint8_t> bytes() const { return {bytes_.data(), size_}; }
    std::span<std::uint8_t> bytes() { return {bytes_.data(), size_}; }
    std::uint8_t& operator[](std::size_t i) { return bytes_[i]; }
    std::uint8_t operator[](std::size_t i) const { return bytes_[i]; }

    friend bool operator==(const Report& a, const Report& b) {
        return a.size_ == b.size_ &&
               std::equal(a.bytes_.begin(), a.bytes_.begin() + static_cast<std::ptrdiff_t>(a.size_), b.bytes_.begin());
    }

private:
    std::array<std::uint8_t, kMaxReportSize> bytes_{};
    std::size_t size_ = 0;
};

// Sensor register value of DPI level values 0..220 (a value v reads entry v, v - 100
// or a halved offset from 200, see EncodeDpiLevel). Entries 201..220 repeat 101..120.
// clang-format off
inline constexpr std::array<std::uint8_t, 221> kDpiRegister = {
    /*   0.. 19 */   0,   1,   2,   3,   4,   5,   6,   8,   9,  10,  11,  12,  14,  15,  16,  17,  18,  19,  21,  22,
    /*  20.. 39 */  23,  24,  25,  27,  28,  29,  30,  31,  32,  34,  35,  36,  37,  38,  39,  41,  42,  43,  44,  45,
    /*  40.. 59 */  47,  48,  49,  50,  51,  52,  54,  55,  56,  57,  58,  59,  61,  62,  63,  64,  65,  67,  68,  69,
    /*  60.. 79 */  70,  71,  72,  74,  75,  76,  77,  78,  79,  81,  82,  83,  84,  85,  87,  88,  89,  90,  91,  92,
    /*  80.. 99 */  94,  95,  96,  97,  98,  99, 101, 102, 103, 104, 105, 107, 108, 109, 110, 111, 112, 114, 115, 116,
    /* 100..119 */ 117, 118, 119, 121, 122, 123, 124, 125, 127, 128, 129, 130, 131, 132, 134, 135, 136, 137, 138, 139,
    /* 120..139 */ 141, 142, 143, 144, 145, 147, 148, 149, 150, 151, 152, 154, 155, 156, 157, 158, 159, 161, 162, 163,
    /* 140..159 */ 164, 165, 167, 168, 169, 170, 171, 172, 174, 175, 176, 177, 178, 179, 181, 182, 183, 184, 185, 187,
    /* 160..179 */ 188, 189, 190, 191, 192, 194, 195, 196, 197, 198, 199, 201, 202, 203, 204, 205, 207, 208, 209, 210,
    /* 180..199 */ 211, 212, 214, 215, 216, 217, 218, 219, 221, 222, 223, 224, 225, 227, 228, 229, 230, 231, 232, 234,
    /* 200..220 */ 235, 118, 119, 121, 122, 123, 124, 125, 127, 128, 129, 130, 131, 132, 134, 135, 136, 137, 138, 139, 141,
};
// clang-format on

// The three bytes a button assignment code becomes in the button report. For code 16
// the last two are replaced by `keyModifiers` and `keyUsage`, for code 17 by 0 and the
// button's first macro block. Codes without a row are sent as 00 00 00.
struct DeviceCodeRow {
    std::uint8_t code;
    std::array<std::uint8_t, 3> bytes;
};
// clang-format off
inline constexpr DeviceCodeRow kDeviceCodes[] = {
    {  0, {0x01, 0x00, 0x00}}, {  1, {0x02, 0x00, 0x00}}, {  2, {0x03, 0x00, 0x00}},
    {  3, {0x04, 0x00, 0x00}}, {  4, {0x06, 0x00, 0x00}}, {  5, {0x05, 0x00, 0x00}},
    {  6, {0x0D, 0x00, 0x00}}, {  7, {0x0E, 0x00, 0x00}}, {  8, {0x0F, 0x00, 0x00}},
    {  9, {0x07, 0x00, 0x00}}, { 10, {0x08, 0x00, 0x00}}, { 11, {0x09, 0x00, 0x00}},
    { 12, {0x0A, 0x00, 0x00}}, { 13, {0x0B, 0x00, 0x00}}, { 14, {0x0C, 0x00, 0x00}},
    { 16, {0x11, 0x00, 0x00}}, { 17, {0x12, 0x00, 0x00}}, { 19, {0x13, 0x00, 0x00}},
    { 21, {0x2B, 0x00, 0x00}}, { 22, {0x10, 0x00, 0x09}}, { 23, {0x29, 0x00, 0x03}},
    { 32, {0x11, 0x01, 0x1B}}, { 33, {0x11, 0x01, 0x06}}, { 34, {0x11, 0x01, 0x19}},
    { 35, {0x11, 0x01, 0x12}}, { 36, {0x11, 0x01, 0x16}}, { 37, {0x11, 0x01, 0x09}},
    { 38, {0x11, 0x01, 0x1C}}, { 39, {0x11, 0x01, 0x1D}}, { 40, {0x11, 0x01, 0x04}},
    { 41, {0x11, 0x01, 0x13}}, { 42, {0x11, 0x04, 0x3D}}, { 43, {0x11, 0x04, 0x2B}},
    { 44, {0x11, 0x08, 0x07}}, { 45, {0x11, 0x08, 0x15}}, { 46, {0x11, 0x08, 0x0F}},
    { 47, {0x11, 0x01, 0x11}}, { 48, {0x11, 0x01, 0x2E}}, { 49, {0x11, 0x01, 0x2D}},
    { 50, {0x11, 0x0A, 0x16}}, { 54, {0x34, 0x00, 0x00}}, { 55, {0x35, 0x00, 0x00}},
    { 56, {0x36, 0x00, 0x00}}, { 64, {0x15, 0x00, 0x00}}, { 65, {0x18, 0x00, 0x00}},
    { 66, {0x19, 0x00, 0x00}}, { 67, {0x16, 0x00, 0x00}}, { 68, {0x17, 0x00, 0x00}},
    { 69, {0x1B, 0x00, 0x00}}, { 70, {0x1C, 0x00, 0x00}}, { 71, {0x1A, 0x00, 0x00}},
    { 80, {0x25, 0x00, 0x00}}, { 81, {0x11, 0x03, 0x12}}, { 82, {0x20, 0x00, 0x00}},
    { 83, {0x21, 0x00, 0x00}}, { 84, {0x22, 0x00, 0x00}}, { 85, {0x24, 0x00, 0x00}},
    { 86, {0x26, 0x00, 0x00}}, { 87, {0x1E, 0x00, 0x00}}, { 88, {0x1D, 0x00, 0x00}},
    { 89, {0x23, 0x00, 0x00}}, {112, {0x28, 0x00, 0x00}}, {115, {0x14, 0x00, 0x00}},
    {121, {0x3C, 0x00, 0x00}},
};
// clang-format on

// First macro block number of button entries 0..17; each macro button owns
// kMacroBlocksPerButton consecutive blocks. 0 = the button has no block range of its own.
inline constexpr std::size_t kMacroBlocksPerButton = 4;
inline constexpr std::array<std::uint8_t, kButtonPositions> macroBlockBase = {1,  5, 9, 13, 17, 0, 0, 0, 21,
                                                                              25, 0, 0, 0,  0,  0, 0, 0, 0};

// The button report's bytes for an assignment code, before the code 16/17 substitutions.
std::array<std::uint8_t, 3> DeviceCodeBytes(std::uint8_t function);

struct DpiEncoding {
    std::uint8_t sensorRegister = 0;
    std::uint8_t rangeFlag = 0;
    friend bool operator==(const DpiEncoding&, const DpiEncoding&) = default;
};
// A DPI level value as the sensor report carries it. Values below 0 are sent as 0;
// values far above the page's range use the last register.
DpiEncoding EncodeDpiLevel(std::int32_t value);

// 16-bit sum of `payload`, carries beyond 16 bits dropped.
std::uint16_t ReportChecksum(std::span<const std::uint8_t> payload);

Report BuildPreamble();
Report BuildSensorReport(const MouseProfile& profile);
Report BuildLightPowerReport(const MouseProfile& profile);
Report BuildPollingReport(const MouseProfile& profile);
// The report interval in milliseconds of a polling rate index 0..3 (125, 250, 500,
// 1000 Hz): 8, 4, 2, 1; nullopt out of range.
constexpr std::optional<std::uint8_t> PollingIntervalMs(int pollingRate) {
    constexpr std::uint8_t kInterval[] = {8, 4, 2, 1};
    if (pollingRate < 0 || pollingRate > 3) return std::nullopt;
    return kInterval[pollingRate];
}
Report BuildButtonReport(const MouseProfile& profile);

// One macro step in the chunk's data area: 2 bytes, or 4 with a long delay (above
// 127 ms); a step of kind 0 reserves 6 zero bytes, or 8 ending in the long-delay pair.
// Writes into `out` (at least 8 bytes) and returns the bytes used.
std::size_t EncodeMacroAction(const MacroAction& action, std::span<std::uint8_t> out);

// A button's macro as the chunks that carry it, in sending order, the first with block
// `firstBlock`. A chunk that does not hold the rest of the macro ends with the pair
// (next block, 0xFE). Steps beyond 160 are never read. At most `maxBlocks` chunks are
// built: a macro that needs more is cut after the steps they hold, and its last chunk
// ends the macro there, so the mouse never reads on into a block it does not own.
std::vector<Report> BuildMacroChunks(const ButtonAssignment& button, std::uint8_t firstBlock,
                                     std::size_t maxBlocks = SIZE_MAX);

// How a macro's steps fall into those chunks: the blocks the whole macro takes, and how
// many of its first steps the blocks of one button carry. This is the bound of every
// macro the mouse is to play, wherever it comes from (the editor, a file, a command).
struct MacroFit {
    std::size_t blocks = 0;        // chunks the whole macro takes; 1 for an empty macro
    std::size_t stepsThatFit = 0;  // leading steps kMacroBlocksPerButton chunks carry
    std::size_t steps = 0;         // steps looked at
    bool fits() const { return blocks <= kMacroBlocksPerButton; }
};
MacroFit FitMacro(std::span<const MacroAction> steps);

// The two HID links carry a macro chunk as three 64-byte parts. Every part has length
// byte 0x40, except the third on the receiver, which carries 0x0C.
enum class SplitLink { Driver, Receiver };
std::array<Report, kMacroPartCount> SplitMacroChunk(std::span<const std::uint8_t> chunk, SplitLink link);

}  // namespace halvern
