#include "records/Settings.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "records/LightEffects.h"

namespace halvern {

namespace {

constexpr std::int32_t kMinDpi = 50;
constexpr std::int32_t kMaxDpi = 18000;
// Polling index to Hz, in the record's order.
constexpr int kPollingHz[] = {125, 250, 500, 1000};

template <typename Profile>
auto IntFieldOf(Profile& p, const SettingRow& row, std::size_t level) -> decltype(&p.dpiStep) {
    if (row.scalar) return &(p.*row.scalar);
    if (row.levels && level < kDpiLevels) return &(p.*row.levels)[level];
    return nullptr;
}

template <typename Profile>
auto ColorFieldOf(Profile& p, const SettingRow& row, std::size_t level) -> decltype(&p.lightColor) {
    if (row.color) return &(p.*row.color);
    if (row.levelColors && level < kDpiLevels) return &(p.*row.levelColors)[level];
    return nullptr;
}

std::string Text(std::int32_t v) { return std::to_string(v); }

std::optional<std::int32_t> ParseInt(std::string_view text) {
    std::int32_t v = 0;
    if (text.empty()) return std::nullopt;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

bool CutSuffix(std::string_view& text, std::string_view suffix) {
    if (!text.ends_with(suffix)) return false;
    text.remove_suffix(suffix.size());
    return true;
}

std::string ColorText(const RgbColor& c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
    return text;
}

// Half minutes as "0.5min", "1min", "1.5min".
std::string HalfMinutesText(std::int32_t halves) { return Text(halves / 2) + (halves % 2 ? ".5" : "") + "min"; }

std::optional<std::int32_t> ParseHalfMinutes(std::string_view text) {
    if (CutSuffix(text, "s")) {
        std::optional<std::int32_t> seconds = ParseInt(text);
        if (!seconds || *seconds % 30 != 0) return std::nullopt;
        return *seconds / 30;
    }
    CutSuffix(text, "min");
    const bool half = CutSuffix(text, ".5");
    CutSuffix(text, ".0");
    std::optional<std::int32_t> whole = ParseInt(text);
    if (!whole || *whole < 0 || *whole > 1000) return std::nullopt;
    return *whole * 2 + (half ? 1 : 0);
}

SettingInput Refused(SettingInput::Problem problem) {
    SettingInput in;
    in.problem = problem;
    return in;
}

SettingInput Value(std::int32_t v) {
    SettingInput in;
    in.value = v;
    return in;
}

// A number in the record's units, refused outside the row's range.
SettingInput InRange(const SettingRow& row, std::optional<std::int32_t> v) {
    if (!v) return Refused(SettingInput::Problem::NotValid);
    if (!row.range.contains(*v)) return Refused(SettingInput::Problem::OutOfRange);
    return Value(*v);
}

SettingInput ParseDpi(std::string_view text) {
    std::optional<std::int32_t> dpi = ParseInt(text);
    if (!dpi) return Refused(SettingInput::Problem::NotValid);
    if (*dpi == 0) return Value(0);
    if (*dpi < kMinDpi || *dpi > kMaxDpi) return Refused(SettingInput::Problem::OutOfRange);
    SettingInput in = Value(ValueFromDpi(*dpi));
    if (DpiFromValue(in.value) != *dpi) in.roundedDpi = DpiFromValue(in.value);
    return in;
}

SettingInput ParseSwitch(const SettingRow& row, std::string_view text) {
    for (std::int32_t v = 0; v < 2; ++v)
        if (text == row.words[static_cast<std::size_t>(v)]) return Value(v);
    return Refused(SettingInput::Problem::NotValid);
}

SettingInput ParsePolling(std::string_view text) {
    CutSuffix(text, "Hz");
    std::optional<std::int32_t> hz = ParseInt(text);
    for (std::int32_t i = 0; hz && i < 4; ++i)
        if (kPollingHz[i] == *hz) return Value(i);
    return Refused(SettingInput::Problem::NotValid);
}

SettingInput ParseLightEffect(std::string_view text) {
    const LightEffectRow* row = FindLightEffectByName(text);
    if (!row)
        if (std::optional<std::int32_t> n = ParseInt(text)) row = FindLightEffect(*n);
    if (!row) return Refused(SettingInput::Problem::NotValid);
    return Value(row->index);
}

SettingInput ParseColor(std::string_view text) {
    std::uint32_t rgb = 0;
    if (text.size() != 7 || text[0] != '#') return Refused(SettingInput::Problem::NotValid);
    auto [end, ec] = std::from_chars(text.data() + 1, text.data() + 7, rgb, 16);
    if (ec != std::errc() || end != text.data() + 7) return Refused(SettingInput::Problem::NotValid);
    SettingInput in;
    in.color = RgbColor::fromArgb(rgb);
    return in;
}

SettingInput ParseTwoMs(const SettingRow& row, std::string_view text) {
    CutSuffix(text, "ms");
    std::optional<std::int32_t> ms = ParseInt(text);
    if (!ms || *ms % 2 != 0) return Refused(SettingInput::Problem::NotValid);
    return InRange(row, *ms / 2);
}

bool Clamp(std::int32_t& value, SettingRange range) {
    const std::int32_t clamped = std::clamp(value, range.min, range.max);
    if (clamped == value) return false;
    value = clamped;
    return true;
}

bool Opaque(RgbColor& color) {
    if (color.zero == 0) return false;
    color.zero = 0;
    return true;
}

}  // namespace

const SettingRow& Setting(SettingId id) {
    // The table is in id order; a test keeps it so.
    return kSettings[static_cast<std::size_t>(id)];
}

const SettingRow* FindSettingByCliName(std::string_view name) {
    for (const SettingRow& row : kSettings)
        if (row.cliName == name) return &row;
    return nullptr;
}

std::int32_t* IntField(MouseProfile& p, const SettingRow& row, std::size_t level) { return IntFieldOf(p, row, level); }
const std::int32_t* IntField(const MouseProfile& p, const SettingRow& row, std::size_t level) {
    return IntFieldOf(p, row, level);
}
RgbColor* ColorField(MouseProfile& p, const SettingRow& row, std::size_t level) { return ColorFieldOf(p, row, level); }
const RgbColor* ColorField(const MouseProfile& p, const SettingRow& row, std::size_t level) {
    return ColorFieldOf(p, row, level);
}

bool BringIntoRange(MouseProfile& p) {
    bool changed = false;
    for (const SettingRow& row : kSettings) {
        for (std::size_t level = 0; level < ValueCount(row); ++level) {
            if (std::int32_t* v = IntField(p, row, level)) changed |= Clamp(*v, row.range);
            if (RgbColor* c = ColorField(p, row, level)) changed |= Opaque(*c);
        }
    }
    // The levels' copies are sent with them and take the same values.
    for (std::int32_t& copy : p.dpiValueCopy) changed |= Clamp(copy, Setting(SettingId::DpiValue).range);
    return changed;
}

std::string SettingText(const SettingRow& row, const MouseProfile& p, std::size_t level) {
    if (const RgbColor* c = ColorField(p, row, level)) return ColorText(*c);
    const std::int32_t* field = IntField(p, row, level);
    if (!field) return {};
    const std::int32_t v = *field;
    switch (row.unit) {
        case SettingUnit::Count: return Text(v);
        case SettingUnit::Dpi: return Text(v == 0 ? 0 : DpiFromValue(v));
        case SettingUnit::Level: return Text(v + 1);
        case SettingUnit::PollingHz: return v >= 0 && v < 4 ? Text(kPollingHz[v]) : "index " + Text(v);
        case SettingUnit::Minutes: return Text(v) + "min";
        case SettingUnit::HalfMinutes: return HalfMinutesText(v);
        case SettingUnit::TwoMs: return Text(v * 2) + "ms";
        case SettingUnit::Switch:
            return v == 0 || v == 1 ? std::string(row.words[static_cast<std::size_t>(v)]) : Text(v);
        case SettingUnit::LightEffect: {
            const LightEffectRow* effect = FindLightEffect(v);
            return effect ? std::string(effect->name) : Text(v);
        }
        case SettingUnit::Color: break;
    }
    return Text(v);
}

SettingInput ParseSettingText(const SettingRow& row, std::string_view text) {
    switch (row.unit) {
        case SettingUnit::Count: return InRange(row, ParseInt(text));
        case SettingUnit::Dpi: return ParseDpi(text);
        case SettingUnit::Level: {
            std::optional<std::int32_t> n = ParseInt(text);
            return InRange(row, n ? std::optional<std::int32_t>(*n - 1) : std::nullopt);
        }
        case SettingUnit::PollingHz: return ParsePolling(text);
        case SettingUnit::Minutes: CutSuffix(text, "min"); return InRange(row, ParseInt(text));
        case SettingUnit::HalfMinutes: return InRange(row, ParseHalfMinutes(text));
        case SettingUnit::TwoMs: return ParseTwoMs(row, text);
        case SettingUnit::Switch: return ParseSwitch(row, text);
        case SettingUnit::LightEffect: return ParseLightEffect(text);
        case SettingUnit::Color: return ParseColor(text);
    }
    return Refused(SettingInput::Problem::NotValid);
}

std::string AcceptedText(const SettingRow& row) {
    switch (row.unit) {
        case SettingUnit::Count: return Text(row.range.min) + ".." + Text(row.range.max);
        case SettingUnit::Dpi: return "50..18000, or 0 for a level without a value";
        case SettingUnit::Level: return Text(row.range.min + 1) + ".." + Text(row.range.max + 1);
        case SettingUnit::PollingHz: return "125, 250, 500 or 1000 (Hz)";
        case SettingUnit::Minutes: return Text(row.range.min) + ".." + Text(row.range.max) + "min";
        case SettingUnit::HalfMinutes: return "0.5..15min in steps of 0.5 (or 30s..900s)";
        case SettingUnit::TwoMs: return "2..30ms in steps of 2";
        case SettingUnit::Switch: return std::string(row.words[1]) + " or " + std::string(row.words[0]);
        case SettingUnit::LightEffect: {
            std::string names;
            for (const LightEffectRow& r : kLightEffects) names += (names.empty() ? "" : ", ") + std::string(r.name);
            return names + " or 0..15";
        }
        case SettingUnit::Color: return "#rrggbb";
    }
    return {};
}

void SetValue(MouseProfile& p, SettingId id, std::int32_t value, std::size_t level) {
    if (std::int32_t* field = IntField(p, Setting(id), level)) *field = value;
}

void StoreSetting(MouseProfile& p, const SettingRow& row, std::size_t level, const SettingInput& input) {
    if (std::int32_t* field = IntField(p, row, level)) *field = input.value;
    if (RgbColor* color = ColorField(p, row, level)) *color = input.color;
}

}  // namespace halvern
