#include "FocusCommands.h"

#include <QCoreApplication>
#include <QTimer>

#include <ostream>

#include "StoredProfiles.h"
#include "platform/DataPaths.h"
#include "platform/FocusWatcher.h"
#include "records/Text.h"
#include "storage/FocusRules.h"

namespace halvern::cli {
namespace {

// How long `focused` waits for the desktop's first answer.
constexpr int kFocusWaitMs = 3000;

char g_appName[] = "halvernctl";
char* g_argv[] = {g_appName, nullptr};
int g_argc = 1;

std::string Line(std::u16string_view text) { return EscapeControls(Utf16ToUtf8(text)); }

// The rules as they stand, every problem of the file one warning line: what a broken
// line held is left out, and a change written now leaves it out of the file too.
FocusRules ReadRules(const Invocation& call) {
    FocusRulesRead read = ReadFocusRules(GetDataFolder());
    for (const std::string& problem : read.problems) call.warn("CONFIG.ini: " + problem);
    return std::move(read.rules);
}

int Save(const Invocation& call, const FocusRules& rules) {
    if (std::optional<std::string> error = SaveFocusRules(GetDataFolder(), rules))
        return call.fail(kExitFailure, *error);
    return kExitOk;
}

// The stored profile's own spelling of `name`, so that the rule matches it exactly.
std::optional<std::u16string> StoredName(const Invocation& call, const std::string& name, int& code) {
    StoredProfiles stored = ReadStoredProfiles();
    if (!stored.store) {
        code = call.fail(kExitFailure, stored.error);
        return std::nullopt;
    }
    std::string error;
    const MouseProfile* profile = FindStoredProfile(*stored.store, name, error);
    if (!profile) {
        code = call.fail(kExitFailure, error);
        return std::nullopt;
    }
    return profile->nameText();
}

}  // namespace

int Rules(const Invocation& call) {
    if (!call.args.empty()) return call.fail(kExitUsage, "usage: halvernctl rules");
    const FocusRules rules = ReadRules(call);
    // Without a readable store every rule is shown as it stands.
    StoredProfiles stored = ReadStoredProfiles();
    const auto exists = [&](std::u16string_view profile) {
        if (!stored.store) return true;
        std::string ignored;
        return FindStoredProfile(*stored.store, Utf16ToUtf8(profile), ignored) != nullptr;
    };
    call.out << "switching: " << (rules.enabled ? "on" : "off") << '\n';
    for (std::size_t i = 0; i < rules.rules.size(); ++i) {
        const FocusRule& rule = rules.rules[i];
        call.out << i + 1 << ". " << EscapeControls(rule.application) << " -> " << Line(rule.profile)
                 << (exists(rule.profile) ? "" : " (no such profile)") << '\n';
    }
    call.out << "other applications: ";
    if (rules.fallback) call.out << Line(*rules.fallback) << (exists(*rules.fallback) ? "" : " (no such profile)");
    else call.out << "keep";
    call.out << '\n';
    return kExitOk;
}

int RulesAdd(const Invocation& call) {
    if (call.args.size() != 2) return call.fail(kExitUsage, "usage: halvernctl rules add APP PROFILE");
    if (std::optional<std::string> refused = CheckApplicationName(call.args[0])) return call.fail(kExitUsage, *refused);
    int code = kExitOk;
    const std::optional<std::u16string> profile = StoredName(call, call.args[1], code);
    if (!profile) return code;
    FocusRules rules = ReadRules(call);
    if (std::optional<std::string> refused = rules.set(call.args[0], *profile))
        return call.fail(kExitFailure, *refused);
    return Save(call, rules);
}

int RulesRemove(const Invocation& call) {
    if (call.args.size() != 1) return call.fail(kExitUsage, "usage: halvernctl rules remove APP");
    FocusRules rules = ReadRules(call);
    if (!rules.remove(call.args[0]))
        return call.fail(kExitFailure, "no rule for " + QuoteForLine(call.args[0]) + "; 'halvernctl rules' lists them");
    return Save(call, rules);
}

int RulesFallback(const Invocation& call) {
    if (call.args.size() != 1) return call.fail(kExitUsage, "usage: halvernctl rules fallback PROFILE|keep");
    std::optional<std::u16string> fallback;
    if (call.args[0] != "keep") {
        int code = kExitOk;
        fallback = StoredName(call, call.args[0], code);
        if (!fallback) return code;
    }
    FocusRules rules = ReadRules(call);
    rules.fallback = std::move(fallback);
    return Save(call, rules);
}

int Focused(const Invocation& call) {
    if (!call.args.empty()) return call.fail(kExitUsage, "usage: halvernctl focused");
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(g_argc, g_argv);
    const FocusSource source = ChooseFocusSource(DesktopSession::FromEnvironment());
    std::unique_ptr<FocusWatcher> watcher = CreateFocusWatcher(source);
    if (!watcher) return call.fail(kExitFailure, "this desktop does not tell programs which window is in front");
    bool heard = false;
    FocusedWindow focused;
    if (!watcher->start([&](const FocusedWindow& window) {
            focused = window;
            heard = true;
            QCoreApplication::quit();
        }))
        return call.fail(kExitFailure, std::string(FocusSourceName(source)) + ": " + watcher->error().toStdString());
    QTimer::singleShot(kFocusWaitMs, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    if (!heard) focused = watcher->focused();
    call.out << "source: " << FocusSourceName(source) << '\n';
    for (const std::string& name : focused.names) call.out << "application: " << EscapeControls(name) << '\n';
    return kExitOk;
}

}  // namespace halvern::cli
