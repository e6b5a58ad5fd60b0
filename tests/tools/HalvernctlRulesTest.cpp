// halvernctl holds the same line as the window, run as built: the rules of
// storage/ProfileRules.h refuse for every command what the page and the imports refuse,
// in the same words; a damaged file is repaired on reading as the import repairs it;
// every file it reads is a regular one or refused at once; and every error is one line.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <random>

#include "records/Settings.h"
#include "storage/MacroStore.h"
#include "storage/ProfileRules.h"
#include "storage/ProfileStore.h"
#include "storage/RecordFiles.h"
#include "support/Macros.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace halvern {
namespace {

namespace fs = std::filesystem;

// Through timeout(1), so a command that waits on a pipe fails the test instead of
// holding it: exit 124.
test::ProcessResult Ctl(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {}) {
    std::vector<std::string> timed = {"20", HALVERNCTL_PATH};
    timed.insert(timed.end(), args.begin(), args.end());
    return test::RunProcess("/usr/bin/timeout", timed, env);
}

std::size_t Lines(const std::string& s) { return static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n')); }

using test::WriteText;

MacroRecord LongPauses(std::size_t steps, std::u16string_view name = u"Spray") {
    return test::LongPauseMacro(steps, name);
}

MacroRecord RandomMacro() { return test::NoiseMacro(28, 100, u"Noise"); }

class Rules : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ExportProfile(*MouseProfile::Create(u"p"), dir / "p.pro"));
        ASSERT_FALSE(ExportMacro(LongPauses(120), dir / "long.macro"));
        ASSERT_FALSE(ExportMacro(RandomMacro(), dir / "random.macro"));
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    test::TempDir dir;
};

