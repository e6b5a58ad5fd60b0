// The GUI's command line, read before Qt starts: its own options, what ends the program
// before it starts and with which code, and Qt's generic options let through.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

using namespace halvern;

namespace {

CommandLine Parse(std::initializer_list<const char*> words) {
    const std::vector<const char*> args(words);
    return ParseCommandLine(args, "1.2.3");
}

std::optional<StartOptions> Starts(std::initializer_list<const char*> words) {
    const CommandLine line = Parse(words);
    if (const auto* start = std::get_if<StartOptions>(&line)) return *start;
    return std::nullopt;
}

CommandLineExit Exits(std::initializer_list<const char*> words) {
    const CommandLine line = Parse(words);
    if (const auto* exit = std::get_if<CommandLineExit>(&line)) return *exit;
    ADD_FAILURE() << "the program would start";
    return {};
}

TEST(CommandLine, NoArgumentsShowTheWindowAndHiddenKeepsItInTheTray) {
    ASSERT_TRUE(Starts({}));
    EXPECT_FALSE(Starts({})->hidden);
    ASSERT_TRUE(Starts({"--hidden"}));
    EXPECT_TRUE(Starts({"--hidden"})->hidden);
}

TEST(CommandLine, VersionAndHelpPrintOnStandardOutputAndEndWithZero) {
    const CommandLineExit version = Exits({"--hidden", "--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "halvern 1.2.3\n");
    EXPECT_EQ(version.err, "");

    for (const char* help : {"--help", "-h"}) {
        const CommandLineExit exit = Exits({help});
        EXPECT_EQ(exit.code, 0) << help;
        EXPECT_EQ(exit.out, UsageText()) << help;
        EXPECT_EQ(exit.err, "") << help;
    }
    EXPECT_NE(UsageText().find("--hidden"), std::string::npos);
}

TEST(CommandLine, AnUnknownOptionOrAStrayWordPrintsUsageOnStandardErrorAndEndsWithTwo) {
    const CommandLineExit unknown = Exits({"--unknown"});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err, "halvern: unknown option '--unknown'\n" + UsageText());

    const CommandLineExit word = Exits({"--hidden", "profile.pro"});
    EXPECT_EQ(word.code, 2);
    EXPECT_EQ(word.err.rfind("halvern: unexpected argument 'profile.pro'\n", 0), 0u) << word.err;

    // Neither a near miss nor a lone dash is taken for an option it resembles.
    EXPECT_EQ(Exits({"--hide"}).code, 2);
    EXPECT_EQ(Exits({"-hidden"}).code, 2);
    EXPECT_EQ(Exits({"-"}).code, 2);
    EXPECT_EQ(Exits({""}).code, 2);
}

TEST(CommandLine, TheFirstWordThatEndsTheProgramDecides) {
    EXPECT_EQ(Exits({"--bogus", "--version"}).code, 2);
    EXPECT_EQ(Exits({"--version", "--bogus"}).code, 0);
    EXPECT_EQ(Exits({"--help", "--version"}).out, UsageText());
}

TEST(CommandLine, QtsGenericOptionsAndTheirValuesAreLeftForQt) {
    const std::optional<StartOptions> start = Starts(
        {"-platform", "offscreen", "--hidden", "--display", ":1", "-style=fusion", "-reverse", "-session", "1a2b"});
    ASSERT_TRUE(start);
    EXPECT_TRUE(start->hidden);
    // The value is taken as the option's, even when it looks like one of ours.
    ASSERT_TRUE(Starts({"-name", "--hidden"}));
    EXPECT_FALSE(Starts({"-name", "--hidden"})->hidden);

    const CommandLineExit missing = Exits({"--hidden", "-platform"});
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(missing.err.rfind("halvern: option '-platform' needs a value\n", 0), 0u) << missing.err;
}

}  // namespace
