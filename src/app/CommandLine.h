// The GUI's command line. It is read before Qt starts, so that --version and --help
// answer without a display. Qt's own generic options (-platform, -display, -style,
// -session, ...) are let through for QApplication to take; anything else unknown, and
// any word that is not an option, is a usage error.
#pragma once

#include <span>
#include <string>
#include <variant>

namespace halvern {

struct StartOptions {
    // Start in the tray: the window is built but not shown (autostart at login).
    bool hidden = false;
};

// The program ends before it starts: what to print on each stream and the exit code
// (0 for --version and --help, 2 for a usage error).
struct CommandLineExit {
    int code = 0;
    std::string out;
    std::string err;
};

using CommandLine = std::variant<StartOptions, CommandLineExit>;

// `args` without the program name. Read left to right; the first option that ends the
// program decides.
CommandLine ParseCommandLine(std::span<const char* const> args, const char* version);

std::string UsageText();

}  // namespace halvern