TEST_F(Rules, WhatTheWindowRefusesTheCommandsRefuseWithTheSameReason) {
    const std::string tooLong = MacroProblemText(CheckMacro(LongPauses(120)));
    const std::string noise = MacroProblemText(CheckMacro(RandomMacro()));
    ASSERT_FALSE(noise.empty());
    // The window's doors give the same reasons.
    MacroStore macros(dir / "ms_1");
    EXPECT_NE(ImportMacro(dir / "long.macro", macros).error.find(tooLong), std::string::npos);
    EXPECT_NE(ImportMacro(dir / "random.macro", macros).error.find(noise), std::string::npos);

    std::vector<std::string> longSteps;
    for (int i = 0; i < 60; ++i) longSteps.insert(longSteps.end(), {"a:down", "wait:200", "a:up", "wait:200"});
    std::string longJson = R"({"name": "x", "button.2": {"macro": "m", "steps": [)";
    for (std::size_t i = 0; i < longSteps.size(); ++i) longJson += (i ? ", \"" : "\"") + longSteps[i] + "\"";
    WriteText(dir / "long.json", longJson + "]}}");
    WriteText(dir / "right.json", R"({"name": "x", "button.1": "right"})");
    WriteText(dir / "six.json", R"({"name": "x", "button.6": {"macro": "m", "steps": ["a:down"]}})");
    WriteText(dir / "thirteen.json", R"({"name": "x", "button.13": "copy", "button.14": "off"})");

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string says;  // empty: accepted
    };
    std::vector<std::string> macroNew = {"macro", "new", "m", path("m.macro")};
    const auto withSteps = [&](std::vector<std::string> steps) {
        std::vector<std::string> args = macroNew;
        args.insert(args.end(), steps.begin(), steps.end());
        return args;
    };
    const std::vector<Case> cases = {
        {{"profile", "set", path("p.pro"), "button.1=right"}, 2, "no button among 1 to 16 would be a left click"},
        {{"profile", "set", path("p.pro"), "button.1=right", "button.2=left"}, 0, ""},
        {{"profile", "set", path("p.pro"), "button.13=copy"}, 2, "buttons 13 to 18 cannot be reassigned"},
        {{"profile", "set", path("p.pro"), "button.13=off", "button.17=scroll-down"}, 0, ""},
        {{"profile", "set", path("p.pro"), "button.4=macro:" + path("long.macro")}, 2, tooLong},
        {{"profile", "set", path("p.pro"), "button.4=macro:" + path("random.macro")}, 2, noise},
        {{"profile", "set", path("p.pro"), "button.7=macro:" + path("random.macro")}, 2, "cannot play a macro"},
        {{"profile", "set", path("p.pro"), "button.4=key:code0"}, 2, "needs a key, a modifier or both"},
        {{"profile", "set", path("p.pro"), "button.4=key:ctrl+code165"}, 2, "is no key a key combination can hold"},
        {withSteps({"a:down", "wait:0"}), 2, "a wait is 1 to 25000 ms"},
        {withSteps({"a:down", "wait:25001"}), 2, "a wait is 1 to 25000 ms"},
        {withSteps({"a:down", "wait:20000", "wait:5001"}), 2, "at most 25000 ms"},
        {withSteps({"a:down", "wait:20000", "wait:5000"}), 0, ""},
        {withSteps({"code0:down"}), 2, "unknown key 'code0'"},
        {withSteps({"code165:down"}), 2, "unknown key 'code165'"},
        {withSteps(longSteps), 2, "does not fit the 4 blocks a button has"},
        {{"profile", "from-json", path("right.json"), path("out.pro")}, 2, "would be a left click"},
        {{"profile", "from-json", path("long.json"), path("out.pro")}, 2, "does not fit the 4 blocks"},
        {{"profile", "from-json", path("six.json"), path("out.pro")}, 2, "cannot play a macro"},
        {{"profile", "from-json", path("thirteen.json"), path("out.pro")}, 2, "buttons 13 to 18 cannot be reassigned"},
        {{"macro", "show", path("long.macro")}, 1, tooLong},
        {{"macro", "show", path("random.macro")}, 1, noise},
    };
    for (const Case& c : cases) {
        const std::vector<unsigned char> before = test::ReadAll(dir / "p.pro");
        test::ProcessResult r = Ctl(c.args);
        const std::string what = c.args[0] + " " + c.args[1] + " " + c.args.back();
        EXPECT_EQ(r.exitCode, c.exitCode) << what << "\n" << r.err;
        EXPECT_EQ(Lines(r.err), c.says.empty() ? 0u : 1u) << what << "\n" << r.err;
        if (!c.says.empty()) {
            EXPECT_NE(r.err.find(c.says), std::string::npos) << what << "\n" << r.err;
            EXPECT_EQ(test::ReadAll(dir / "p.pro"), before) << what;
            EXPECT_FALSE(fs::exists(dir / "out.pro")) << what;
            EXPECT_FALSE(fs::exists(dir / "m.macro")) << what;
        }
        fs::remove(dir / "m.macro");
        ASSERT_FALSE(ExportProfile(*MouseProfile::Create(u"p"), dir / "p.pro"));
    }
}

// A profile with settings out of range and a name without its end: the import repairs
// it and so does every command that reads it, saying so in one line.
std::unique_ptr<MouseProfile> Damaged() {
    auto p = MouseProfile::Create(u"Damaged");
    p->pollingRate = 9;
    p->sleepTimer = 40;
    p->dpiValue[2] = -5;
    return p;
}

