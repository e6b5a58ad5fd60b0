#include "RecordJson.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <span>
#include <string_view>

#include "MacroSteps.h"
#include "ProfileSettings.h"
#include "SettingsJson.h"
#include "records/Text.h"
#include "storage/ProfileRules.h"

namespace halvern::cli {

namespace {

// ---- The raw fields, one table for printing and reading ----

enum class Kind : std::uint8_t { I32, U8, U16, Text, Color, I32s, Colors, U8s, Buttons, Actions };

struct Field {
    std::string_view name;
    std::size_t offset;
    Kind kind;
    std::size_t count;  // units of a text, values of an array
};

using P = MouseProfile;
using B = ButtonAssignment;

// In the order `profile show` prints them.
constexpr Field kProfileFields[] = {
    {"name", offsetof(P, name), Kind::Text, kProfileNameUnits},
    {"spareText1", offsetof(P, spareText1), Kind::Text, sizeof(P::spareText1) / sizeof(char16_t)},
    {"spareText2", offsetof(P, spareText2), Kind::Text, sizeof(P::spareText2) / sizeof(char16_t)},
    {"spareA", offsetof(P, spareA), Kind::I32, 1},
    {"spareB", offsetof(P, spareB), Kind::I32, 1},
    {"spareC", offsetof(P, spareC), Kind::U8, 1},
    {"spareD", offsetof(P, spareD), Kind::I32, 1},
    {"spareE", offsetof(P, spareE), Kind::I32, 1},
    {"liftOffDistance", offsetof(P, liftOffDistance), Kind::I32, 1},
    {"spareF", offsetof(P, spareF), Kind::I32, 1},
    {"dpiValue", offsetof(P, dpiValue), Kind::I32s, kDpiLevels},
    {"dpiValueCopy", offsetof(P, dpiValueCopy), Kind::I32s, kDpiLevels},
    {"dpiEnabled", offsetof(P, dpiEnabled), Kind::I32s, kDpiLevels},
    {"brightness", offsetof(P, brightness), Kind::I32, 1},
    {"breathSpeed", offsetof(P, breathSpeed), Kind::I32, 1},
    {"sleepTimer", offsetof(P, sleepTimer), Kind::I32, 1},
    {"lightOffTimer", offsetof(P, lightOffTimer), Kind::I32, 1},
    {"dpiStep", offsetof(P, dpiStep), Kind::I32, 1},
    {"pollingRate", offsetof(P, pollingRate), Kind::I32, 1},
    {"moveMode", offsetof(P, moveMode), Kind::I32, 1},
    {"rippleControl", offsetof(P, rippleControl), Kind::I32, 1},
    {"angleSnap", offsetof(P, angleSnap), Kind::I32, 1},
    {"spareG", offsetof(P, spareG), Kind::I32, 1},
    {"lightEffect", offsetof(P, lightEffect), Kind::I32, 1},
    {"lightEffectBle", offsetof(P, lightEffectBle), Kind::I32, 1},
    {"spareH", offsetof(P, spareH), Kind::U8, 1},
    {"keyDebounce", offsetof(P, keyDebounce), Kind::I32, 1},
    {"lightColor", offsetof(P, lightColor), Kind::Color, 1},
    {"dpiColor", offsetof(P, dpiColor), Kind::Colors, kDpiLevels},
    {"spareColor", offsetof(P, spareColor), Kind::Colors, kDpiLevels},
    {"buttons", offsetof(P, buttons), Kind::Buttons, kButtonEntries},
};

constexpr Field kButtonFields[] = {
    {"index", offsetof(B, index), Kind::U8, 1},
    {"function", offsetof(B, function), Kind::U8, 1},
    {"keyUsage", offsetof(B, keyUsage), Kind::U8, 1},
    {"keyModifiers", offsetof(B, keyModifiers), Kind::U8, 1},
    {"spareWord", offsetof(B, spareWord), Kind::U16, 1},
    {"macroMode", offsetof(B, macroMode), Kind::I32, 1},
    {"macroName", offsetof(B, macroName), Kind::Text, kMacroNameUnits},
    {"macroLoopCount", offsetof(B, macroLoopCount), Kind::I32, 1},
    {"macroActionCount", offsetof(B, macroActionCount), Kind::U16, 1},
    {"macroIndex", offsetof(B, macroIndex), Kind::I32, 1},
    {"spareIndex", offsetof(B, spareIndex), Kind::I32, 1},
    {"macroHeader", offsetof(B, macroHeader), Kind::U8s, 3},
    {"macroActions", offsetof(B, macroActions), Kind::Actions, kMaxMacroActions},
};

constexpr std::string_view kUnnamedBytes = "unnamedBytes";

template <typename T>
T Load(const std::byte* at) {
    T v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

template <typename T>
void Store(std::byte* at, const T& v) {
    std::memcpy(at, &v, sizeof v);
}

// Built in place: a variant moved into a vector as it grows trips GCC's
// may-be-uninitialized analysis.
Json ListOf(std::initializer_list<std::int64_t> values) {
    Json::Array a;
    a.reserve(values.size());
    for (std::int64_t v : values) a.emplace_back(v);
    return Json(std::move(a));
}

Json StepJson(const MacroAction& step) { return ListOf({step.key, step.kind, step.delay}); }

Json ColorJson(const RgbColor& c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
    return Json(std::string(text));
}

std::string TextOf(const std::byte* at, std::size_t units) {
    std::u16string field(units, u'\0');
    std::memcpy(field.data(), at, 2 * units);
    return Utf16ToUtf8(ReadFixedText(field));
}

Json ButtonJson(const std::byte* entry);

// One field's value, `at` its first byte.
Json ValueJson(const std::byte* at, const Field& f, std::size_t actionCount = 0) {
    Json::Array a;
    switch (f.kind) {
        case Kind::I32: return Json(std::int64_t{Load<std::int32_t>(at)});
        case Kind::U8: return Json(unsigned{Load<std::uint8_t>(at)});
        case Kind::U16: return Json(unsigned{Load<std::uint16_t>(at)});
        case Kind::Text: return Json(TextOf(at, f.count));
        case Kind::Color: return ColorJson(Load<RgbColor>(at));
        case Kind::I32s:
            for (std::size_t i = 0; i < f.count; ++i) a.push_back(Json(std::int64_t{Load<std::int32_t>(at + 4 * i)}));
            break;
        case Kind::Colors:
            for (std::size_t i = 0; i < f.count; ++i) a.push_back(ColorJson(Load<RgbColor>(at + 4 * i)));
            break;
        case Kind::U8s:
            for (std::size_t i = 0; i < f.count; ++i) a.push_back(Json(unsigned{Load<std::uint8_t>(at + i)}));
            break;
        case Kind::Buttons:
            for (std::size_t i = 0; i < f.count; ++i) a.push_back(ButtonJson(at + B::kSize * i));
            break;
        case Kind::Actions:
            for (std::size_t i = 0; i < actionCount; ++i)
                a.push_back(StepJson(Load<MacroAction>(at + sizeof(MacroAction) * i)));
            break;
    }
    return Json(std::move(a));
}

Json ButtonJson(const std::byte* entry) {
    // Only the steps the count says the copy holds; any others are unnamed bytes.
    const std::size_t count =
        std::min<std::size_t>(Load<std::uint16_t>(entry + offsetof(B, macroActionCount)), kMaxMacroActions);
    Json::Object o;
    for (const Field& f : kButtonFields) o.emplace_back(std::string(f.name), ValueJson(entry + f.offset, f, count));
    return Json(std::move(o));
}

// ---- Reading them back ----

std::string Member(std::string_view path, std::string_view name) {
    return path.empty() ? std::string(name) : std::string(path) + "." + std::string(name);
}

std::string Bad(const std::string& where, std::string_view what) {
    return QuoteForLine(where) + " " + std::string(what);
}

bool ReadInteger(const Json& v, std::int64_t min, std::int64_t max, std::int64_t& out) {
    const std::int64_t* n = v.integer();
    if (!n || *n < min || *n > max) return false;
    out = *n;
    return true;
}

bool ReadColor(const Json& v, RgbColor& out) {
    const std::string* s = v.string();
    std::uint32_t rgb = 0;
    if (!s || s->size() != 7 || (*s)[0] != '#') return false;
    auto [end, ec] = std::from_chars(s->data() + 1, s->data() + 7, rgb, 16);
    if (ec != std::errc() || end != s->data() + 7) return false;
    // The fourth byte stays as it is: an unnamed byte when it is not zero.
    out.r = static_cast<std::uint8_t>(rgb >> 16);
    out.g = static_cast<std::uint8_t>(rgb >> 8);
    out.b = static_cast<std::uint8_t>(rgb);
    return true;
}

std::string ReadButton(std::byte* entry, const Json& v, const std::string& where);

// Reads one field's value, `at` its first byte.
std::string ReadValue(std::byte* at, const Field& f, const Json& v, const std::string& where) {
    std::int64_t n = 0;
    const Json::Array* array = v.array();
    switch (f.kind) {
        case Kind::I32:
            if (!ReadInteger(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(), n))
                return Bad(where, "is not a whole number of 32 bits");
            Store(at, static_cast<std::int32_t>(n));
            return {};
        case Kind::U8:
            if (!ReadInteger(v, 0, 255, n)) return Bad(where, "is not a number in 0..255");
            Store(at, static_cast<std::uint8_t>(n));
            return {};
        case Kind::U16:
            if (!ReadInteger(v, 0, 65535, n)) return Bad(where, "is not a number in 0..65535");
            Store(at, static_cast<std::uint16_t>(n));
            return {};
        case Kind::Text: {
            const std::string* s = v.string();
            const std::optional<std::u16string> text = s ? Utf8ToUtf16(*s) : std::nullopt;
            if (!text || text->size() > f.count - 1 || text->find(u'\0') != std::u16string::npos)
                return Bad(where, "is not a text of at most " + std::to_string(f.count - 1) + " UTF-16 units");
            std::u16string field(f.count, u'\0');
            std::copy(text->begin(), text->end(), field.begin());
            std::memcpy(at, field.data(), 2 * f.count);
            return {};
        }
        case Kind::Color: {
            auto c = Load<RgbColor>(at);
            if (!ReadColor(v, c)) return Bad(where, "is not a colour #rrggbb");
            Store(at, c);
            return {};
        }
        case Kind::I32s:
        case Kind::Colors:
        case Kind::U8s:
        case Kind::Buttons:
            if (!array || array->size() != f.count)
                return Bad(where, "is not a list of " + std::to_string(f.count) + " values");
            for (std::size_t i = 0; i < f.count; ++i) {
                const std::string item = where + "[" + std::to_string(i) + "]";
                const Json& e = (*array)[i];
                std::string error;
                if (f.kind == Kind::I32s) error = ReadValue(at + 4 * i, {f.name, 0, Kind::I32, 1}, e, item);
                else if (f.kind == Kind::Colors) error = ReadValue(at + 4 * i, {f.name, 0, Kind::Color, 1}, e, item);
                else if (f.kind == Kind::U8s) error = ReadValue(at + i, {f.name, 0, Kind::U8, 1}, e, item);
                else error = ReadButton(at + B::kSize * i, e, item);
                if (!error.empty()) return error;
            }
            return {};
        case Kind::Actions: {
            if (!array || array->size() > f.count)
                return Bad(where, "is not a list of at most " + std::to_string(f.count) + " steps");
            for (std::size_t i = 0; i < array->size(); ++i) {
                const Json::Array* step = (*array)[i].array();
                std::int64_t key = 0, kind = 0, delay = 0;
                if (!step || step->size() != 3 || !ReadInteger((*step)[0], 0, 255, key) ||
                    !ReadInteger((*step)[1], 0, 255, kind) || !ReadInteger((*step)[2], 0, 65535, delay))
                    return Bad(where + "[" + std::to_string(i) + "]", "is not a step [KEY, KIND, DELAY]");
                Store(at + sizeof(MacroAction) * i,
                      MacroAction{static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(kind),
                                  static_cast<std::uint16_t>(delay)});
            }
            return {};
        }
    }
    return {};
}

// Reads the members of an object into the fields of one table; each at most once, none
// unknown. `skip` names members read elsewhere.
std::string ReadMembers(std::byte* record, std::span<const Field> fields, const Json::Object& members,
                        const std::string& path, std::span<const std::string_view> skip = {}) {
    std::vector<std::string_view> seen;
    for (const auto& member : members) {
        const std::string_view name = member.first;
        const std::string where = Member(path, name);
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) return Bad(where, "is given twice");
        seen.push_back(name);
        if (std::find(skip.begin(), skip.end(), name) != skip.end()) continue;
        const auto field =
            std::find_if(fields.begin(), fields.end(), [name](const Field& f) { return f.name == name; });
        if (field == fields.end()) return Bad(where, "is not a member of a profile as 'profile show' prints it");
        if (std::string error = ReadValue(record + field->offset, *field, member.second, where); !error.empty())
            return error;
    }
    return {};
}

std::string ReadButton(std::byte* entry, const Json& v, const std::string& where) {
    const Json::Object* members = v.object();
    if (!members) return Bad(where, "is not a button object");
    return ReadMembers(entry, kButtonFields, *members, where);
}

std::string Hex(std::span<const std::byte> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    for (std::byte b : bytes) {
        s += kDigits[std::to_integer<unsigned>(b) >> 4];
        s += kDigits[std::to_integer<unsigned>(b) & 0xF];
    }
    return s;
}

std::string ReadUnnamedBytes(MouseProfile& p, const Json& v) {
    const std::string where(kUnnamedBytes);
    const Json::Array* runs = v.array();
    if (!runs) return Bad(where, "is not a list of [OFFSET, HEX]");
    const std::span<std::byte> record = p.bytes();
    for (std::size_t i = 0; i < runs->size(); ++i) {
        const Json::Array* run = (*runs)[i].array();
        std::int64_t offset = 0;
        const std::string* hex = run && run->size() == 2 ? (*run)[1].string() : nullptr;
        if (!hex || !ReadInteger((*run)[0], 0, static_cast<std::int64_t>(record.size()), offset) ||
            hex->size() % 2 != 0 || hex->size() / 2 > record.size() - static_cast<std::size_t>(offset))
            return Bad(where + "[" + std::to_string(i) + "]", "is not [OFFSET, HEX] within the record");
        for (std::size_t k = 0; k < hex->size() / 2; ++k) {
            unsigned byte = 0;
            auto [end, ec] = std::from_chars(hex->data() + 2 * k, hex->data() + 2 * k + 2, byte, 16);
            if (ec != std::errc() || end != hex->data() + 2 * k + 2)
                return Bad(where + "[" + std::to_string(i) + "]", "holds a character that is not a hex digit");
            record[static_cast<std::size_t>(offset) + k] = static_cast<std::byte>(byte);
        }
    }
    return {};
}

// The record the raw members of a `profile show` document make, before anything is
// repaired: the defaults with an empty name, each member given, then the unnamed bytes.
std::string ReadRaw(const Json::Object& document, MouseProfile& p) {
    p = *MouseProfile::Create(u"");
    static constexpr std::string_view kSkip[] = {"settings", kUnnamedBytes};
    if (std::string error = ReadMembers(reinterpret_cast<std::byte*>(&p), kProfileFields, document, "", kSkip);
        !error.empty())
        return error;
    for (const auto& [name, value] : document)
        if (name == kUnnamedBytes)
            if (std::string error = ReadUnnamedBytes(p, value); !error.empty()) return error;
    return {};
}

// The runs of bytes where `wanted` differs from what its fields alone make.
Json UnnamedBytes(const MouseProfile& wanted, const MouseProfile& made) {
    const std::span<const std::byte> a = wanted.bytes();
    const std::span<const std::byte> b = made.bytes();
    Json::Array runs;
    for (std::size_t i = 0; i < a.size();) {
        if (a[i] == b[i]) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < a.size() && a[end] != b[end]) ++end;
        Json::Array run;
        run.push_back(Json(static_cast<std::int64_t>(i)));
        run.push_back(Json(Hex(a.subspan(i, end - i))));
        runs.push_back(Json(std::move(run)));
        i = end;
    }
    return Json(std::move(runs));
}

Json StepsJson(const MacroRecord& m) {
    Json::Array a;
    for (std::string& word : DescribeMacroSteps(m)) a.push_back(Json(std::move(word)));
    return Json(std::move(a));
}

}  // namespace

