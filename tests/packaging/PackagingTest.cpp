// What an install adds must describe the program it installs: the manual pages and the
// shell completion know every command and option the binaries take, the metainfo
// offers the program for every device the udev rule opens, and an install staged under
// a folder of its own runs from there with its own skin and libraries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/RunProcess.h"
#include "support/TempDir.h"

using halvern::test::RunProcess;

namespace {

const std::filesystem::path kSource = HALVERN_SOURCE_DIR;

std::string ReadText(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The text of a manual page without roff's escapes for dashes, fonts and spaces.
std::string PlainRoff(std::string text) {
    text = std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    text = std::regex_replace(text, std::regex(R"(\\ )"), " ");
    return text;
}

// The first line of every .TP item, with its macro and quotes taken off.
std::vector<std::string> ManItems(const std::filesystem::path& page) {
    std::vector<std::string> items;
    std::istringstream in(PlainRoff(ReadText(page)));
    bool next = false;
    for (std::string line; std::getline(in, line);) {
        if (next) {
            line = std::regex_replace(line, std::regex(R"(^\.(B|I|BI|BR|IR)\s+)"), "");
            line.erase(std::remove(line.begin(), line.end(), '"'), line.end());
            items.push_back(std::regex_replace(line, std::regex(R"(\s+)"), " "));
        }
        next = line == ".TP";
    }
    return items;
}

bool HasItemStartingWith(const std::vector<std::string>& items, const std::string& start) {
    for (const std::string& item : items)
        if (item.rfind(start + " ", 0) == 0 || item == start) return true;
    return false;
}

// The command words of each command 'halvernctl --help' lists ("profile new", "devices").
std::vector<std::string> HalvernctlCommands() {
    const auto help = RunProcess(HALVERNCTL_PATH, {"--help"}, {});
    std::vector<std::string> commands;
    std::istringstream in(help.out);
    bool listing = false;
    for (std::string line; std::getline(in, line);) {
        if (line == "commands:") listing = true;
        if (!listing || line.rfind("  ", 0) != 0 || line.rfind("   ", 0) == 0) continue;
        // The synopsis, without the summary that may follow it after a run of spaces.
        line = line.substr(2);
        std::istringstream words(line.substr(0, line.find("  ")));
        std::string command;
        for (std::string w; words >> w && std::regex_match(w, std::regex("[a-z][a-z-]*"));)
            command += (command.empty() ? "" : " ") + w;
        if (!command.empty()) commands.push_back(command);
    }
    return commands;
}

TEST(Packaging, TheManualPageOfHalvernctlDescribesEveryCommandItHas) {
    const std::vector<std::string> commands = HalvernctlCommands();
    ASSERT_GE(commands.size(), 10u);
    const std::vector<std::string> items = ManItems(kSource / "packaging/man/halvernctl.1");
    for (const std::string& command : commands)
        EXPECT_TRUE(HasItemStartingWith(items, command)) << "not in halvernctl.1: " << command;
}

TEST(Packaging, TheBashCompletionOffersEveryCommandOfHalvernctl) {
    const std::string completion = ReadText(kSource / "packaging/completion/halvernctl");
    std::smatch top;
    ASSERT_TRUE(std::regex_search(completion, top, std::regex(R"(commands=\(([^)]*)\))")));
    const std::string topLevel = " " + top[1].str() + " ";
    for (const std::string& command : HalvernctlCommands()) {
        const std::string first = command.substr(0, command.find(' '));
        EXPECT_NE(topLevel.find(" " + first + " "), std::string::npos) << "not offered: " << first;
        if (command.find(' ') == std::string::npos) continue;
        // The second word is offered for the first: "new show set ..." after "profile".
        const std::string second = command.substr(command.find(' ') + 1);
        EXPECT_TRUE(std::regex_search(completion, std::regex("compgen -W \"[^\"]*\\b" + second + "\\b")))
            << "not offered after " << first << ": " << second;
    }
}

TEST(Packaging, TheManualPageOfHalvernDescribesEveryOptionItsHelpLists) {
    const auto help = RunProcess(HALVERN_PATH, {"--help"}, {{"QT_QPA_PLATFORM", "offscreen"}});
    ASSERT_EQ(help.exitCode, 0);
    const std::vector<std::string> items = ManItems(kSource / "packaging/man/halvern.1");
    std::smatch option;
    std::string rest = help.out;
    int options = 0;
    while (std::regex_search(rest, option, std::regex(R"(\n  (--[a-z]+))"))) {
        ++options;
        EXPECT_TRUE(HasItemStartingWith(items, option[1].str())) << "not in halvern.1: " << option[1];
        rest = option.suffix();
    }
    EXPECT_GE(options, 3);
}

TEST(Packaging, TheMetainfoOffersTheProgramForEveryDeviceTheUdevRuleOpens) {
    const std::string rule = ReadText(kSource / "packaging/udev/70-halvern.rules");
    const std::string metainfo = ReadText(kSource / "packaging/metainfo/halvern.metainfo.xml.in");
    auto upper = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    };
    std::vector<std::string> expected;
    const std::regex usb(R"re(ATTRS\{idVendor\}=="([0-9a-fA-F]{4})", ATTRS\{idProduct\}=="([0-9a-fA-F]{4})")re");
    for (auto it = std::sregex_iterator(rule.begin(), rule.end(), usb); it != std::sregex_iterator(); ++it)
        expected.push_back("usb:v" + upper((*it)[1]) + "p" + upper((*it)[2]) + "d*");
    // A HID device's kernel name is BUS:VENDOR:PRODUCT.N; its modalias spells each out.
    const std::regex hid(R"re(KERNELS=="([0-9a-fA-F]{4}):([0-9a-fA-F]{4}):([0-9a-fA-F]{4})\.\*")re");
    for (auto it = std::sregex_iterator(rule.begin(), rule.end(), hid); it != std::sregex_iterator(); ++it)
        expected.push_back("hid:b" + upper((*it)[1]) + "g*v0000" + upper((*it)[2]) + "p0000" + upper((*it)[3]));
    ASSERT_EQ(expected.size(), 3u) << "the rule names the receiver, the cable and the Bluetooth LE mouse";
    for (const std::string& modalias : expected)
        EXPECT_NE(metainfo.find("<modalias>" + modalias + "</modalias>"), std::string::npos) << modalias;
}

// The languages the program speaks: one file res/lan_CODE.xml each beside English.
std::vector<std::string> TranslatedLanguages() {
    std::vector<std::string> codes;
    const std::regex file(R"(lan_([A-Za-z_]+)\.xml)");
    for (const auto& entry : std::filesystem::directory_iterator(kSource / "res")) {
        std::smatch m;
        const std::string name = entry.path().filename().string();
        if (std::regex_match(name, m, file)) codes.push_back(m[1]);
    }
    return codes;
}

std::size_t Count(const std::string& text, const std::regex& pattern) {
    return static_cast<std::size_t>(
        std::distance(std::sregex_iterator(text.begin(), text.end(), pattern), std::sregex_iterator()));
}

// A menu and a software centre in the user's language describe the program as it then
// speaks: every text of the desktop entry and the metainfo, in every language it has.
TEST(Packaging, TheDesktopEntryAndTheMetainfoSpeakEveryLanguageTheProgramDoes) {
    const std::string desktop = ReadText(kSource / "packaging/desktop/halvern.desktop.in");
    const std::string metainfo = ReadText(kSource / "packaging/metainfo/halvern.metainfo.xml.in");
    const std::vector<std::string> languages = TranslatedLanguages();
    ASSERT_FALSE(languages.empty()) << "German at least";
    for (const std::string& code : languages) {
        SCOPED_TRACE(code);
        for (const char* key : {"GenericName", "Comment", "Keywords"})
            EXPECT_TRUE(std::regex_search(desktop, std::regex("\\n" + std::string(key) + "\\[" + code + "\\]=\\S")))
                << key;
        for (const char* element : {"summary", "p", "li", "caption"}) {
            const std::regex source("<" + std::string(element) + ">");
            const std::regex translated("<" + std::string(element) + " xml:lang=\"" + code + "\">");
            EXPECT_EQ(Count(metainfo, translated), Count(metainfo, source)) << "<" << element << ">";
        }
    }
}

// One install under a staging folder, shared by the tests that look at it.
class StagedInstall : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new halvern::test::TempDir;
        const auto install = RunProcess(HALVERN_CMAKE, {"--install", HALVERN_BUILD_DIR, "--prefix", "/usr"},
                                        {{"DESTDIR", (dir_->path() / "stage").string()}});
        installed_ = install.exitCode == 0;
        if (!installed_) ADD_FAILURE() << install.out << install.err;
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::filesystem::path usr() { return dir_->path() / "stage/usr"; }