TEST_F(Rules, ADamagedFileIsRepairedOnReadingAsTheImportRepairsItAndOneLineSaysSo) {
    ASSERT_FALSE(ExportProfile(*Damaged(), dir / "damaged.pro"));
    ProfileStore profiles(dir / "ms_1");
    profiles.load(u"Profile");
    MacroStore macros(dir / "ms_1");
    const ProfileImport imported = ImportProfile(dir / "damaged.pro", profiles, macros);
    ASSERT_TRUE(imported.ok()) << imported.error;
    EXPECT_EQ(imported.repaired, (std::vector<std::string>{"dpi.3", "polling", "sleep"}));
    MouseProfile repaired = profiles.at(imported.profilePosition);
    repaired.setName(u"Damaged");
    ASSERT_FALSE(ExportProfile(repaired, dir / "repaired.pro"));

    const std::string line =
        "'" + path("damaged.pro") + "': repaired as halvern repairs what it reads: dpi.3, polling, sleep\n";
    // reports writes what the program would send for it.
    test::ProcessResult reports = Ctl({"reports", path("damaged.pro"), "--transport", "receiver"});
    EXPECT_EQ(reports.exitCode, 0);
    EXPECT_EQ(reports.err, "halvernctl: " + line);
    EXPECT_EQ(reports.out, Ctl({"reports", path("repaired.pro"), "--transport", "receiver"}).out);
    test::ProcessResult show = Ctl({"profile", "show", path("damaged.pro")});
    EXPECT_EQ(show.exitCode, 0);
    EXPECT_EQ(show.err, "halvernctl: " + line);
    EXPECT_NE(show.out.find("\"polling\": 1000"), std::string::npos);
    // What profile set writes back is what the page would have.
    test::ProcessResult set = Ctl({"profile", "set", path("damaged.pro"), "dpi.1=800"});
    EXPECT_EQ(set.exitCode, 0);
    EXPECT_EQ(set.err, "halvernctl: " + line);
    auto written = ReadProfileFile(dir / "damaged.pro").record;
    ASSERT_TRUE(written);
    EXPECT_FALSE(BringIntoRange(*written)) << "a field out of range was written back";
    EXPECT_EQ(Ctl({"profile", "show", path("damaged.pro")}).err, "") << "repaired once, it stays so";
}

TEST_F(Rules, AProfileWithAMacroTooLongForItsButtonIsRefusedUntilTheMacroIsGone) {
    auto p = MouseProfile::Create(u"p");
    p->buttons[1].assignMacro(LongPauses(120), 0, 1, -1);
    ASSERT_FALSE(ExportProfile(*p, dir / "long.pro"));
    const std::string reason =
        "button.2 plays the macro 'Spray', which " + MacroProblemText(CheckMacro(LongPauses(120)));
    ProfileStore profiles(dir / "ms_1");
    profiles.load(u"Profile");
    MacroStore macros(dir / "ms_1");
    const ProfileImport imported = ImportProfile(dir / "long.pro", profiles, macros);
    EXPECT_NE(imported.error.find(reason), std::string::npos) << imported.error;
    EXPECT_EQ(profiles.size(), 1u);
    EXPECT_EQ(macros.size(), 0u);

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"profile", "show", path("long.pro")},
                                               {"reports", path("long.pro"), "--transport", "cable"},
                                               {"apply", path("long.pro")},
                                               {"profile", "set", path("long.pro"), "dpi.1=800"}}) {
        test::ProcessResult r = Ctl(args, {{"HALVERN_EMULATOR", "receiver"}});
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_EQ(Lines(r.err), 1u) << r.err;
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << args[0];
    }
    // The assignment that replaces the macro makes it a profile halvern takes.
    test::ProcessResult fixed = Ctl({"profile", "set", path("long.pro"), "button.2=right"});
    EXPECT_EQ(fixed.exitCode, 0) << fixed.err;
    EXPECT_EQ(Ctl({"profile", "show", path("long.pro")}).exitCode, 0);
}

