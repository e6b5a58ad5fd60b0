#include "storage/FocusRules.h"

#include <gtest/gtest.h>

#include "records/MouseProfile.h"
#include "support/TempDir.h"

namespace halvern {
namespace {

using test::ReadText;
using test::WriteText;

FocusRulesRead Parse(const std::string& section) { return ParseFocusRules(IniDocument::Parse(section)); }

std::vector<std::string> Apps(const FocusRules& rules) {
    std::vector<std::string> out;
    for (const FocusRule& rule : rules.rules) out.push_back(rule.application);
    return out;
}

TEST(FocusRules, WrittenRulesReadBackWithTheRestOfTheFileKept) {
    test::TempDir dir;
    WriteText(
        dir / "CONFIG.ini",
        "[SETTING]\r\nModelId=1\r\n[AutoProfiles]\r\n; old comment\r\nApp7=x\r\nProfile7=y\r\n[Other]\r\nKey=v\r\n");
    FocusRules rules;
    rules.enabled = false;
    rules.fallback = u" Desk top ";  // blanks at the ends survive the quotes
    ASSERT_EQ(rules.set("steam_app_730", u"Shooter"), std::nullopt);
    ASSERT_EQ(rules.set("game.exe", u"Sp\u00e4\u00df"), std::nullopt);
    ASSERT_EQ(SaveFocusRules(dir.path(), rules), std::nullopt);
    EXPECT_EQ(
        ReadText(dir / "CONFIG.ini"),
        "[SETTING]\r\nModelId=1\r\n[AutoProfiles]\r\nEnabled=0\r\nFallback=\" Desk top \"\r\n"
        "App1=\"steam_app_730\"\r\nProfile1=\"Shooter\"\r\nApp2=\"game.exe\"\r\nProfile2=\"Sp\xc3\xa4\xc3\x9f\"\r\n"
        "[Other]\r\nKey=v\r\n");
    const FocusRulesRead read = ReadFocusRules(dir.path());
    EXPECT_EQ(read.rules, rules);
    EXPECT_TRUE(read.problems.empty());
    EXPECT_EQ(SettingsFile(dir.path()).readModelId(), 1);
}

TEST(FocusRules, NoFileOrSectionMeansNoRulesAndSwitchingOn) {
    test::TempDir dir;
    FocusRulesRead read = ReadFocusRules(dir.path());
    EXPECT_TRUE(read.rules.enabled);
    EXPECT_TRUE(read.rules.rules.empty());
    EXPECT_EQ(read.rules.fallback, std::nullopt);
    WriteText(dir / "CONFIG.ini", "[SETTING]\nModelId=0\n");
    read = ReadFocusRules(dir.path());
    EXPECT_TRUE(read.rules.enabled && read.rules.rules.empty() && read.problems.empty());
}

// What anyone may have written into the file: every case leaves out what it must, keeps
// the rest in number order, and says why.
TEST(FocusRules, HostileSectionsKeepOnlyWellFormedRules) {
    const std::string longApp(FocusRules::kMaxApplicationBytes + 1, 'a');
    const std::string longProfile(kProfileNameUnits, 'p');
    struct Case {
        const char* what;
        std::string section;
        std::vector<std::string> apps;
        std::size_t problems;
    };
    const Case cases[] = {
        {"numbers give the order, gaps close", "App3=c\nProfile3=C\nApp1=a\nProfile1=A\n", {"a", "c"}, 0},
        {"an application twice: the first wins", "App1=Game\nProfile1=A\nApp2=game\nProfile2=B\n", {"Game"}, 1},
        {"a key twice: the first counts", "App1=a\nApp1=b\nProfile1=A\n", {"a"}, 0},
        {"too long an application", "App1=" + longApp + "\nProfile1=A\nApp2=b\nProfile2=B\n", {"b"}, 1},
        {"too long a profile name", "App1=a\nProfile1=" + longProfile + "\n", {}, 1},
        {"no profile, no application", "App1=a\nProfile2=B\n", {}, 2},
        {"numbers out of range or malformed",
         "App0=a\nProfile0=A\nApp101=b\nProfile101=B\nApp01=c\nProfile01=C\nApp-1=d\nApp1x=e\n",
         {},
         8},
        {"empty values", "App1=\nProfile1=A\nApp2=\"\"\nProfile2=B\nApp3=c\nProfile3=\n", {}, 3},
        {"invalid UTF-8 and control characters", "App1=\xff\xfe\nProfile1=A\nApp2=a\x01\nProfile2=B\n", {}, 2},
        {"quotes are taken off once", "App1=\"\"quoted\"\"\nProfile1=\"A\"\n", {"\"quoted\""}, 0},
        {"blank at the end of a quoted application", "App1=\"a \"\nProfile1=A\n", {}, 1},
        {"section and keys in any case", "app1=a\nPROFILE1=A\n", {"a"}, 0},
    };
    for (const Case& c : cases) {
        const FocusRulesRead read = Parse("[autoprofiles]\n" + c.section);
        EXPECT_EQ(Apps(read.rules), c.apps) << c.what;
        EXPECT_EQ(read.problems.size(), c.problems) << c.what;
    }
}

TEST(FocusRules, ManyRulesStopAtTheLimitAndAHugeFileIsReadOnlyInPart) {
    std::string section = "[AutoProfiles]\n";
    for (int i = 1; i <= 5000; ++i)
        section += "App" + std::to_string(i) + "=app" + std::to_string(i) + "\nProfile" + std::to_string(i) + "=P\n";
    const FocusRulesRead read = Parse(section);
    EXPECT_EQ(read.rules.rules.size(), FocusRules::kMaxRules);
    EXPECT_EQ(read.rules.rules.back().application, "app100");

    test::TempDir dir;
    WriteText(dir / "CONFIG.ini", section + std::string(2 * SettingsFile::kMaxBytes, ';'));
    EXPECT_EQ(ReadFocusRules(dir.path()).rules.rules.size(), FocusRules::kMaxRules);
    FocusRules rules;
    EXPECT_NE(SaveFocusRules(dir.path(), rules), std::nullopt) << "a file not read whole is not rewritten";
}

TEST(FocusRules, SwitchingAndFallback) {
    const FocusRulesRead read = Parse(
        "[AutoProfiles]\nFallback=Desktop\nApp1=Xmessage\nProfile1=Any message\nApp2=first\nProfile2=First\n"
        "App3=steam_app_730\nProfile3=Gone\n");
    const FocusRules& rules = read.rules;
    using Names = std::vector<std::string>;
    EXPECT_EQ(rules.profileFor(Names{"first", "Xmessage"}), u"Any message") << "list order, not name order";
    EXPECT_EQ(rules.profileFor(Names{"FIRST"}), u"First");
    EXPECT_EQ(rules.profileFor(Names{"steam_app_730"}), u"Gone") << "the caller finds no such profile";
    EXPECT_EQ(rules.profileFor(Names{"firefox", "Navigator"}), u"Desktop");
    EXPECT_EQ(rules.profileFor(Names{}), std::nullopt) << "no window in front";
    FocusRules off = rules;
    off.enabled = false;
    EXPECT_EQ(off.profileFor(Names{"first"}), std::nullopt);
    FocusRules keep = rules;
    keep.fallback.reset();
    EXPECT_EQ(keep.profileFor(Names{"firefox"}), std::nullopt);
}

TEST(FocusRules, EditsAddReplaceMoveRemoveAndFollowRenames) {
    FocusRules rules;
    EXPECT_EQ(rules.set("a", u"A"), std::nullopt);
    EXPECT_EQ(rules.set("b", u"B"), std::nullopt);
    EXPECT_EQ(rules.set("c", u"A"), std::nullopt);
    EXPECT_EQ(rules.set("B", u"C"), std::nullopt) << "an application's rule is changed in its place";
    EXPECT_EQ(Apps(rules), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(rules.rules[1].profile, u"C");
    EXPECT_NE(rules.set(" a", u"A"), std::nullopt);
    EXPECT_NE(rules.set("", u"A"), std::nullopt);

    EXPECT_FALSE(rules.move(0, -1));
    EXPECT_FALSE(rules.move(2, +1));
    EXPECT_TRUE(rules.move(2, -1));
    EXPECT_EQ(Apps(rules), (std::vector<std::string>{"a", "c", "b"}));

    rules.fallback = u"a";
    EXPECT_TRUE(rules.renameProfile(u"A", u"Renamed"));
    EXPECT_EQ(rules.rules[0].profile, u"Renamed");
    EXPECT_EQ(rules.rules[1].profile, u"Renamed");
    EXPECT_EQ(rules.fallback, u"Renamed");
    EXPECT_FALSE(rules.renameProfile(u"nothing", u"x"));

    EXPECT_TRUE(rules.remove("C"));
    EXPECT_FALSE(rules.remove("c"));
    EXPECT_EQ(Apps(rules), (std::vector<std::string>{"a", "b"}));

    for (std::size_t i = rules.rules.size(); i < FocusRules::kMaxRules; ++i)
        ASSERT_EQ(rules.set("app" + std::to_string(i), u"A"), std::nullopt);
    EXPECT_NE(rules.set("one more", u"A"), std::nullopt);
    EXPECT_EQ(rules.set("a", u"Z"), std::nullopt) << "a full list still changes a rule";
}

}  // namespace
}  // namespace halvern