Json ProfileJson(const MouseProfile& profile) {
    Json::Object o;
    o.emplace_back("settings", SettingsJson(profile));
    const auto* record = reinterpret_cast<const std::byte*>(&profile);
    for (const Field& f : kProfileFields) o.emplace_back(std::string(f.name), ValueJson(record + f.offset, f));
    // What the fields make of themselves, read back as from-json reads them.
    auto made = std::make_unique<MouseProfile>();
    if (ReadRaw(o, *made).empty() && std::memcmp(made.get(), &profile, MouseProfile::kSize) != 0)
        o.emplace_back(std::string(kUnnamedBytes), UnnamedBytes(profile, *made));
    return Json(std::move(o));
}

Json MacroJson(const MacroRecord& m) {
    Json::Array actions;
    for (std::size_t i = 0; i < m.validActionCount(); ++i) actions.push_back(StepJson(m.actions[i]));
    Json::Object o;
    o.emplace_back("name", Json(Utf16ToUtf8(m.nameText())));
    o.emplace_back("loopCount", Json(std::int64_t{m.loopCount}));
    o.emplace_back("actionCount", Json(std::int64_t{m.actionCount}));
    o.emplace_back("actions", Json(std::move(actions)));
    o.emplace_back("steps", StepsJson(m));
    return Json(std::move(o));
}

