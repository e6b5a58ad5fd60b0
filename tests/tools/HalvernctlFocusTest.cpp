// halvernctl's rules for profiles that follow the application in front, run as built:
// each command edits CONFIG.ini as the page does and keeps the rest of the file, a
// refused command leaves the file as it was, and `focused` names the window in front
// of a private X server as a rule must name it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/DataPaths.h"
#include "records/MouseProfile.h"
#include "storage/FocusRules.h"
#include "storage/ProfileStore.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"
#include "support/X11WindowManager.h"
#include "support/XvfbServer.h"

namespace halvern::test {
namespace {

using std::string_literals::operator""s;

class FocusRulesCtl : public ::testing::Test {
protected:
    void SetUp() override {
        ProfileStore store(ModelFolder(dir.path()));
        store.append(MouseProfile::Create(u"Desktop"));
        store.append(MouseProfile::Create(u"Shooter"));
        ASSERT_FALSE(store.save());
        Put("[SETTING]\r\nLanguage=1\r\n");
    }
    ProcessResult ctl(const std::vector<std::string>& args) {
        return RunProcess(HALVERNCTL_PATH, args, {{"HALVERN_DATA_DIR", dir.path().string()}});
    }
    std::string config() {
        const auto bytes = ReadAll(dir / "CONFIG.ini");
        return std::string(bytes.begin(), bytes.end());
    }
    void Put(const std::string& text) {
        WriteAll(dir / "CONFIG.ini", std::vector<unsigned char>(text.begin(), text.end()));
    }
    TempDir dir;
};

TEST_F(FocusRulesCtl, EachCommandEditsTheFileAsThePageDoesAndARefusalChangesNothing) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string says;     // on standard error; empty: nothing
        std::string listing;  // `rules` afterwards
    };
    const std::string none = "switching: on\nother applications: keep\n";
    const std::vector<Case> cases = {
        {{"rules"}, 0, "", none},
        {{"rules", "add", "shooter", "shooter"},
         0,
         "",
         "switching: on\n1. shooter -> Shooter\nother applications: keep\n"},
        {{"rules", "add", "Navigator", "Desktop"},
         0,
         "",
         "switching: on\n1. shooter -> Shooter\n2. Navigator -> Desktop\nother applications: keep\n"},
        // The same application (without regard to case) gets the new profile in place.
        {{"rules", "add", "SHOOTER", "Desktop"},
         0,
         "",
         "switching: on\n1. shooter -> Desktop\n2. Navigator -> Desktop\nother applications: keep\n"},
        {{"rules", "add", "game", "Racing"}, 1, "no stored profile is named", ""},
        {{"rules", "add", "bad\nname", "Desktop"}, 2, "control", ""},
        {{"rules", "add", std::string(256, 'a'), "Desktop"}, 2, "255", ""},
        {{"rules", "add", " game", "Desktop"}, 2, "blank", ""},
        {{"rules", "add", "game"}, 2, "usage: halvernctl rules add APP PROFILE", ""},
        {{"rules", "remove", "firefox"}, 1, "no rule for", ""},
        {{"rules", "remove", "navigator"}, 0, "", "switching: on\n1. shooter -> Desktop\nother applications: keep\n"},
        {{"rules", "fallback", "shooter"},
         0,
         "",
         "switching: on\n1. shooter -> Desktop\nother applications: Shooter\n"},
        {{"rules", "fallback", "Racing"}, 1, "no stored profile is named", ""},
        {{"rules", "fallback", "keep"}, 0, "", "switching: on\n1. shooter -> Desktop\nother applications: keep\n"},
        {{"rules", "on"}, 2, "usage: halvernctl rules", ""},
    };
    std::string listing = none;
    for (const Case& c : cases) {
        const std::string before = config();
        const ProcessResult r = ctl(c.args);
        const std::string what = c.args.size() > 1 ? c.args[1] + " " + (c.args.size() > 2 ? c.args[2] : "") : c.args[0];
        EXPECT_EQ(r.exitCode, c.exitCode) << what << ": " << r.err;
        if (c.says.empty()) {
            EXPECT_EQ(r.err, "") << what;
        } else {
            EXPECT_NE(r.err.find(c.says), std::string::npos) << what << ": " << r.err;
        }
        EXPECT_LE(std::count(r.err.begin(), r.err.end(), '\n'), 1) << what << ": one line";
        if (c.exitCode != 0) { EXPECT_EQ(config(), before) << what << ": a refusal writes nothing"; }
        if (!c.listing.empty()) listing = c.listing;
        EXPECT_EQ(ctl({"rules"}).out, listing) << what;
    }
    // The rest of the file is kept, and the page reads what halvernctl wrote.
    EXPECT_EQ(config().rfind("[SETTING]\r\nLanguage=1\r\n", 0), 0u);
    const FocusRulesRead read = ReadFocusRules(dir.path());
    EXPECT_TRUE(read.problems.empty());
    ASSERT_EQ(read.rules.rules.size(), 1u);
    EXPECT_EQ(read.rules.rules[0].profile, u"Desktop");
}

TEST_F(FocusRulesCtl, AHostileFileIsListedWithWhatItCouldNotUseAndAGoneProfileMarked) {
    Put("[AutoProfiles]\r\nEnabled=0\r\nApp1=shooter\r\nProfile1=Shooter\r\nApp2=shooter\r\nProfile2=Desktop\r\n"
        "App3=\"" +
        std::string(300, 'x') +
        "\"\r\nProfile3=Desktop\r\nApp4=old\r\nProfile4=Deleted\r\n"
        "Fallback=\"Gone\"\r\n");
    const ProcessResult r = ctl({"rules"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "switching: off\n1. shooter -> Shooter\n2. old -> Deleted (no such profile)\n"
              "other applications: Gone (no such profile)\n");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << "one line for each rule left out: " << r.err;
    // A change keeps the rule of the deleted profile and drops what could not be read.
    ASSERT_EQ(ctl({"rules", "remove", "shooter"}).exitCode, 0);
    const FocusRulesRead read = ReadFocusRules(dir.path());
    EXPECT_TRUE(read.problems.empty());
    ASSERT_EQ(read.rules.rules.size(), 1u);
    EXPECT_EQ(read.rules.rules[0].application, "old");
    EXPECT_FALSE(read.rules.enabled);
}

TEST(FocusedCtl, NamesTheWindowInFrontAsARuleNamesIt) {
    XvfbServer x;
    ASSERT_TRUE(x.ok()) << x.err();
    X11WindowManager wm(x.display());
    wm.activate(wm.window("shooter\0Xmessage\0"s));
    const ProcessResult r =
        RunProcess(HALVERNCTL_PATH, {"focused"}, {{"DISPLAY", x.display()}, {"HALVERN_FOCUS_SOURCE", "x11"}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "source: x11\napplication: shooter\napplication: Xmessage\n");

    const ProcessResult none = RunProcess(HALVERNCTL_PATH, {"focused"}, {{"HALVERN_FOCUS_SOURCE", "none"}});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("does not tell programs which window is in front"), std::string::npos) << none.err;
}

}  // namespace
}  // namespace halvern::test
