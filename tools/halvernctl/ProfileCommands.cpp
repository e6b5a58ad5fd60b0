#include "ProfileCommands.h"

#include <cstdio>
#include <fstream>
#include <ostream>
#include <span>

#include "Json.h"
#include "MacroSteps.h"
#include "ProfileSettings.h"
#include "SettingsJson.h"
#include "records/MouseProfile.h"
#include "records/Text.h"
#include "storage/RecordFiles.h"

namespace halvern::cli {

namespace {

std::string Utf8Of(std::span<const char16_t> field) { return Utf16ToUtf8(ReadFixedText(field)); }

Json ColorJson(const RgbColor& c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
    return Json(std::string(text));
}

template <typename T, std::size_t N, typename F>
Json ArrayJson(const T (&values)[N], F&& each) {
    Json::Array a;
    for (const T& v : values) a.push_back(each(v));
    return Json(std::move(a));
}

template <typename T, std::size_t N>
Json IntArrayJson(const T (&values)[N]) {
    return ArrayJson(values, [](const T& v) { return Json(std::int64_t{v}); });
}

// The valid steps of a macro as [key, kind, delay]; a count beyond the array is cut to
// what the array holds.
Json ActionsJson(std::span<const MacroAction> actions) {
    Json::Array a;
    for (const MacroAction& act : actions)
        a.push_back(Json(Json::Array{Json(unsigned{act.key}), Json(unsigned{act.kind}), Json(unsigned{act.delay})}));
    return Json(std::move(a));
}

Json ButtonJson(const ButtonAssignment& b) {
    return Json(Json::Object{
        {"index", unsigned{b.index}},
        {"function", unsigned{b.function}},
        {"keyUsage", unsigned{b.keyUsage}},
        {"keyModifiers", unsigned{b.keyModifiers}},
        {"spareWord", unsigned{b.spareWord}},
        {"macroMode", b.macroMode},
        {"macroName", Utf8Of(b.macroName)},
        {"macroLoopCount", b.macroLoopCount},
        {"macroActionCount", unsigned{b.macroActionCount}},
        {"macroIndex", b.macroIndex},
        {"spareIndex", b.spareIndex},
        {"macroHeader", IntArrayJson(b.macroHeader)},
        {"macroActions", ActionsJson(std::span(b.macroActions, b.validActionCount()))},
    });
}

Json ProfileJson(const MouseProfile& p) {
    return Json(Json::Object{
        {"settings", SettingsJson(p)},
        {"name", Utf8Of(p.name)},
        {"spareText1", Utf8Of(p.spareText1)},
        {"spareText2", Utf8Of(p.spareText2)},
        {"spareA", p.spareA},
        {"spareB", p.spareB},
        {"spareC", unsigned{p.spareC}},
        {"spareD", p.spareD},
        {"spareE", p.spareE},
        {"liftOffDistance", p.liftOffDistance},
        {"spareF", p.spareF},
        {"dpiValue", IntArrayJson(p.dpiValue)},
        {"dpiValueCopy", IntArrayJson(p.dpiValueCopy)},
        {"dpiEnabled", IntArrayJson(p.dpiEnabled)},
        {"brightness", p.brightness},
        {"breathSpeed", p.breathSpeed},
        {"sleepTimer", p.sleepTimer},
        {"lightOffTimer", p.lightOffTimer},
        {"dpiStep", p.dpiStep},
        {"pollingRate", p.pollingRate},
        {"moveMode", p.moveMode},
        {"rippleControl", p.rippleControl},
        {"angleSnap", p.angleSnap},
        {"spareG", p.spareG},
        {"lightEffect", p.lightEffect},
        {"lightEffectBle", p.lightEffectBle},
        {"spareH", unsigned{p.spareH}},
        {"keyDebounce", p.keyDebounce},
        {"lightColor", ColorJson(p.lightColor)},
        {"dpiColor", ArrayJson(p.dpiColor, ColorJson)},
        {"spareColor", ArrayJson(p.spareColor, ColorJson)},
        {"buttons", ArrayJson(p.buttons, ButtonJson)},
    });
}

Json StepsJson(const MacroRecord& m) {
    Json::Array a;
    for (std::string& word : DescribeMacroSteps(m)) a.push_back(Json(std::move(word)));
    return Json(std::move(a));
}

Json MacroJson(const MacroRecord& m) {
    return Json(Json::Object{
        {"name", Utf8Of(m.name)},
        {"loopCount", m.loopCount},
        {"actionCount", m.actionCount},
        {"actions", ActionsJson(std::span(m.actions, m.validActionCount()))},
        {"steps", StepsJson(m)},
    });
}

}  // namespace

int ProfileNew(const Invocation& call) {
    if (call.args.size() != 2) return call.fail(kExitUsage, "usage: halvernctl profile new NAME OUT.pro");
    if (std::string error = CheckProfileName(call.args[0]); !error.empty()) return call.fail(kExitUsage, error);
    std::optional<std::u16string> name = Utf8ToUtf16(call.args[0]);
    auto profile = MouseProfile::Create(*name);
    if (auto error = ExportProfile(*profile, call.args[1])) return call.fail(kExitFailure, *error);
    return kExitOk;
}

int ProfileShow(const Invocation& call) {
    if (call.args.size() != 1) return call.fail(kExitUsage, "usage: halvernctl profile show FILE.pro");
    RecordRead<MouseProfile> read = ReadProfileFile(call.args[0]);
    if (!read.record) return call.fail(kExitFailure, read.error);
    call.out << ProfileJson(*read.record).dump();
    return kExitOk;
}

int MacroShow(const Invocation& call) {
    if (call.args.size() != 1) return call.fail(kExitUsage, "usage: halvernctl macro show FILE.macro");
    RecordRead<MacroRecord> read = ReadMacroFile(call.args[0]);
    if (!read.record) return call.fail(kExitFailure, read.error);
    call.out << MacroJson(*read.record).dump();
    return kExitOk;
}

namespace {

// Applies every assignment to the profile or, at the first refused one, none: the
// profile is changed only when all passed. Notes go to `out`.
int ApplyAll(const Invocation& call, MouseProfile& profile, const std::vector<Setting>& assignments) {
    auto edited = std::make_unique<MouseProfile>(profile);
    std::vector<std::string> notes;
    for (const Setting& a : assignments) {
        SettingResult r = a.macro ? ApplyMacroButton(*edited, a.key, *a.macro) : ApplySetting(*edited, a.key, a.value);
        if (!r.ok()) return call.fail(kExitUsage, r.error + "; nothing was changed");
        if (!r.note.empty()) notes.push_back(r.note);
    }
    profile = *edited;
    for (const std::string& n : notes) call.out << n << '\n';
    return kExitOk;
}

// A JSON file read whole; files larger than any settings object are refused.
std::optional<Json> ReadJsonFile(const std::string& path, std::string& error) {
    constexpr std::streamsize kMaxBytes = 1 << 20;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(kMaxBytes) + 1, '\0');
    in.read(text.data(), kMaxBytes + 1);
    if (in.gcount() > kMaxBytes) {
        error = path + ": larger than 1 MiB, not a settings file";
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    std::string why;
    std::optional<Json> doc = Json::Parse(text, why);
    if (!doc) error = path + ": not JSON: " + why;
    return doc;
}

}  // namespace

int ProfileSet(const Invocation& call) {
    constexpr const char* kUsage = "usage: halvernctl profile set FILE.pro KEY=VALUE...";
    if (call.args.size() < 2) return call.fail(kExitUsage, kUsage);
    std::vector<Setting> assignments;
    for (std::size_t i = 1; i < call.args.size(); ++i) {
        const std::string& a = call.args[i];
        std::size_t eq = a.find('=');
        if (eq == std::string::npos || eq == 0)
            return call.fail(kExitUsage, "'" + a + "' is not KEY=VALUE; " + kUsage);
        assignments.push_back({a.substr(0, eq), a.substr(eq + 1), std::nullopt});
    }
    RecordRead<MouseProfile> read = ReadProfileFile(call.args[0]);
    if (!read.record) return call.fail(kExitFailure, read.error);
    RepairRecord(*read.record);
    if (int code = ApplyAll(call, *read.record, assignments); code != kExitOk) return code;
    if (auto error = ExportProfile(*read.record, call.args[0])) return call.fail(kExitFailure, *error);
    return kExitOk;
}

int ProfileFromJson(const Invocation& call) {
    if (call.args.size() != 2) return call.fail(kExitUsage, "usage: halvernctl profile from-json IN.json OUT.pro");
    std::string error;
    std::optional<Json> doc = ReadJsonFile(call.args[0], error);
    if (!doc) return call.fail(kExitFailure, error);
    std::vector<Setting> assignments;
    if (std::string why = ReadSettingsObject(*doc, assignments); !why.empty())
        return call.fail(kExitUsage, call.args[0] + ": " + why);
    auto profile = MouseProfile::Create(u"");
    if (int code = ApplyAll(call, *profile, assignments); code != kExitOk) return code;
    if (auto failed = ExportProfile(*profile, call.args[1])) return call.fail(kExitFailure, *failed);
    return kExitOk;
}

int MacroNew(const Invocation& call) {
    if (call.args.size() < 2) return call.fail(kExitUsage, "usage: halvernctl macro new NAME OUT.macro STEP...");
    std::optional<std::u16string> name = Utf8ToUtf16(call.args[0]);
    if (!name || name->empty()) return call.fail(kExitUsage, "the macro name is empty or not valid UTF-8");
    if (HasControlCharacter(*name))
        return call.fail(kExitUsage, "the macro name holds a control character (a newline, tab or the like)");
    if (name->size() > kMacroNameUnits - 1)
        return call.fail(kExitUsage, "the macro name takes " + std::to_string(name->size()) +
                                         " UTF-16 units; the record holds " + std::to_string(kMacroNameUnits - 1));
    auto macro = std::make_unique<MacroRecord>();
    macro->setName(*name);
    if (call.args.size() < 3) return call.fail(kExitUsage, "a macro needs at least one step");
    if (std::string error = ParseMacroSteps({call.args.begin() + 2, call.args.end()}, *macro); !error.empty())
        return call.fail(kExitUsage, error);
    if (auto error = ExportMacro(*macro, call.args[1])) return call.fail(kExitFailure, *error);
    return kExitOk;
}

}  // namespace halvern::cli
