#include "ToolFuzzTargets.h"

#include <cstring>
#include <string_view>

#include "FuzzRequire.h"
#include "RecordJson.h"
#include "records/Text.h"
#include "storage/ProfileRules.h"

namespace halvern::fuzz {

namespace {

bool SameBytes(const MouseProfile& a, const MouseProfile& b) { return std::memcmp(&a, &b, MouseProfile::kSize) == 0; }

// One line, and nothing in it a terminal would act on.
bool OneLine(const std::string& message) { return !message.empty() && EscapeControls(message) == message; }

// `profile show` of a record, read back by `profile from-json`: the same record.
void RequireRoundTrip(const MouseProfile& profile) {
    std::string error;
    std::optional<cli::Json> shown = cli::Json::Parse(cli::ProfileJson(profile).dump(), error);
    Require(shown.has_value(), "what show prints is JSON");
    cli::BuiltProfile back = cli::BuildProfile(*shown);
    Require(back.ok(), "what show prints, from-json takes");
    Require(back.repaired.empty() && back.notes.empty(), "and has nothing to repair or round");
    Require(SameBytes(*back.profile, profile), "show then from-json gives the same record byte for byte");
}

}  // namespace

void SettingsJsonInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    std::optional<cli::Json> document =
        cli::Json::Parse(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!document) {
        Require(OneLine(error), "a refused document says why in one line");
        return;
    }
    cli::BuiltProfile built = cli::BuildProfile(*document);
    if (!built.ok()) {
        Require(OneLine(built.error), "a refusal is one line");
        Require(built.exitCode == 1 || built.exitCode == 2, "a refusal is a failure or a usage error");
        return;
    }
    for (const std::string& note : built.notes) Require(OneLine(note), "a note is one line");
    Require(CheckProfileMacros(*built.profile).ok(), "no macro halvern refuses is taken");
    RequireRoundTrip(*built.profile);
}

void ShownProfileInput(const std::uint8_t* data, std::size_t size) {
    auto profile = MouseProfile::Create(u"");
    std::memcpy(static_cast<void*>(profile.get()), data, std::min(size, MouseProfile::kSize));
    RepairProfile(*profile);
    // `profile show` refuses what the import refuses, as from-json then would.
    if (!CheckProfileMacros(*profile).ok()) return;
    RequireRoundTrip(*profile);
}

}  // namespace halvern::fuzz