    static halvern::test::TempDir* dir_;
    static bool installed_;
};
halvern::test::TempDir* StagedInstall::dir_ = nullptr;
bool StagedInstall::installed_ = false;

TEST_F(StagedInstall, PutsTheDesktopsFilesUnderTheApplicationId) {
    ASSERT_TRUE(installed_);
    const std::string id = HALVERN_APP_ID;
    for (const std::string& f :
         {"share/applications/" + id + ".desktop", "share/metainfo/" + id + ".metainfo.xml",
          "share/icons/hicolor/scalable/apps/" + id + ".svg", "share/icons/hicolor/256x256/apps/" + id + ".png"})
        EXPECT_TRUE(std::filesystem::is_regular_file(usr() / f)) << f;
    const std::string desktop = ReadText(usr() / ("share/applications/" + id + ".desktop"));
    EXPECT_NE(desktop.find("\nIcon=" + id + "\n"), std::string::npos);
    EXPECT_NE(desktop.find("\nExec=halvern\n"), std::string::npos);
    const std::string metainfo = ReadText(usr() / ("share/metainfo/" + id + ".metainfo.xml"));
    EXPECT_NE(metainfo.find("<id>" + id + "</id>"), std::string::npos);
    EXPECT_NE(metainfo.find("<launchable type=\"desktop-id\">" + id + ".desktop</launchable>"), std::string::npos);
    EXPECT_EQ(metainfo.find('@'), std::string::npos) << "a placeholder was left unfilled";
    // The skin's own notes are for its authors, not for the install.
    EXPECT_FALSE(std::filesystem::exists(usr() / "share/halvern/res/README.md"));
}

