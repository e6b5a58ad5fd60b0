#include "ProfileCommands.h"

#include <cstdio>
#include <ostream>
#include <span>

#include "Json.h"
#include "records/MouseProfile.h"
#include "storage/RecordFiles.h"
#include "records/Text.h"

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

Json MacroJson(const MacroRecord& m) {
    return Json(Json::Object{
        {"name", Utf8Of(m.name)},
        {"loopCount", m.loopCount},
        {"actionCount", m.actionCount},
        {"actions", ActionsJson(std::span(m.actions, m.validActionCount()))},
    });
}

}  // namespace

int ProfileNew(const Invocation& call) {
    if (call.args.size() != 2) return call.fail(kExitUsage, "usage: halvernctl profile new NAME OUT.pro");
    std::optional<std::u16string> name = Utf8ToUtf16(call.args[0]);
    if (!name) return call.fail(kExitUsage, "the profile name is not valid UTF-8");
    if (name->empty()) return call.fail(kExitUsage, "the profile name is empty");
    if (name->size() > kProfileNameUnits - 1)
        return call.fail(kExitUsage, "the profile name is longer than " + std::to_string(kProfileNameUnits - 1) +
                                         " characters");
    if (name->find(u'\0') != std::u16string::npos) return call.fail(kExitUsage, "the profile name holds a NUL");
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

}  // namespace halvern::cli
