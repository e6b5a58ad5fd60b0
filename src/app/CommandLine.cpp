#include "app/CommandLine.h"

#include <algorithm>
#include <string_view>

namespace halvern {

namespace {

// QGuiApplication's and QApplication's generic options, each with a single dash or two.
// Those that take a value take the next word, or "=value" where Qt accepts that form.
// clang-format off
constexpr std::string_view kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowtitle",
    "qwindowicon", "geometry", "title", "icon", "display", "name", "session", "style", "stylesheet",
};
// clang-format on
constexpr std::string_view kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
constexpr std::string_view kQtOptionsWithJoinedValue[] = {"style=", "stylesheet=", "qmljsdebugger="};

template <std::size_t N>
bool OneOf(std::string_view word, const std::string_view (&table)[N]) {
    return std::find(std::begin(table), std::end(table), word) != std::end(table);
}

// The option's name without its leading dashes, or empty for a word that is no option.
std::string_view OptionName(std::string_view arg) {
    if (arg.size() < 2 || arg[0] != '-') return {};
    arg.remove_prefix(arg[1] == '-' ? 2 : 1);
    return arg;
}

CommandLineExit UsageError(std::string_view message) {
    return {2, {}, "halvern: " + std::string(message) + "\n" + UsageText()};
}

}  // namespace

std::string UsageText() {
    return "usage: halvern [--hidden] [--version] [--help]\n"
           "Configures the Halvern gaming mouse on its cable, receiver and Bluetooth LE.\n"
           "\n"
           "  --hidden   start in the tray without showing the window (for starting at\n"
           "             login); without a tray the window starts minimised\n"
           "  --version  print the version and exit\n"
           "  --help     print this help and exit\n"
           "\n"
           "Only one copy runs per user: a second start brings the first one's window\n"
           "to the front and exits with status 1.\n";
}

CommandLine ParseCommandLine(std::span<const char* const> args, const char* version) {
    StartOptions start;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i] ? args[i] : "";
        if (arg == "--hidden") {
            start.hidden = true;
        } else if (arg == "--version") {
            return CommandLineExit{0, "halvern " + std::string(version) + "\n", {}};
        } else if (arg == "--help" || arg == "-h") {
            return CommandLineExit{0, UsageText(), {}};
        } else if (const std::string_view name = OptionName(arg); !name.empty() && OneOf(name, kQtFlags)) {
            continue;
        } else if (!name.empty() && OneOf(name, kQtOptionsWithValue)) {
            if (i + 1 == args.size()) return UsageError("option '" + std::string(arg) + "' needs a value");
            ++i;
        } else if (!name.empty() &&
                   std::any_of(std::begin(kQtOptionsWithJoinedValue), std::end(kQtOptionsWithJoinedValue),
                               [name](std::string_view p) { return name.starts_with(p); })) {
            continue;
        } else if (!name.empty()) {
            return UsageError("unknown option '" + std::string(arg) + "'");
        } else {
            return UsageError("unexpected argument '" + std::string(arg) + "'");
        }
    }
    return start;
}

}  // namespace halvern