TEST_F(StagedInstall, TheInstalledProgramRunsWhereItLiesOnItsOwnSkinAndLibraries) {
    ASSERT_TRUE(installed_);
    const std::filesystem::path bin = usr() / "bin";
    ASSERT_FALSE(std::filesystem::exists(bin / "res"));
    ASSERT_FALSE(std::filesystem::exists(bin / "Hook.so"));

    const auto version = RunProcess((bin / "halvernctl").string(), {"--version"}, {});
    EXPECT_EQ(version.exitCode, 0) << version.err;

    const std::map<std::string, std::string> env = {{"HALVERN_TEST_DRIVER", "1"},
                                                    {"HALVERN_EMULATOR", "receiver"},
                                                    {"HALVERN_DATA_DIR", ""},
                                                    {"XDG_DATA_HOME", (dir_->path() / "xdg").string()},
                                                    {"XDG_RUNTIME_DIR", dir_->path().string()},
                                                    {"QT_QPA_PLATFORM", "offscreen"},
                                                    {"QT_LOGGING_RULES", "halvern.shell.info=true"}};
    halvern::test::BackgroundProcess gui((bin / "halvern").string(), {}, env);
    ASSERT_EQ(gui.readLine(), "ready") << gui.err();
    gui.writeLine("state");
    // The title comes from the installed skin's language file.
    EXPECT_EQ(gui.readLine(), "state visible=1 minimized=0 title=Halvern Gaming Mouse");
    gui.writeLine("tray right");
    gui.readLine();
    gui.writeLine("menu exit");
    gui.readLine();
    ASSERT_EQ(gui.waitExit(), 0) << gui.err();

    const std::string libraries = (usr() / "lib").string();
    EXPECT_NE(gui.err().find("start: skin " + (usr() / "share/halvern/res").string() + " libraries " + libraries),
              std::string::npos)
        << gui.err();
    EXPECT_EQ(gui.err().find("start: no driver library"), std::string::npos) << gui.err();
    // Nothing of the user's is kept beside an installed program, writable as its folder is.
    EXPECT_TRUE(std::filesystem::is_directory(dir_->path() / "xdg/halvern/Data"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(bin), std::filesystem::directory_iterator()), 2);
}

