#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>

#include "records/MouseProfile.h"
#include "storage/RecordFiles.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace halvern {
namespace {

test::ProcessResult Ctl(const std::vector<std::string>& args) { return test::RunProcess(HALVERNCTL_PATH, args); }

TEST(HalvernctlProfile, NewWritesTheDefaultRecordForAnyNameThatFits) {
    test::TempDir dir;
    const std::vector<std::pair<std::string, std::u16string>> names = {
        {"Profile1", u"Profile1"},
        {"Été – プロファイル", u"Été – プロファイル"},
        {std::string(99, 'x'), std::u16string(99, u'x')},
        {"\xF0\x9F\x90\xAD mouse", u"\U0001F42D mouse"},
    };
    for (const auto& [utf8, utf16] : names) {
        auto out = dir / "x.pro";
        auto r = Ctl({"profile", "new", utf8, out.string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(test::ReadAll(out), test::BytesOf(*MouseProfile::Create(utf16))) << utf8;
    }
}

TEST(HalvernctlProfile, NewRefusesNamesThatDoNotFitAsUsageErrors) {
    test::TempDir dir;
    for (const std::string& bad : {std::string(100, 'x'), std::string(""), std::string("\xC3")}) {
        auto r = Ctl({"profile", "new", bad, (dir / "x.pro").string()});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "x.pro"));
    }
    EXPECT_EQ(Ctl({"profile", "new", "OnlyName"}).exitCode, 2);
    EXPECT_EQ(Ctl({}).exitCode, 2);
    EXPECT_EQ(Ctl({"frobnicate"}).exitCode, 2);
    auto r = Ctl({"profile", "new", "P", (dir / "no/such/folder/x.pro").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("x.pro"), std::string::npos);
}

TEST(HalvernctlProfile, NewWritesThroughALinkAndRefusesWhatIsNotAFile) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "kept");
    std::filesystem::create_symlink("kept/real.pro", dir / "link.pro");
    auto r = Ctl({"profile", "new", "Linked", (dir / "link.pro").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.pro"));
    EXPECT_EQ(test::ReadAll(dir / "kept/real.pro"), test::BytesOf(*MouseProfile::Create(u"Linked")));

    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::vector<std::string> refused = {"pipe"};
    // A node with the numbers of the full device, made here so that nothing real is at stake.
    if (mknod((dir / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) refused.push_back("full");
    for (const std::string& name : refused) {
        auto out = Ctl({"profile", "new", "P", (dir / name).string()});
        EXPECT_EQ(out.exitCode, 1) << name;
        EXPECT_NE(out.err.find(name + ": cannot write: not a regular file"), std::string::npos) << out.err;
        EXPECT_EQ(std::count(out.err.begin(), out.err.end(), '\n'), 1) << out.err;
        struct stat st {};
        ASSERT_EQ(lstat((dir / name).c_str(), &st), 0);
        EXPECT_FALSE(S_ISREG(st.st_mode)) << name << " was replaced";
    }
}

TEST(HalvernctlProfile, ShowPrintsEveryFieldIncludingButtonsAndMacros) {
    test::TempDir dir;
    auto p = MouseProfile::Create(u"Shown \"quoted\"");
    p->dpiValue[6] = 201;
    p->lightColor = {0x12, 0xAB, 0x34, 0};
    MacroRecord m;
    m.setName(u"Burst");
    m.actionCount = 2;
    m.actions[0] = {0x04, 1, 10};
    m.actions[1] = {0x04, 2, 300};
    p->buttons[8].assignMacro(m, 2, 7, 3);
    p->buttons[8].macroHeader[1] = 9;
    p->buttons[3].assignKey(0x1D, kModCtrl | kModAlt);
    ASSERT_FALSE(ExportProfile(*p, dir / "p.pro"));

    auto r = Ctl({"profile", "show", (dir / "p.pro").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string& j = r.out;
    for (const char* key :
         {"\"name\"",        "\"dpiValue\"",        "\"dpiValueCopy\"", "\"dpiEnabled\"",    "\"dpiStep\"",
          "\"brightness\"",  "\"breathSpeed\"",     "\"sleepTimer\"",   "\"lightOffTimer\"", "\"pollingRate\"",
          "\"moveMode\"",    "\"rippleControl\"",   "\"angleSnap\"",    "\"lightEffect\"",   "\"lightEffectBle\"",
          "\"keyDebounce\"", "\"liftOffDistance\"", "\"lightColor\"",   "\"dpiColor\"",      "\"spareColor\"",
          "\"buttons\"",     "\"macroHeader\""})
        EXPECT_NE(j.find(key), std::string::npos) << key;
    EXPECT_NE(j.find("\"name\": \"Shown \\\"quoted\\\"\""), std::string::npos);
    EXPECT_NE(j.find("\"dpiValue\": [16, 32, 48, 64, 100, 280, 201, 0]"), std::string::npos);
    EXPECT_NE(j.find("\"lightColor\": \"#12ab34\""), std::string::npos);
    EXPECT_NE(j.find("\"macroName\": \"Burst\""), std::string::npos);
    EXPECT_NE(j.find("[4, 1, 10]"), std::string::npos);
    EXPECT_NE(j.find("[4, 2, 300]"), std::string::npos);
    EXPECT_NE(j.find("\"macroHeader\": [0, 9, 0]"), std::string::npos);
    EXPECT_NE(j.find("\"keyModifiers\": 5"), std::string::npos);
    // The profile, its settings with the macro button's own object, and 24 entries.
    EXPECT_EQ(std::count(j.begin(), j.end(), '{'), 27);
}

TEST(HalvernctlProfile, ShowAndMacroShowRefuseFilesThatAreNotRecords) {
    test::TempDir dir;
    test::WriteAll(dir / "short.pro", std::vector<unsigned char>(100, 0));
    auto r = Ctl({"profile", "show", (dir / "short.pro").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("short.pro"), std::string::npos);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    EXPECT_EQ(Ctl({"profile", "show", (dir / "missing.pro").string()}).exitCode, 1);
    EXPECT_EQ(Ctl({"profile", "show", dir.path().string()}).exitCode, 1);
    EXPECT_EQ(Ctl({"macro", "show", (dir / "short.pro").string()}).exitCode, 1);
    EXPECT_EQ(Ctl({"profile", "show"}).exitCode, 2);
}

TEST(HalvernctlProfile, MacroShowRefusesAMacroTheImportRefusesForTheSameReason) {
    test::TempDir dir;
    MacroRecord m;
    m.setName(u"Combo");
    m.loopCount = 3;
    m.actionCount = 1000;  // hostile count: 160 steps are all a record holds
    m.actions[159] = {0xF1, 2, 7};
    ASSERT_FALSE(ExportMacro(m, dir / "c.macro"));
    auto r = Ctl({"macro", "show", (dir / "c.macro").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("the macro 'Combo' holds 1000 steps; a macro holds 0 to 160"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace halvern
