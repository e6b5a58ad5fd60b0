// halvernctl: the command-line companion of halvern. Every command prints its errors
// as one line on standard error and exits 0 on success, 1 on failure, 2 on misuse.
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "ApplyCommand.h"
#include "Cli.h"
#include "DeviceCommands.h"
#include "FocusCommands.h"
#include "ProfileCommands.h"
#include "ReportCommands.h"
#include "SettingHelp.h"
#include "StoredProfiles.h"
#include "records/Text.h"

namespace halvern::cli {

int Invocation::fail(int code, const std::string& message) const {
    warn(message);
    return code;
}

void Invocation::warn(const std::string& message) const {
    err << "halvernctl: " << EscapeControls(message) << std::endl;
}

namespace {

struct Command {
    std::vector<std::string_view> words;
    const char* synopsis;
    const char* summary;
    const char* help;  // the text of 'halvernctl COMMAND --help' after the synopsis
    int (*run)(const Invocation&);
    std::string (*more)() = nullptr;  // what follows `help`, made from the tables
};

constexpr const char* kExitText =
    "\nEXIT STATUS\n"
    "    0 success, 1 failure (no mouse, an unreadable or unwritable file, a file halvern\n"
    "    refuses), 2 usage error (unknown option, setting or value). Errors are one line on\n"
    "    standard error, text they quote with its control characters escaped.\n";

constexpr const char* kEmulatorText =
    "\nENVIRONMENT\n"
    "    HALVERN_EMULATOR=receiver|cable|ble[,...]  use the virtual mouse on those links\n"
    "    HALVERN_EMULATOR_LOG=FILE  append one hex line per buffer the virtual mouse gets\n";

std::string ProfileSetKeys() {
    return "\nKEYS\n" + SettingKeysHelp() +
           "\nEXAMPLE\n"
           "    halvernctl profile set fps.pro dpi.1=400 dpi.2=800 dpi.2.color=#ff8000 \\\n"
           "        polling=1000 button.4=key:ctrl+c button.5=media:volume-up\n";
}

// clang-format off
const Command kCommands[] = {
    {{"profile", "new"}, "profile new NAME OUT.pro", "write a default profile named NAME",
     "    Writes a profile file with every default setting and the given name. The name\n"
     "    takes at most 99 UTF-16 units (characters beyond U+FFFF, such as emoji, take\n"
     "    two) and may not hold control characters. OUT.pro is replaced only once the\n"
     "    new file is complete.\n",
     ProfileNew},
    {{"profile", "show"}, "profile show FILE.pro", "print a profile as JSON, with its settings in plain units",
     "    Prints the profile as one JSON object. Its first member, \"settings\", holds every\n"
     "    setting under the names and in the units 'profile set' takes. The other members\n"
     "    are the record's raw fields, and \"unnamedBytes\" ([OFFSET, HEX] runs) the bytes\n"
     "    no field carries, when any are not what the fields make; 'profile from-json'\n"
     "    reads it all back to the same record, byte for byte. A file halvern would repair\n"
     "    on reading is shown repaired, and one line on standard error says so; one with a\n"
     "    macro halvern refuses (too long for its button's blocks, say) is refused.\n",
     ProfileShow},
    {{"profile", "set"}, "profile set FILE.pro KEY=VALUE...", "change settings of a profile file",
     "    Changes the named settings of FILE.pro. All assignments apply together or none\n"
     "    does: an unknown key or a value out of range is one line naming it and what is\n"
     "    accepted, exit status 2, and the file is left byte for byte as it was.\n"
     "    A DPI the mouse cannot take as typed is taken to the nearest step below and the\n"
     "    step printed. Buttons are checked as the window checks them: buttons 13..18 keep\n"
     "    their function, a macro plays only on a button with macro blocks and must fit\n"
     "    them, and one of buttons 1..16 stays a left click. A file halvern would repair\n"
     "    on reading (a value out of range) is repaired, and one line says so.\n",
     ProfileSet, ProfileSetKeys},
    {{"profile", "from-json"}, "profile from-json IN.json OUT.pro", "build a profile from a settings object",
     "    Writes OUT.pro from IN.json: either the output of 'profile show', whose raw\n"
     "    fields make the record and whose \"settings\" then change it as 'profile set'\n"
     "    does, or an object of settings alone on the defaults, such as {\"name\": \"fps\",\n"
     "    \"dpi.1\": 400, \"polling\": 1000}. The keys and values are those of 'profile\n"
     "    set'; a name is required; a key given twice (\"dpi.01\" is \"dpi.1\") and an\n"
     "    unknown member are refused. IN.json is a regular file of at most 1 MiB. A\n"
     "    refused document leaves OUT.pro untouched.\n",
     ProfileFromJson},
    {{"profile", "export"}, "profile export NAME OUT.pro", "write a stored profile to a file",
     "    Writes the profile named NAME from halvern's own profile list to OUT.pro. The\n"
     "    name is matched exactly, else without regard to case. The list is read where\n"
     "    halvern keeps it (HALVERN_DATA_DIR overrides) and is never written.\n",
     ProfileExport},
    {{"profiles"}, "profiles", "list the profiles halvern keeps",
     "    Prints the names in halvern's profile list, one a line in list order, the\n"
     "    selected one marked with '* ', the others indented by two spaces. The list is\n"
     "    read where halvern keeps it (HALVERN_DATA_DIR overrides) and is never written.\n",
     Profiles},
    {{"rules", "add"}, "rules add APP PROFILE", "switch to PROFILE when APP comes to the front",
     "    Adds a rule at the end of the list, or gives the rule APP already has the new\n"
     "    profile in its place. APP is what the desktop names the window in front (its\n"
     "    app id on Wayland, its WM_CLASS on X11; 'halvernctl focused' prints it) and is\n"
     "    matched without regard to case; PROFILE is a stored profile's name. The first\n"
     "    rule that fits a window counts. CONFIG.ini is replaced at once, and a running\n"
     "    halvern follows the change.\n",
     RulesAdd},
    {{"rules", "remove"}, "rules remove APP", "remove the rule for APP",
     "    Removes the rule for APP (without regard to case); none there is a failure.\n",
     RulesRemove},
    {{"rules", "fallback"}, "rules fallback PROFILE|keep", "the profile for every other application",
     "    The profile that applications without a rule switch to, or 'keep' to leave the\n"
     "    profile as it is when they come to the front.\n",
     RulesFallback},
    {{"rules"}, "rules", "list the rules that switch profiles by the application in front",
     "    Prints whether switching is on, the rules in the order they are tried, one a\n"
     "    line as \"N. APP -> PROFILE\", and the profile for other applications ('keep'\n"
     "    when they leave it as it is). A rule whose profile no longer exists is kept and\n"
     "    marked \"(no such profile)\". Lines of CONFIG.ini that cannot be rules are left\n"
     "    out and named on standard error.\n",
     Rules},
    {{"focused"}, "focused", "print the application in front, as rules name it",
     "    Prints the desktop's way of telling the window in front (\"source: x11\",\n"
     "    \"kwin\", \"wlroots\" or \"xwayland\") and each name a rule may use for it,\n"
     "    one a line as \"application: NAME\"; none when no window is in front. A desktop\n"
     "    that tells programs nothing of it (GNOME on Wayland without X11 windows) is a\n"
     "    failure.\n",
     Focused},
    {{"macro", "new"}, "macro new NAME OUT.macro STEP...", "write a macro file from steps",
     "    Writes a macro named NAME (at most 23 UTF-16 units) with the given steps:\n"
     "        KEY:down   press KEY           KEY:up      release KEY\n"
     "        KEY:click  press and release   wait:MS     pause MS milliseconds\n"
     "    KEY is a key name as in 'profile set --help' (ctrl, shift, alt, win, rctrl, ...\n"
     "    for the modifiers) or a mouse button: left, right, middle, back, forward.\n"
     "    A wait belongs to the step before it and is 1..25000 ms, as the macro editor\n"
     "    takes it; a macro holds at most 160 steps and must fit the 4 blocks a button\n"
     "    has on the mouse (a pause above 127 ms takes twice the room of a shorter one).\n"
     "\nEXAMPLE\n"
     "    halvernctl macro new copy copy.macro ctrl:down c:click wait:20 ctrl:up\n",
     MacroNew},
    {{"macro", "show"}, "macro show FILE.macro", "print a macro file as JSON",
     "    Prints the macro as JSON: its name, its raw fields and \"steps\", the steps\n"
     "    in the words 'macro new' takes.\n",
     MacroShow},
    {{"reports"}, "reports FILE.pro --transport cable|receiver|ble [--against LAST.pro]",
     "print, one hex line per buffer, what one apply writes",
     "    Prints, one lowercase hex line per buffer, what one apply of FILE.pro writes on\n"
     "    that transport when the mouse acknowledges every report at once: a full apply,\n"
     "    or with --against only the groups that differ from LAST.pro. No mouse is used.\n",
     Reports},
    {{"devices"}, "devices", "list the mouse's links: cable, receiver, Bluetooth LE",
     "    Lists each link and whether the mouse answers on it. A device that is there\n"
     "    but may not be opened is named with the udev rule that lets you open it.\n",
     Devices},
    {{"monitor"}, "monitor [--count N] [--seconds S]", "print the mouse's events as they arrive",
     "    Prints the links as they come and go and the mouse's events, one a line, until\n"
     "    N events were printed, S seconds passed, or it is interrupted. Battery lines say\n"
     "    \"charging\" or \"charged\" while the mouse is on its cable and \"N% on battery\"\n"
     "    otherwise. The receiver's line says whether a mouse answers through it.\n",
     Monitor},
    {{"apply"}, "apply FILE.pro|--profile NAME [--full] [--against LAST.pro]",
     "apply a profile to the linked mouse",
     "    Sends the profile in FILE.pro, or the stored profile NAME, to the linked mouse\n"
     "    with the pauses and retries halvern uses; progress goes to standard error.\n"
     "    Everything is sent, starting with the preamble, unless --against names the\n"
     "    profile the mouse holds: then only the groups that differ (--full sends all).\n"
     "    The stored profiles are read, never written, and halvern's notion of the\n"
     "    selected profile does not change.\n",
     Apply},
};
// clang-format on

void PrintUsage(std::ostream& os) {
    os << "usage: halvernctl COMMAND [ARGS]\n"
          "       halvernctl COMMAND --help     the command in detail\n"
          "       halvernctl --version\n\ncommands:\n";
    for (const Command& c : kCommands) {
        std::string synopsis = c.synopsis;
        os << "  " << synopsis;
        if (synopsis.size() < 34) os << std::string(35 - synopsis.size(), ' ') << c.summary << '\n';
        else os << "\n" << std::string(37, ' ') << c.summary << '\n';
    }
}

void PrintHelp(std::ostream& os, const Command& c) {
    os << "NAME\n    halvernctl ";
    for (std::string_view w : c.words) os << w << ' ';
    os << "- " << c.summary << "\n\nSYNOPSIS\n    halvernctl " << c.synopsis << "\n\nDESCRIPTION\n"
       << c.help << (c.more ? c.more() : std::string()) << kExitText;
    if (c.run == Apply || c.run == Devices || c.run == Monitor) os << kEmulatorText;
}

bool Matches(const Command& c, const std::vector<std::string>& args) {
    if (args.size() < c.words.size()) return false;
    for (std::size_t i = 0; i < c.words.size(); ++i)
        if (args[i] != c.words[i]) return false;
    return true;
}

bool AsksForHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

}  // namespace

int Main(const std::vector<std::string>& args) {
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "halvernctl " << HALVERN_VERSION << '\n';
        return kExitOk;
    }
    // Not in the help: what the bash completion asks for, one word a line, so that it
    // offers what this halvernctl takes.
    if (args.size() == 1 && args[0] == "--list-keys") {
        for (const std::string& key : CompletionKeys()) std::cout << key << '\n';
        return kExitOk;
    }
    if (args.size() == 2 && args[0] == "--list-values") {
        for (const std::string& value : CompletionValues(args[1])) std::cout << value << '\n';
        return kExitOk;
    }
    // "help COMMAND" is "COMMAND --help".
    if (args.size() > 1 && args[0] == "help") {
        std::vector<std::string> rest(args.begin() + 1, args.end());
        rest.push_back("--help");
        return Main(rest);
    }
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(args.empty() ? std::cerr : std::cout);
        return args.empty() ? kExitUsage : kExitOk;
    }
    for (const Command& c : kCommands) {
        if (!Matches(c, args)) continue;
        Invocation call{
            std::vector<std::string>(args.begin() + static_cast<std::ptrdiff_t>(c.words.size()), args.end()), std::cout,
            std::cerr};
        if (AsksForHelp(call.args)) {
            PrintHelp(std::cout, c);
            return kExitOk;
        }
        int code = c.run(call);
        std::cout.flush();
        return code;
    }
    const Invocation top{args, std::cout, std::cerr};
    return top.fail(kExitUsage, "unknown command " + QuoteForLine(args[0] + (args.size() > 1 ? " " + args[1] : "")) +
                                    "; see 'halvernctl --help'");
}

}  // namespace halvern::cli

int main(int argc, char** argv) { return halvern::cli::Main(std::vector<std::string>(argv + 1, argv + argc)); }