// The keys 'profile set --help' lists, made from the settings table: "dpi.N.color", ...
std::vector<std::string> SetKeys() {
    const auto help = RunProcess(HALVERNCTL_PATH, {"profile", "set", "--help"}, {});
    std::vector<std::string> keys;
    std::istringstream in(help.out.substr(help.out.find("\nKEYS\n")));
    const std::regex key(R"(^    ([a-z][a-z.N-]*)=)");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_search(line, m, key)) keys.push_back(m[1].str());
    }
    return keys;
}

TEST(Packaging, TheManualPageOfHalvernctlDescribesEverySettingOfTheTable) {
    const std::vector<std::string> keys = SetKeys();
    ASSERT_GE(keys.size(), 19u);
    EXPECT_NE(std::find(keys.begin(), keys.end(), "move-mode"), keys.end()) << "the table's last row";
    std::vector<std::string> items = ManItems(kSource / "packaging/man/halvernctl.1");
    // .BI joins its words: "sleep= N min" reads "sleep=Nmin".
    for (std::string& item : items) item.erase(std::remove(item.begin(), item.end(), ' '), item.end());
    for (const std::string& key : keys)
        EXPECT_TRUE(
            std::any_of(items.begin(), items.end(), [&](const std::string& i) { return i.rfind(key + "=", 0) == 0; }))
            << "not in halvernctl.1: " << key;
}

// The completion as bash runs it, bash-completion's helpers stood in for: what it
// offers comes from the halvernctl it completes.
std::vector<std::string> Completed(const std::vector<std::string>& words) {
    const std::string script = R"(
_init_completion() { cur=${COMP_WORDS[COMP_CWORD]}; prev=${COMP_WORDS[COMP_CWORD-1]}; words=("${COMP_WORDS[@]}"); cword=$COMP_CWORD; }
_filedir() { :; }
compopt() { :; }
source "$1"
shift
COMP_WORDS=("$@")
COMP_CWORD=$(($# - 1))
_halvernctl "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
printf '%s\n' "${COMPREPLY[@]}"
)";
    std::vector<std::string> args = {"-c", script, "bash", (kSource / "packaging/completion/halvernctl").string(),
                                     HALVERNCTL_PATH};
    args.insert(args.end(), words.begin() + 1, words.end());
    const auto r = RunProcess("/bin/bash", args, {});
    std::vector<std::string> offered;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) offered.push_back(line);
    return offered;
}

TEST(Packaging, TheBashCompletionOffersTheKeysAndValuesHalvernctlTakes) {
    const auto listed = RunProcess(HALVERNCTL_PATH, {"--list-keys"}, {});
    std::vector<std::string> keys;
    std::istringstream in(listed.out);
    for (std::string line; std::getline(in, line);) keys.push_back(line);
    ASSERT_GE(keys.size(), 1u + 8 * 3 + 14 + 18);
    EXPECT_EQ(Completed({"halvernctl", "profile", "set", "p.pro", ""}), keys);
    EXPECT_EQ(Completed({"halvernctl", "profile", "set", "p.pro", "move"}), std::vector<std::string>{"move-mode="});
    EXPECT_EQ(Completed({"halvernctl", "profile", "set", "p.pro", "dpi.8.c"}),
              std::vector<std::string>{"dpi.8.color="});
    EXPECT_EQ(Completed({"halvernctl", "profile", "set", "p.pro", "lift-off="}),
              (std::vector<std::string>{"low", "high"}));
    EXPECT_EQ(Completed({"halvernctl", "profile", "set", "p.pro", "dpi.3.enabled=y"}), std::vector<std::string>{"yes"});
    EXPECT_EQ(Completed({"halvernctl", "profile", "set", "p.pro", "polling="}),
              (std::vector<std::string>{"125", "250", "500", "1000"}));
    const std::vector<std::string> effects = Completed({"halvernctl", "profile", "set", "p.pro", "light.effect-ble="});
    EXPECT_EQ(effects.size(), 16u);
    const std::vector<std::string> functions = Completed({"halvernctl", "profile", "set", "p.pro", "button.4=media:v"});
    EXPECT_EQ(functions, (std::vector<std::string>{"media:volume-up", "media:volume-down"}));
}

}  // namespace
