// halvernctl: the command-line companion of halvern. Every command prints its errors
// as one line on standard error and exits 0 on success, 1 on failure, 2 on misuse.
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "ApplyCommand.h"
#include "Cli.h"
#include "DeviceCommands.h"
#include "ProfileCommands.h"
#include "ReportCommands.h"
#include "StoredProfiles.h"

namespace halvern::cli {

int Invocation::fail(int code, const std::string& message) const {
    err << "halvernctl: " << message << '\n';
    return code;
}

namespace {

struct Command {
    std::vector<std::string_view> words;
    const char* synopsis;
    const char* summary;
    const char* help;  // the text of 'halvernctl COMMAND --help' after the synopsis
    int (*run)(const Invocation&);
};

constexpr const char* kExitText =
    "\nEXIT STATUS\n"
    "    0 success, 1 failure (no mouse, unreadable or unwritable file), 2 usage error\n"
    "    (unknown option, setting or value). Errors are one line on standard error.\n";

constexpr const char* kEmulatorText =
    "\nENVIRONMENT\n"
    "    HALVERN_EMULATOR=receiver|cable|ble[,...]  use the virtual mouse on those links\n"
    "    HALVERN_EMULATOR_LOG=FILE  append one hex line per buffer the virtual mouse gets\n";

const Command kCommands[] = {
    {{"profile", "new"}, "profile new NAME OUT.pro", "write a default profile named NAME",
     "    Writes a profile file with every default setting and the given name. The name\n"
     "    takes at most 99 UTF-16 units (characters beyond U+FFFF, such as emoji, take\n"
     "    two) and may not hold control characters. OUT.pro is replaced only once the\n"
     "    new file is complete.\n",
     ProfileNew},
    {{"profile", "show"}, "profile show FILE.pro", "print a profile as JSON, with its settings in plain units",
     "    Prints the profile as one JSON object. Its first member, \"settings\", holds every\n"
     "    setting under the names and in the units 'profile set' takes, so it can be read\n"
     "    back with 'profile from-json'. The other members are the record's raw fields.\n",
     ProfileShow},
    {{"profile", "set"}, "profile set FILE.pro KEY=VALUE...", "change settings of a profile file",
     "    Changes the named settings of FILE.pro. All assignments apply together or none\n"
     "    does: an unknown key or a value out of range is one line naming it and what is\n"
     "    accepted, exit status 2, and the file is left byte for byte as it was.\n"
     "\nKEYS\n"
     "    name=TEXT                 the profile's name (at most 99 UTF-16 units)\n"
     "    dpi.N=DPI                 level N (1..8): 50..18000, taken to the nearest step the\n"
     "                              mouse takes (50 apart to 10000, 100 above), which is\n"
     "                              printed when it differs; 0 leaves the level without value\n"
     "    dpi.N.enabled=yes|no      whether the DPI button stops at level N\n"
     "    dpi.N.color=#RRGGBB       the colour showing level N\n"
     "    dpi.active=N              the level in use, 1..8\n"
     "    polling=HZ                125, 250, 500 or 1000\n"
     "    light.effect=NAME|N       off, static, breathing, spectrum, wave, flow, neon,\n"
     "                              rainbow, reactive, ripple, marquee, starlight,\n"
     "                              follow-dpi, pulse, flash, twinkle, or 0..15\n"
     "    light.effect-ble=NAME|N   the effect shown over Bluetooth LE\n"
     "    light.brightness=N        1..15\n"
     "    light.speed=N             breathing speed, 1..8\n"
     "    light.color=#RRGGBB       the colour of the static and breathing effects\n"
     "    sleep=Nmin                1..15 minutes without use before the mouse sleeps\n"
     "    light-off=Mmin            0.5..15 minutes in steps of 0.5 (or 30s..900s)\n"
     "    debounce=Nms              2..30 ms in steps of 2\n"
     "    lift-off=low|high         lift-off distance\n"
     "    ripple=on|off             ripple control\n"
     "    angle-snap=on|off         angle snapping\n"
     "    button.N=FUNCTION         button N (1..18), one of:\n"
     "        off left right middle forward back dpi-cycle dpi-up dpi-down double-click\n"
     "        fire scroll-up scroll-down tilt-left tilt-right easy-aim led-loop cut copy\n"
     "        paste open save find redo undo select-all print close-window swap-windows\n"
     "        show-desktop run-command lock-pc screen-capture task-view profile-cycle\n"
     "        profile-up profile-down email calculator my-computer\n"
     "        media:player media:play-pause media:stop media:previous media:next\n"
     "        media:volume-up media:volume-down media:mute\n"
     "        browser:home browser:favorites browser:forward browser:back browser:stop\n"
     "        browser:refresh browser:search\n"
     "        key:[ctrl+][shift+][alt+][win+]KEY   a key combination; KEY is a..z, 0..9,\n"
     "            f1..f12, enter, esc, backspace, tab, space, minus, equal, leftbracket,\n"
     "            rightbracket, backslash, semicolon, apostrophe, grave, comma, dot, slash,\n"
     "            capslock, printscreen, scrolllock, pause, insert, home, pageup, delete,\n"
     "            end, pagedown, arrow-left, arrow-right, arrow-up, arrow-down, numlock,\n"
     "            kp-0..kp-9, kp-slash, kp-asterisk, kp-minus, kp-plus, kp-enter, kp-dot,\n"
     "            menu, the mouse buttons left, right, middle, back and forward, or codeN\n"
     "            for a HID usage N\n"
     "        macro:FILE.macro[:repeat=N|:mode=M]   plays the macro file's steps, N times\n"
     "            (1..255, default 1) or in repeat mode M (1 or 2); buttons 1..5, 9\n"
     "            and 10 can play a macro\n"
     "        code:N                    a raw assignment code\n"
     "\nEXAMPLE\n"
     "    halvernctl profile set fps.pro dpi.1=400 dpi.2=800 dpi.2.color=#ff8000 \\\n"
     "        polling=1000 button.4=key:ctrl+c button.5=media:volume-up\n",
     ProfileSet},
    {{"profile", "from-json"}, "profile from-json IN.json OUT.pro", "build a profile from a settings object",
     "    Writes OUT.pro from the defaults and the settings in IN.json: either the output\n"
     "    of 'profile show' (its \"settings\" member is read) or an object of settings\n"
     "    alone, such as {\"name\": \"fps\", \"dpi.1\": 400, \"polling\": 1000}. The keys\n"
     "    and values are those of 'profile set'; a name is required. Settings not\n"
     "    given keep their defaults. A refused value leaves OUT.pro untouched.\n",
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
    {{"macro", "new"}, "macro new NAME OUT.macro STEP...", "write a macro file from steps",
     "    Writes a macro named NAME (at most 23 UTF-16 units) with the given steps:\n"
     "        KEY:down   press KEY           KEY:up      release KEY\n"
     "        KEY:click  press and release   wait:MS     pause MS milliseconds\n"
     "    KEY is a key name as in 'profile set --help' (ctrl, shift, alt, win, rctrl, ...\n"
     "    for the modifiers) or a mouse button: left, right, middle, back, forward.\n"
     "    A wait belongs to the step before it; a macro holds at most 160 steps.\n"
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
    os << "- " << c.summary << "\n\nSYNOPSIS\n    halvernctl " << c.synopsis << "\n\nDESCRIPTION\n" << c.help << kExitText;
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
        Invocation call{std::vector<std::string>(args.begin() + static_cast<std::ptrdiff_t>(c.words.size()), args.end()),
                        std::cout, std::cerr};
        if (AsksForHelp(call.args)) {
            PrintHelp(std::cout, c);
            return kExitOk;
        }
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
