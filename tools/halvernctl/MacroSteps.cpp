#include "MacroSteps.h"

#include <charconv>
#include <memory>

#include "keys/KeyNames.h"
#include "records/Text.h"
#include "storage/ProfileRules.h"

namespace halvern::cli {

namespace {

std::string KeyText(std::uint8_t usage) {
    std::string_view name = KeyNameOf(usage);
    return name.empty() ? "code" + std::to_string(usage) : std::string(name);
}

// A key by name or as "codeN"; either way one a macro step may hold (IsMacroKey).
bool ParseKey(std::string_view text, std::uint8_t& usage) {
    if (KeyUsageOf(text, usage)) return IsMacroKey(usage);
    if (!text.starts_with("code")) return false;
    text.remove_prefix(4);
    unsigned v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v > 255) return false;
    usage = static_cast<std::uint8_t>(v);
    return IsMacroKey(usage);
}

}  // namespace

std::string ParseMacroSteps(const std::vector<std::string>& words, MacroRecord& macro) {
    std::vector<MacroAction> steps;
    for (const std::string& word : words) {
        const std::string step = "step " + QuoteForLine(word);
        std::size_t colon = word.rfind(':');
        if (colon == std::string::npos) return step + " is not KEY:down, KEY:up, KEY:click or wait:MS";
        std::string_view what = std::string_view(word).substr(0, colon);
        std::string_view how = std::string_view(word).substr(colon + 1);
        if (what == "wait") {
            unsigned ms = 0;
            auto [end, ec] = std::from_chars(how.data(), how.data() + how.size(), ms);
            if (how.empty() || ec != std::errc() || end != how.data() + how.size())
                return step + ": the wait is not a number of milliseconds";
            // The macro editor's pauses: 1..25000 ms after a step, however it is typed.
            if (ms < kMinPause || ms > kMaxPause)
                return step + ": a wait is " + std::to_string(kMinPause) + " to " + std::to_string(kMaxPause) + " ms";
            if (steps.empty()) return step + ": a wait follows a key step; the macro starts at once";
            const unsigned total = steps.back().delay + ms;
            if (total > kMaxPause)
                return step + ": the pause after one step is at most " + std::to_string(kMaxPause) + " ms";
            steps.back().delay = static_cast<std::uint16_t>(total);
            continue;
        }
        std::uint8_t key = 0;
        if (!ParseKey(what, key))
            return step + ": unknown key " + QuoteForLine(what) +
                   "; keys are a..z, 0..9, f1..f12, ctrl, shift, enter, arrow-up, kp-1, left, right, middle, ...";
        if (how != "down" && how != "up" && how != "click")
            return step + ": " + QuoteForLine(how) + " is not down, up or click";
        const std::size_t adds = how == "click" ? 2 : 1;
        // Checked before the steps are added: the record holds 160 and not one more.
        if (steps.size() + adds > kMaxMacroActions)
            return "the macro has more than " + std::to_string(kMaxMacroActions) + " steps (a click counts two)";
        if (how == "down" || how == "click") steps.push_back({key, MacroAction::Press, 0});
        if (how == "up" || how == "click") steps.push_back({key, MacroAction::Release, 0});
    }
    std::fill(std::begin(macro.actions), std::end(macro.actions), MacroAction{});
    std::copy(steps.begin(), steps.end(), macro.actions);
    macro.actionCount = static_cast<std::int32_t>(steps.size());
    return {};
}

std::vector<std::string> DescribeMacroSteps(const MacroRecord& macro) {
    std::vector<std::string> words;
    for (std::size_t i = 0; i < macro.validActionCount(); ++i) {
        const MacroAction& a = macro.actions[i];
        const char* kind = a.kind == MacroAction::Press ? "down" : a.kind == MacroAction::Release ? "up" : "none";
        words.push_back(KeyText(a.key) + ":" + kind);
        if (a.delay > 0) words.push_back("wait:" + std::to_string(a.delay));
    }
    return words;
}

}  // namespace halvern::cli
