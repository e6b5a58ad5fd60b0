#include "SettingsJson.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "records/Text.h"

namespace halvern::cli {

namespace {

Json MacroButtonJson(const MacroButton& m) {
    Json::Array steps;
    for (const std::string& w : m.steps) steps.push_back(Json(w));
    Json::Object o{{"macro", m.name}, {"repeat", m.repeat}};
    if (m.mode != 0) o.emplace_back("mode", m.mode);
    o.emplace_back("steps", Json(std::move(steps)));
    return Json(std::move(o));
}

bool PlainNumber(const std::string& v) {
    return !v.empty() && v.size() < 10 && v.find_first_not_of("0123456789") == std::string::npos &&
           (v == "0" || v[0] != '0');
}

std::optional<std::string> SettingText(const std::string& key, const Json& v) {
    if (const std::string* s = v.string()) return *s;
    if (const std::int64_t* n = v.integer()) return std::to_string(*n);
    if (const bool* b = v.boolean()) {
        if (key.ends_with(".enabled")) return *b ? "yes" : "no";
        return *b ? "on" : "off";
    }
    return std::nullopt;
}

std::optional<MacroButton> MacroButtonOf(const Json& v, std::string& error) {
    MacroButton m;
    const Json* name = v.find("macro");
    const Json* steps = v.find("steps");
    if (!name || !name->string() || !steps || !steps->array()) {
        error = "a macro button is {\"macro\": NAME, \"repeat\": N, \"steps\": [...]}";
        return std::nullopt;
    }
    m.name = *name->string();
    // Any number a record holds reads back; the ranges are checked when it is applied.
    for (auto [field, target] : {std::pair{"repeat", &m.repeat}, std::pair{"mode", &m.mode}}) {
        const Json* n = v.find(field);
        if (!n) continue;
        if (!n->integer() || *n->integer() < std::numeric_limits<std::int32_t>::min() ||
            *n->integer() > std::numeric_limits<std::int32_t>::max()) {
            error = std::string(field) + " is not a whole number of 32 bits";
            return std::nullopt;
        }
        *target = static_cast<int>(*n->integer());
    }
    for (const Json& w : *steps->array()) {
        if (!w.string()) {
            error = "steps are words such as \"a:down\"";
            return std::nullopt;
        }
        m.steps.push_back(*w.string());
    }
    return m;
}

}  // namespace

Json SettingsJson(const MouseProfile& p) {
    Json::Object o;
    for (const Setting& s : DescribeSettings(p)) {
        if (s.macro) o.emplace_back(s.key, MacroButtonJson(*s.macro));
        else o.emplace_back(s.key, PlainNumber(s.value) ? Json(std::stoi(s.value)) : Json(s.value));
    }
    return Json(std::move(o));
}

std::string ReadSettingsObject(const Json& document, std::vector<Setting>& assignments) {
    const Json* settings = document.find("settings");
    if (!settings) settings = &document;
    if (!settings->object()) return "expected an object of settings";
    std::vector<Setting> read;
    bool named = false;
    for (const auto& [key, value] : *settings->object()) {
        // A key given twice would leave what the first one set beside what the second
        // sets, and which one was meant is anyone's guess; "dpi.01" is "dpi.1".
        const std::string canonical = CanonicalKey(key);
        if (std::any_of(read.begin(), read.end(), [&](const Setting& s) { return CanonicalKey(s.key) == canonical; }))
            return QuoteForLine(key) + " is given twice";
        if (value.object()) {
            std::string error;
            std::optional<MacroButton> macro = MacroButtonOf(value, error);
            if (!macro) return QuoteForLine(key) + ": " + error;
            read.push_back({key, {}, std::move(macro)});
            continue;
        }
        std::optional<std::string> text = SettingText(key, value);
        if (!text) return QuoteForLine(key) + " is neither text nor a number";
        named |= canonical == "name";
        read.push_back({key, *text, std::nullopt});
    }
    if (!named) return "the settings have no name";
    assignments = std::move(read);
    return {};
}

}  // namespace halvern::cli