TEST_F(Rules, EveryFileACommandReadsIsARegularFileOrRefusedAtOnce) {
    ASSERT_EQ(::mkfifo(path("f.pro").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(path("f.json").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(path("f.macro").c_str(), 0600), 0);
    fs::create_directory(dir / "d.json");
    fs::create_directory(dir / "d.pro");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {{"profile", "show", path("f.pro")}, 1},
        {{"profile", "show", path("d.pro")}, 1},
        {{"profile", "set", path("f.pro"), "dpi.1=400"}, 1},
        {{"profile", "set", path("p.pro"), "button.2=macro:" + path("f.macro")}, 2},
        {{"profile", "from-json", path("f.json"), path("out.pro")}, 1},
        {{"profile", "from-json", path("d.json"), path("out.pro")}, 1},
        {{"macro", "show", path("f.macro")}, 1},
        {{"reports", path("f.pro"), "--transport", "ble"}, 1},
        {{"reports", path("p.pro"), "--transport", "ble", "--against", path("f.pro")}, 1},
        {{"apply", path("f.pro")}, 1},
        {{"apply", path("p.pro"), "--against", path("d.pro")}, 1},
    };
    for (const Case& c : cases) {
        test::ProcessResult r = Ctl(c.args);
        const std::string what = c.args[0] + " " + c.args[1];
        EXPECT_EQ(r.exitCode, c.exitCode) << what << ": " << r.err;
        EXPECT_EQ(Lines(r.err), 1u) << r.err;
        EXPECT_TRUE(r.err.find("not a regular file") != std::string::npos ||
                    r.err.find("is a folder, not a file") != std::string::npos)
            << what << ": " << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "out.pro"));
}

// Text a script or a hostile file may hand any command: line breaks, a carriage return,
// an escape sequence, C1's next line, and bytes that are not UTF-8.
const std::vector<std::string> kHostile = {"two\nhalvernctl: ok", "cr\rhalvernctl: ok", "esc\x1b[2J",
                                           "nel\xc2\x85x",        "bad\xff\xfe",        "ls\xe2\x80\xa8x"};

TEST_F(Rules, EveryErrorOfEveryCommandIsOneLineWhateverTheTextItEchoes) {
    for (const std::string& bad : kHostile) {
        // A settings document whose key carries the text.
        std::string key;
        for (char c : bad)
            key += c == '\n'     ? std::string("\\n")
                   : c == '\r'   ? std::string("\\r")
                   : c == '\x1b' ? std::string("\\u001b")
                                 : std::string(1, c);
        WriteText(dir / "k.json", "{\"name\": \"x\", \"" + key + "\": 1}");
        const std::vector<std::vector<std::string>> commands = {
            {bad},
            {"profile", bad},
            {"profile", "new", bad, path("n.pro")},
            {"profile", "show", bad},
            {"profile", "set", path("p.pro"), bad},
            {"profile", "set", path("p.pro"), bad + "=1"},
            {"profile", "set", path("p.pro"), "polling=" + bad},
            {"profile", "set", path("p.pro"), "button.4=" + bad},
            {"profile", "set", path("p.pro"), "button.4=key:ctrl+" + bad},
            {"profile", "set", path("p.pro"), "button.4=macro:" + bad},
            {"profile", "set", path("p.pro"), "button.4=macro:" + path("random.macro") + ":repeat=" + bad},
            {"profile", "from-json", bad, path("o.pro")},
            {"profile", "from-json", path("k.json"), path("o.pro")},
            {"profile", "export", bad, path("o.pro")},
            {"macro", "new", bad, path("m.macro"), "a:click"},
            {"macro", "new", "m", path("m.macro"), bad},
            {"macro", "new", "m", path("m.macro"), bad + ":down"},
            {"macro", "new", "m", path("m.macro"), "a:" + bad},
            {"macro", "show", bad},
            {"reports", bad, "--transport", "ble"},
            {"reports", path("p.pro"), "--transport", bad},
            {"apply", bad},
            {"apply", "--profile", bad},
            {"monitor", "--count", bad},
            {"devices", bad},
        };
        for (const std::vector<std::string>& args : commands) {
            test::ProcessResult r = Ctl(args, {{"HALVERN_DATA_DIR", path("data")}});
            std::string what;
            for (const std::string& a : args) what += a + " ";
            EXPECT_TRUE(r.exitCode == 1 || r.exitCode == 2) << what << r.exitCode;
            EXPECT_EQ(Lines(r.err), 1u) << what << "\n" << r.err;
            EXPECT_EQ(r.err.find('\r'), std::string::npos) << what;
            EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << what;
            EXPECT_EQ(r.err.find("\xc2\x85"), std::string::npos) << what;
            EXPECT_EQ(r.out.find("halvernctl: ok"), std::string::npos) << what;
        }
    }
}