BuiltProfile BuildProfile(const Json& document) {
    BuiltProfile built;
    const auto refuse = [&built](int code, std::string error) {
        built.exitCode = code;
        built.error = std::move(error);
        return std::move(built);
    };
    const Json::Object* members = document.object();
    if (!members) return refuse(2, "expected an object of settings");
    auto profile = MouseProfile::Create(u"");
    const Json* settings = document.find("settings");
    if (settings) {
        if (std::string error = ReadRaw(*members, *profile); !error.empty()) return refuse(2, error);
        built.repaired = RepairProfile(*profile);
    } else {
        settings = &document;
    }
    std::vector<Setting> assignments;
    if (std::string error = ReadSettingsObject(*settings, assignments); !error.empty()) return refuse(2, error);
    EditResult edited = ApplyAssignments(*profile, assignments, Unchanged::Skip);
    if (!edited.ok()) return refuse(2, edited.error);
    built.notes = std::move(edited.notes);
    // A macro the settings left as the raw fields had it is still the record's.
    if (ProfileMacroProblem bad = CheckProfileMacros(*profile); !bad.ok())
        return refuse(1, ProfileMacroProblemText(bad) + "; halvern refuses such a profile");
    built.profile = std::move(profile);
    return built;
}

}  // namespace halvern::cli
