// halvernctl's settings in plain units, run as built: profile set, the settings object of
// profile show, profile from-json, and macros written from steps.
#include <gtest/gtest.h>

#include <algorithm>

#include "records/MouseProfile.h"
#include "storage/RecordFiles.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace halvern {
namespace {

test::ProcessResult Ctl(const std::vector<std::string>& args) { return test::RunProcess(HALVERNCTL_PATH, args); }

void WriteText(const std::filesystem::path& p, const std::string& text) {
    test::WriteAll(p, std::vector<unsigned char>(text.begin(), text.end()));
}

std::size_t Lines(const std::string& s) { return static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n')); }

struct Assignment {
    std::string set;    // KEY=VALUE as typed
    std::string shown;  // the member of the settings object that shows it
};

// One value of every key, each different from the default.
const std::vector<Assignment> kEveryKey = {
    {"name=Aim \"fast\"", "\"name\": \"Aim \\\"fast\\\"\""},
    {"dpi.1=400", "\"dpi.1\": 400"},
    {"dpi.8=12300", "\"dpi.8\": 12300"},
    {"dpi.3.enabled=no", "\"dpi.3.enabled\": \"no\""},
    {"dpi.7.enabled=yes", "\"dpi.7.enabled\": \"yes\""},
    {"dpi.2.color=#ff8000", "\"dpi.2.color\": \"#ff8000\""},
    {"dpi.active=5", "\"dpi.active\": 5"},
    {"polling=250", "\"polling\": 250"},
    {"light.effect=breathing", "\"light.effect\": \"breathing\""},
    {"light.effect-ble=12", "\"light.effect-ble\": \"follow-dpi\""},
    {"light.brightness=15", "\"light.brightness\": 15"},
    {"light.speed=1", "\"light.speed\": 1"},
    {"light.color=#0a0b0c", "\"light.color\": \"#0a0b0c\""},
    {"sleep=15min", "\"sleep\": \"15min\""},
    {"light-off=2.5min", "\"light-off\": \"2.5min\""},
    {"debounce=30ms", "\"debounce\": \"30ms\""},
    {"lift-off=high", "\"lift-off\": \"high\""},
    {"ripple=off", "\"ripple\": \"off\""},
    {"angle-snap=on", "\"angle-snap\": \"on\""},
    {"button.1=right", "\"button.1\": \"right\""},
    {"button.2=left", "\"button.2\": \"left\""},
    {"button.4=key:ctrl+shift+k", "\"button.4\": \"key:ctrl+shift+k\""},
    {"button.5=media:volume-up", "\"button.5\": \"media:volume-up\""},
    {"button.6=key:alt+f4", "\"button.6\": \"key:alt+f4\""},
    {"button.3=key:ctrl+left", "\"button.3\": \"key:ctrl+left\""},
    {"button.7=browser:refresh", "\"button.7\": \"browser:refresh\""},
    {"button.12=code:47", "\"button.12\": \"code:47\""},
    {"button.11=dpi-up", "\"button.11\": \"dpi-up\""},
};

class ProfileFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(ExportProfile(*MouseProfile::Create(u"p"), file)); }
    test::ProcessResult set(std::vector<std::string> assignments) {
        assignments.insert(assignments.begin(), {"profile", "set", file.string()});
        return Ctl(assignments);
    }
    std::string show() {
        test::ProcessResult r = Ctl({"profile", "show", file.string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out;
    }
    test::TempDir dir;
    std::filesystem::path file = dir / "p.pro";
};

TEST_F(ProfileFile, EverySetKeyShowsInTheSettingsObjectAsTyped) {
    std::vector<std::string> all;
    for (const Assignment& a : kEveryKey) all.push_back(a.set);
    test::ProcessResult r = set(all);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const std::string shown = show();
    for (const Assignment& a : kEveryKey) EXPECT_NE(shown.find(a.shown), std::string::npos) << a.set << "\n" << shown;

    auto p = ReadProfileFile(file).record;
    ASSERT_TRUE(p);
    EXPECT_EQ(p->dpiValue[0], 8);
    EXPECT_EQ(p->dpiValue[7], 223);
    EXPECT_EQ(p->dpiStep, 4);
    EXPECT_EQ(p->pollingRate, 1);
    EXPECT_EQ(p->lightOffTimer, 5);
    EXPECT_EQ(p->keyDebounce, 15);
    EXPECT_EQ(p->buttons[3].function, 16);
    EXPECT_EQ(p->buttons[3].keyUsage, 0x0E);
    EXPECT_EQ(p->buttons[3].keyModifiers, kModCtrl | kModShift);
    EXPECT_EQ(p->buttons[4].function, 69);
    EXPECT_EQ(p->dpiValueCopy[0], 16) << "the second DPI array follows the page, not the typed values";
}

TEST_F(ProfileFile, ShowOutputReadBackWithFromJsonGivesTheSameBytes) {
    std::vector<std::string> all;
    for (const Assignment& a : kEveryKey) all.push_back(a.set);
    ASSERT_EQ(set(all).exitCode, 0);
    ASSERT_EQ(
        Ctl({"macro", "new", "Burst", (dir / "b.macro").string(), "a:down", "wait:120", "a:up", "left:click"}).exitCode,
        0);
    ASSERT_EQ(set({"button.10=macro:" + (dir / "b.macro").string() + ":repeat=3"}).exitCode, 0);

    WriteText(dir / "p.json", show());
    test::ProcessResult r = Ctl({"profile", "from-json", (dir / "p.json").string(), (dir / "back.pro").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto original = ReadProfileFile(file).record;
    auto back = ReadProfileFile(dir / "back.pro").record;
    ASSERT_TRUE(original && back);
    // A macro chosen from a file has no place in the program's macro list.
    EXPECT_EQ(original->buttons[9].macroIndex, -1);
    EXPECT_EQ(test::ReadAll(dir / "back.pro"), test::ReadAll(file));
}

TEST_F(ProfileFile, FromJsonTakesASettingsObjectOfItsOwn) {
    WriteText(dir / "s.json", std::string(R"({"name": "fps", "dpi.1": 400, "dpi.1.enabled": true,
        "ripple": false, "button.3": {"macro": "m", "mode": 2, "steps": ["ctrl:down", "wait:5", "ctrl:up"]}})"));
    test::ProcessResult r = Ctl({"profile", "from-json", (dir / "s.json").string(), (dir / "fps.pro").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto p = ReadProfileFile(dir / "fps.pro").record;
    ASSERT_TRUE(p);
    auto expected = MouseProfile::Create(u"fps");
    expected->dpiValue[0] = 8;
    expected->rippleControl = 0;
    MacroRecord m;
    m.setName(u"m");
    m.actionCount = 2;
    m.actions[0] = {0xE0, MacroAction::Press, 5};
    m.actions[1] = {0xE0, MacroAction::Release, 0};
    expected->buttons[2].assignMacro(m, 2, 1, -1);
    EXPECT_EQ(test::ReadAll(dir / "fps.pro"), test::BytesOf(*expected));
}

TEST_F(ProfileFile, FromJsonRefusesWhatIsNotASettingsObject) {
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"{\"dpi.1\": 400}", "no name"},
        {"[1, 2]", "expected an object"},
        {"{\"name\": \"x\", \"dpi.1\": 4.5}", "whole"},
        {"{\"name\": \"x\", \"dpi.1\": [400]}", "dpi.1"},
        {"{\"name\": \"x\", \"polling\": 300}", "polling=300"},
        {"{\"name\": \"x\"", "expected ',' or '}'"},
        {std::string(200, '[') + std::string(200, ']'), "nesting too deep"},
        {"{\"name\": \"\\ud800\"}", "unpaired surrogate"},
    };
    for (const auto& [text, why] : bad) {
        WriteText(dir / "s.json", text);
        test::ProcessResult r = Ctl({"profile", "from-json", (dir / "s.json").string(), (dir / "out.pro").string()});
        EXPECT_NE(r.exitCode, 0) << text;
        EXPECT_EQ(Lines(r.err), 1u) << r.err;
        EXPECT_NE(r.err.find(why), std::string::npos) << text << " -> " << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.pro")) << text;
    }
}

TEST_F(ProfileFile, DpiIsTakenToTheNearestStepTheMouseTakesAndTheStepIsPrinted) {
    test::ProcessResult r = set({"dpi.2=825", "dpi.3=10050", "dpi.4=10100"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find(' ')), "dpi.2=800");
    EXPECT_NE(r.out.find("\ndpi.3=10000 "), std::string::npos) << r.out;
    EXPECT_EQ(Lines(r.out), 2u) << "a value the mouse takes as typed is not reported: " << r.out;
    auto p = ReadProfileFile(file).record;
    EXPECT_EQ(p->dpiValue[1], 16);
    EXPECT_EQ(p->dpiValue[2], 200);
    EXPECT_EQ(p->dpiValue[3], 201);
}

TEST_F(ProfileFile, ARefusedAssignmentNamesItsKeyAndRangeAndLeavesTheFileAsItWas) {
    const std::vector<unsigned char> before = test::ReadAll(file);
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"dpi.9=800", "1..8"},
        {"dpi.0=800", "1..8"},
        {"dpi.1=49", "50..18000"},
        {"dpi.1=18001", "50..18000"},
        {"dpi.1=fast", "50..18000"},
        {"dpi.1.color=red", "#rrggbb"},
        {"dpi.1.enabled=maybe", "yes or no"},
        {"dpi.active=9", "1..8"},
        {"polling=300", "125, 250, 500 or 1000"},
        {"light.effect=disco", "twinkle"},
        {"light.effect=16", "0..15"},
        {"light.brightness=0", "1..15"},
        {"light.speed=9", "1..8"},
        {"sleep=16min", "1..15min"},
        {"light-off=0.25min", "0.5..15min"},
        {"light-off=16min", "0.5..15min"},
        {"debounce=7ms", "2..30ms"},
        {"debounce=32ms", "2..30ms"},
        {"lift-off=medium", "high or low"},
        {"ripple=yes", "on or off"},
        {"button.19=left", "1..18"},
        {"button.1=jump", "dpi-cycle"},
        {"button.1=key:ctrl+hyper+k", "ctrl, shift, alt, win"},
        {"button.1=key:ctrl+pling", "unknown key 'pling'"},
        {"button.1=key:ctrl+arrow", "unknown key 'arrow'"},
        {"button.1=macro:missing.macro", "missing.macro"},
        {"button.6=macro:x.macro", "buttons 1, 2, 3, 4, 5, 9, 10 can"},
        {"button.1=macro:x.macro:repeat=256", "1..255"},
        {"button.1=code:17", "code:17"},
        {"name=", "empty"},
        {"name=a\nb", "control character"},
        {"colour=#ffffff", "unknown setting 'colour'"},
    };
    for (const auto& [assignment, accepted] : bad) {
        // A good assignment before the bad one is not applied either.
        test::ProcessResult r = set({"dpi.2=1600", assignment});
        EXPECT_EQ(r.exitCode, 2) << assignment;
        EXPECT_EQ(Lines(r.err), 1u) << r.err;
        const std::string key = assignment.substr(0, assignment.find('='));
        EXPECT_NE(r.err.find(key), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(accepted), std::string::npos) << assignment << " -> " << r.err;
        EXPECT_EQ(test::ReadAll(file), before) << assignment;
    }
    EXPECT_EQ(set({"polling"}).exitCode, 2);
    EXPECT_EQ(Ctl({"profile", "set", file.string()}).exitCode, 2);
    EXPECT_EQ(Ctl({"profile", "set", (dir / "missing.pro").string(), "polling=125"}).exitCode, 1);
}

TEST(HalvernctlNames, ControlCharactersAreRefusedAndTheLimitIsStatedInTheUnitTheRecordCounts) {
    test::TempDir dir;
    for (const std::string& bad : {std::string("two\nlines"), std::string("tab\there"), std::string("bell\x07")}) {
        test::ProcessResult r = Ctl({"profile", "new", bad, (dir / "x.pro").string()});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find("control character"), std::string::npos) << r.err;
    }
    std::string emoji;
    for (int i = 0; i < 50; ++i) emoji += "\xF0\x9F\x90\xAD";
    test::ProcessResult r = Ctl({"profile", "new", emoji, (dir / "x.pro").string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("100 UTF-16 units; the record holds 99"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("characters;"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.pro"));
    // 49 emoji take 98 units and fit.
    EXPECT_EQ(Ctl({"profile", "new", emoji.substr(4), (dir / "x.pro").string()}).exitCode, 0);
}

TEST(HalvernctlMacro, NewWritesTheStepsThatShowListsTheSameWay) {
    test::TempDir dir;
    const std::vector<std::string> steps = {"ctrl:down",     "c:down",     "c:up",       "wait:20",   "ctrl:up",
                                            "left:down",     "wait:25000", "left:up",    "kp-7:down", "kp-7:up",
                                            "arrow-up:down", "wait:1",     "arrow-up:up"};
    std::vector<std::string> args = {"macro", "new", "Copy", (dir / "c.macro").string()};
    args.insert(args.end(), steps.begin(), steps.end());
    test::ProcessResult r = Ctl(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;

    auto m = ReadMacroFile(dir / "c.macro").record;
    ASSERT_TRUE(m);
    EXPECT_EQ(m->nameText(), u"Copy");
    EXPECT_EQ(m->actionCount, 10);
    EXPECT_EQ(m->actions[0], (MacroAction{0xE0, MacroAction::Press, 0}));
    EXPECT_EQ(m->actions[2], (MacroAction{0x06, MacroAction::Release, 20}));
    EXPECT_EQ(m->actions[4], (MacroAction{kMouseLeft, MacroAction::Press, 25000}));
    EXPECT_EQ(m->actions[6], (MacroAction{0x5F, MacroAction::Press, 0}));

    test::ProcessResult shown = Ctl({"macro", "show", (dir / "c.macro").string()});
    ASSERT_EQ(shown.exitCode, 0);
    std::string list = "\"steps\": [";
    for (std::size_t i = 0; i < steps.size(); ++i) list += (i ? ", \"" : "\"") + steps[i] + "\"";
    EXPECT_NE(shown.out.find(list + "]"), std::string::npos) << shown.out;
}

TEST(HalvernctlMacro, ClickIsAPressAndARelease) {
    test::TempDir dir;
    ASSERT_EQ(Ctl({"macro", "new", "m", (dir / "m.macro").string(), "right:click", "wait:50"}).exitCode, 0);
    auto m = ReadMacroFile(dir / "m.macro").record;
    EXPECT_EQ(m->actionCount, 2);
    EXPECT_EQ(m->actions[0], (MacroAction{kMouseRight, MacroAction::Press, 0}));
    EXPECT_EQ(m->actions[1], (MacroAction{kMouseRight, MacroAction::Release, 50}));
}

TEST(HalvernctlMacro, BadStepsAndNamesAreRefusedWithoutAFile) {
    test::TempDir dir;
    const std::vector<std::vector<std::string>> bad = {
        {"m", "wait:10"},                             // nothing to wait after
        {"m", "a:press"},                             // no such kind
        {"m", "pling:down"},                          // no such key
        {"m", "a:down", "wait:-1"},                   // not a pause
        {"m", "a:down", "wait:40000", "wait:40000"},  // more than one step's pause holds
        {"m"},                                        // no steps
        {std::string(24, 'x'), "a:click"},
        {"two\nlines", "a:click"},
    };
    for (std::vector<std::string> args : bad) {
        args.insert(args.begin() + 1, (dir / "m.macro").string());
        args.insert(args.begin(), {"macro", "new"});
        test::ProcessResult r = Ctl(args);
        EXPECT_EQ(r.exitCode, 2) << args[4 < args.size() ? 4 : 2];
        EXPECT_EQ(Lines(r.err), 1u) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "m.macro"));
    }
    std::vector<std::string> tooMany = {"macro", "new", "m", (dir / "m.macro").string()};
    for (int i = 0; i < 81; ++i) tooMany.push_back("a:click");
    EXPECT_NE(Ctl(tooMany).err.find("more than 160 steps"), std::string::npos);
}

TEST(HalvernctlHelp, EveryCommandHasAManualPageAndBothProgramsAVersion) {
    const std::vector<std::vector<std::string>> commands = {
        {"profile", "new"},    {"profile", "show"}, {"profile", "set"}, {"profile", "from-json"},
        {"profile", "export"}, {"profiles"},        {"macro", "new"},   {"macro", "show"},
        {"reports"},           {"devices"},         {"monitor"},        {"apply"}};
    for (std::vector<std::string> c : commands) {
        const std::string name = c.size() == 1 ? c[0] : c[0] + " " + c[1];
        c.push_back("--help");
        test::ProcessResult r = Ctl(c);
        EXPECT_EQ(r.exitCode, 0) << name;
        for (const char* section : {"NAME\n", "SYNOPSIS\n    halvernctl ", "DESCRIPTION\n", "EXIT STATUS\n"})
            EXPECT_NE(r.out.find(section), std::string::npos) << name << " lacks " << section;
        EXPECT_NE(r.out.find("halvernctl " + name), std::string::npos) << r.out;
        c.pop_back();
        c.insert(c.begin(), "help");
        EXPECT_EQ(Ctl(c).out, r.out) << name;
    }
    test::ProcessResult set = Ctl({"profile", "set", "--help"});
    for (const char* key : {"dpi.N=", "dpi.N.color=", "polling=", "light.effect=", "light-off=", "debounce=",
                            "lift-off=", "angle-snap=", "media:volume-up", "key:", "macro:FILE.macro"})
        EXPECT_NE(set.out.find(key), std::string::npos) << key;

    test::ProcessResult version = Ctl({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "halvernctl " HALVERN_VERSION "\n");
    test::ProcessResult gui = test::RunProcess(HALVERN_PATH, {"--version"});
    EXPECT_EQ(gui.exitCode, 0);
    EXPECT_EQ(gui.out, "halvern " HALVERN_VERSION "\n");
}

}  // namespace
}  // namespace halvern
