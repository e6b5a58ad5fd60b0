#include "ProfileCommands.h"

#include <ostream>

#include "Json.h"
#include "MacroSteps.h"
#include "ProfileFiles.h"
#include "ProfileSettings.h"
#include "RecordJson.h"
#include "records/MouseProfile.h"
#include "records/Text.h"
#include "storage/ProfileRules.h"
#include "storage/RecordFiles.h"

namespace halvern::cli {

namespace {

void WarnRepaired(const Invocation& call, const std::string& path, const std::vector<std::string>& what) {
    if (std::optional<std::string> line = RepairLine(QuoteForLine(path), what)) call.warn(*line);
}

void PrintNotes(const Invocation& call, const std::vector<std::string>& notes) {
    for (const std::string& n : notes) call.out << EscapeControls(n) << '\n';
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
    ProfileRead read = ReadProfileAsHalvern(call.args[0], MacroRules::Check);
    if (!read.profile) return call.fail(kExitFailure, read.error);
    WarnRepaired(call, call.args[0], read.repaired);
    call.out << ProfileJson(*read.profile).dump();
    return kExitOk;
}

int MacroShow(const Invocation& call) {
    if (call.args.size() != 1) return call.fail(kExitUsage, "usage: halvernctl macro show FILE.macro");
    MacroRead read = ReadMacroAsHalvern(call.args[0]);
    if (!read.macro) return call.fail(kExitFailure, read.error);
    if (read.repaired) WarnRepaired(call, call.args[0], {"name"});
    call.out << MacroJson(*read.macro).dump();
    return kExitOk;
}

int ProfileSet(const Invocation& call) {
    constexpr const char* kUsage = "usage: halvernctl profile set FILE.pro KEY=VALUE...";
    if (call.args.size() < 2) return call.fail(kExitUsage, kUsage);
    std::vector<Setting> assignments;
    for (std::size_t i = 1; i < call.args.size(); ++i) {
        const std::string& a = call.args[i];
        std::size_t eq = a.find('=');
        if (eq == std::string::npos || eq == 0)
            return call.fail(kExitUsage, QuoteForLine(a) + " is not KEY=VALUE; " + kUsage);
        assignments.push_back({a.substr(0, eq), a.substr(eq + 1), std::nullopt});
    }
    // Its macros are checked once the assignments are in: one may replace a macro the
    // file held that halvern would refuse.
    ProfileRead read = ReadProfileAsHalvern(call.args[0], MacroRules::Later);
    if (!read.profile) return call.fail(kExitFailure, read.error);
    WarnRepaired(call, call.args[0], read.repaired);
    EditResult edited = ApplyAssignments(*read.profile, assignments);
    if (!edited.ok()) return call.fail(kExitUsage, edited.error + "; nothing was changed");
    if (const ProfileMacroProblem bad = CheckProfileMacros(*read.profile); !bad.ok())
        return call.fail(kExitFailure, QuoteForLine(call.args[0]) + ": " + ProfileMacroProblemText(bad) +
                                           "; halvern refuses such a profile; nothing was changed");
    if (auto error = ExportProfile(*read.profile, call.args[0])) return call.fail(kExitFailure, *error);
    PrintNotes(call, edited.notes);
    return kExitOk;
}

int ProfileFromJson(const Invocation& call) {
    if (call.args.size() != 2) return call.fail(kExitUsage, "usage: halvernctl profile from-json IN.json OUT.pro");
    const std::string& in = call.args[0];
    std::string error;
    std::optional<std::string> text = ReadJsonText(in, error);
    if (!text) return call.fail(kExitFailure, error);
    std::string why;
    std::optional<Json> doc = Json::Parse(*text, why);
    if (!doc) return call.fail(kExitFailure, QuoteForLine(in) + ": not JSON: " + why);
    BuiltProfile built = BuildProfile(*doc);
    if (!built.ok()) return call.fail(built.exitCode, QuoteForLine(in) + ": " + built.error);
    WarnRepaired(call, in, built.repaired);
    if (auto failed = ExportProfile(*built.profile, call.args[1])) return call.fail(kExitFailure, *failed);
    PrintNotes(call, built.notes);
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
    if (const MacroProblem problem = CheckMacro(*macro); !problem.ok())
        return call.fail(kExitUsage, "the macro " + QuoteForLine(call.args[0]) + " " + MacroProblemText(problem));
    if (auto error = ExportMacro(*macro, call.args[1])) return call.fail(kExitFailure, *error);
    return kExitOk;
}

}  // namespace halvern::cli
