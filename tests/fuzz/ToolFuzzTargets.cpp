#include "ToolFuzzTargets.h"

#include <cstring>
#include <string_view>

#include "FuzzRequire.h"
#include "SettingsJson.h"

namespace halvern::fuzz {

namespace {

bool SameBytes(const MouseProfile& a, const MouseProfile& b) { return std::memcmp(&a, &b, MouseProfile::kSize) == 0; }

// Applies the assignments as from-json does: each either applies or leaves the profile
// exactly as it was. False at the first refused one.
bool ApplyEach(const std::vector<cli::Setting>& assignments, MouseProfile& profile) {
    for (const cli::Setting& a : assignments) {
        auto before = std::make_unique<MouseProfile>(profile);
        cli::SettingResult r = a.macro ? cli::ApplyMacroButton(profile, a.key, *a.macro) : cli::ApplySetting(profile, a.key, a.value);
        if (!r.ok()) {
            Require(!r.error.empty() && r.error.find('\n') == std::string::npos, "a refusal is one line");
            Require(SameBytes(profile, *before), "a refused setting changes nothing");
            return false;
        }
    }
    return true;
}

}  // namespace

void SettingsJsonInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    std::optional<cli::Json> document = cli::Json::Parse(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!document) {
        Require(!error.empty(), "a refused document says why");
        return;
    }
    std::vector<cli::Setting> assignments;
    if (!cli::ReadSettingsObject(*document, assignments).empty()) return;
    auto profile = MouseProfile::Create(u"");
    if (!ApplyEach(assignments, *profile)) return;

    // Whatever was taken prints as settings that read back to the same record.
    std::optional<cli::Json> shown = cli::Json::Parse(cli::SettingsJson(*profile).dump(), error);
    Require(shown.has_value(), "printed settings are JSON");
    std::vector<cli::Setting> again;
    Require(cli::ReadSettingsObject(*shown, again).empty(), "printed settings are a settings object");
    auto back = MouseProfile::Create(u"");
    Require(ApplyEach(again, *back), "printed settings are all accepted");
    Require(SameBytes(*back, *profile), "printed settings read back to the same record");
}

}  // namespace halvern::fuzz
