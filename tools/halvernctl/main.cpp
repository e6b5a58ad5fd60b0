// halvernctl: the command-line companion of halvern. Every command prints its errors
// as one line on standard error and exits 0 on success, 1 on failure, 2 on misuse.
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "Cli.h"
#include "ProfileCommands.h"
#include "ReportCommands.h"

namespace halvern::cli {

int Invocation::fail(int code, const std::string& message) const {
    err << "halvernctl: " << message << '\n';
    return code;
}

namespace {

struct Command {
    std::vector<std::string_view> words;
    const char* usage;
    int (*run)(const Invocation&);
};

const Command kCommands[] = {
    {{"profile", "new"}, "profile new NAME OUT.pro       write a default profile named NAME", ProfileNew},
    {{"profile", "show"}, "profile show FILE.pro          print every field of a profile file as JSON", ProfileShow},
    {{"macro", "show"}, "macro show FILE.macro          print a macro file as JSON", MacroShow},
    {{"reports"},
     "reports FILE.pro --transport cable|receiver|ble [--against LAST.pro]\n"
     "                                 print, one hex line per buffer, what one apply writes",
     Reports},
};

void PrintUsage(std::ostream& os) {
    os << "usage: halvernctl COMMAND [ARGS]\n\ncommands:\n";
    for (const Command& c : kCommands) os << "  " << c.usage << '\n';
}

bool Matches(const Command& c, const std::vector<std::string>& args) {
    if (args.size() < c.words.size()) return false;
    for (std::size_t i = 0; i < c.words.size(); ++i)
        if (args[i] != c.words[i]) return false;
    return true;
}

}  // namespace

int Main(const std::vector<std::string>& args) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(args.empty() ? std::cerr : std::cout);
        return args.empty() ? kExitUsage : kExitOk;
    }
    for (const Command& c : kCommands) {
        if (!Matches(c, args)) continue;
        Invocation call{std::vector<std::string>(args.begin() + static_cast<std::ptrdiff_t>(c.words.size()), args.end()),
                        std::cout, std::cerr};
        int code = c.run(call);
        std::cout.flush();
        return code;
    }
    std::cerr << "halvernctl: unknown command '" << args[0] << (args.size() > 1 ? " " + args[1] : "")
              << "'; see 'halvernctl --help'\n";
    return kExitUsage;
}

}  // namespace halvern::cli

int main(int argc, char** argv) { return halvern::cli::Main(std::vector<std::string>(argv + 1, argv + argc)); }