TEST_F(Rules, AKeyGivenTwiceIsRefusedAfterItsNumberIsRead) {
    test::ProcessResult set = Ctl({"profile", "set", path("p.pro"), "dpi.1=400", "dpi.01=800"});
    EXPECT_EQ(set.exitCode, 2);
    EXPECT_NE(set.err.find("'dpi.01' is given twice (as 'dpi.1')"), std::string::npos) << set.err;
    WriteText(dir / "twice.json", R"({"name": "x", "dpi.1": 400, "dpi.01": 800})");
    test::ProcessResult json = Ctl({"profile", "from-json", path("twice.json"), path("o.pro")});
    EXPECT_EQ(json.exitCode, 2);
    EXPECT_NE(json.err.find("'dpi.01' is given twice"), std::string::npos) << json.err;
    WriteText(dir / "zero.json", R"({"name": "x", "dpi.1": 0400})");
    test::ProcessResult zero = Ctl({"profile", "from-json", path("zero.json"), path("o.pro")});
    EXPECT_EQ(zero.exitCode, 1);
    EXPECT_NE(zero.err.find("a number with a leading zero"), std::string::npos) << zero.err;
    EXPECT_FALSE(fs::exists(dir / "o.pro"));
}

// The issue's case: a button that held a macro and was then given a key keeps the
// macro's bytes, and the way through JSON keeps them too.
TEST_F(Rules, ShowThenFromJsonKeepsTheLeftoverCopyOfAMacro) {
    ASSERT_EQ(Ctl({"macro", "new", "Burst", path("b.macro"), "a:down", "wait:120", "a:up", "left:click"}).exitCode, 0);
    ASSERT_EQ(Ctl({"profile", "set", path("p.pro"), "button.4=macro:" + path("b.macro") + ":repeat=3"}).exitCode, 0);
    ASSERT_EQ(Ctl({"profile", "set", path("p.pro"), "button.4=key:ctrl+c", "button.5=media:mute"}).exitCode, 0);
    auto held = ReadProfileFile(dir / "p.pro").record;
    ASSERT_EQ(held->buttons[3].macroActionCount, 4) << "the copy stays behind the key";

    test::ProcessResult show = Ctl({"profile", "show", path("p.pro")});
    ASSERT_EQ(show.exitCode, 0) << show.err;
    WriteText(dir / "p.json", show.out);
    test::ProcessResult back = Ctl({"profile", "from-json", path("p.json"), path("back.pro")});
    ASSERT_EQ(back.exitCode, 0) << back.err;
    EXPECT_EQ(test::ReadAll(dir / "back.pro"), test::ReadAll(dir / "p.pro"));
}

TEST_F(Rules, TheBoundsOfAMacroAndOfADocumentAreExact) {
    // 160 steps are a macro, 161 are not.
    std::vector<std::string> args = {"macro", "new", "m", path("m.macro")};
    for (int i = 0; i < 80; ++i) args.push_back("a:click");
    EXPECT_EQ(Ctl(args).exitCode, 0);
    args.push_back("a:down");
    test::ProcessResult over = Ctl(args);
    EXPECT_EQ(over.exitCode, 2);
    EXPECT_NE(over.err.find("more than 160 steps"), std::string::npos) << over.err;

    // A document of 1 MiB is read, one byte more is not.
    const std::string object = R"({"name": "x"})";
    WriteText(dir / "big.json", object + std::string((1u << 20) - object.size(), ' '));
    test::ProcessResult whole = Ctl({"profile", "from-json", path("big.json"), path("o.pro")});
    EXPECT_EQ(whole.exitCode, 0) << whole.err;
    WriteText(dir / "big.json", object + std::string((1u << 20) - object.size() + 1, ' '));
    test::ProcessResult bigger = Ctl({"profile", "from-json", path("big.json"), path("o2.pro")});
    EXPECT_EQ(bigger.exitCode, 1);
    EXPECT_NE(bigger.err.find("larger than 1 MiB"), std::string::npos) << bigger.err;
}

}  // namespace
}  // namespace halvern
