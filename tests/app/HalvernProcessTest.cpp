// The real program, started as a user would: the second start brings the first back
// and ends with 1; the tray menu's "exit" ends the first with 0 after the shutdown
// steps in their order; the command line answers before any display is needed.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/RunProcess.h"
#include "support/TempDir.h"

using halvern::test::BackgroundProcess;
using halvern::test::RunProcess;

namespace {

class Halvern : public ::testing::Test {
protected:
    std::map<std::string, std::string> env() const {
        return {{"HALVERN_DATA_DIR", (dir.path() / "data").string()},
                {"XDG_RUNTIME_DIR", dir.path().string()},
                {"QT_QPA_PLATFORM", "offscreen"},
                {"HALVERN_TEST_DRIVER", "1"},
                {"QT_LOGGING_RULES", "halvern.shell.info=true"}};
    }

    std::string ask(BackgroundProcess& p, const std::string& command) {
        p.writeLine(command);
        return p.readLine().value_or("<no answer>");
    }

    // Starts the program again and returns its exit code.
    int startAgain() {
        auto env2 = env();
        env2.erase("HALVERN_TEST_DRIVER");
        return RunProcess(HALVERN_PATH, {}, env2).exitCode;
    }

    halvern::test::TempDir dir;
};

}  // namespace

TEST_F(Halvern, ASecondStartShowsTheFirstWindowAgainAndExitsWithOne) {
    BackgroundProcess first(HALVERN_PATH, {}, env());
    ASSERT_TRUE(first.started());
    ASSERT_EQ(first.readLine(), "ready") << first.err();
    EXPECT_EQ(ask(first, "state"), "state visible=1 minimized=0 title=Halvern Gaming Mouse");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "data"));

    // Hidden in the tray.
    EXPECT_EQ(ask(first, "assume-tray"), "ok");
    EXPECT_EQ(ask(first, "click exit_btn"), "ok");
    EXPECT_EQ(ask(first, "state"), "state visible=0 minimized=0 title=Halvern Gaming Mouse");
    EXPECT_EQ(startAgain(), 1);
    EXPECT_EQ(ask(first, "state"), "state visible=1 minimized=0 title=Halvern Gaming Mouse");

    // Minimised.
    EXPECT_EQ(ask(first, "click min_btn"), "ok");
    EXPECT_EQ(ask(first, "state"), "state visible=1 minimized=1 title=Halvern Gaming Mouse");
    EXPECT_EQ(startAgain(), 1);
    EXPECT_EQ(ask(first, "state"), "state visible=1 minimized=0 title=Halvern Gaming Mouse");

    EXPECT_EQ(ask(first, "tray right"), "ok");
    EXPECT_EQ(ask(first, "menu exit"), "ok");
    EXPECT_EQ(first.waitExit(), 0);
}

TEST_F(Halvern, TrayMenuExitEndsWithZeroAfterTheShutdownOrder) {
    BackgroundProcess p(HALVERN_PATH, {}, env());
    ASSERT_EQ(p.readLine(), "ready") << p.err();
    EXPECT_EQ(ask(p, "tray right"), "ok");
    EXPECT_EQ(ask(p, "menu exit"), "ok");
    ASSERT_EQ(p.waitExit(), 0) << p.err();

    const std::vector<std::string> order = {
        "shutdown: destroy handling",
        "shutdown: DPI display closed",
        "shutdown: hooks removed, hook library freed",
        "shutdown: quit posted",
        "shutdown: event loop ended with 0",
        "shutdown: main window deleted",
        "shutdown: page virtual window removed",
        "shutdown: reader threads stopped",
        "shutdown: settings page destroyed",
        "shutdown: tray icon removed",
        "shutdown: skin layer ended",
    };
    std::size_t at = 0;
    for (const std::string& step : order) {
        const std::size_t found = p.err().find(step, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << step << "\n" << p.err();
        at = found + step.size();
    }

    // The lock is gone with the process: the next start is a first start again.
    BackgroundProcess next(HALVERN_PATH, {}, env());
    ASSERT_EQ(next.readLine(), "ready") << next.err();
    EXPECT_EQ(ask(next, "tray right"), "ok");
    EXPECT_EQ(ask(next, "menu exit"), "ok");
    EXPECT_EQ(next.waitExit(), 0);
}

namespace {

// Qt on the X server with no display to reach: the program aborts if it gets that far.
const std::map<std::string, std::string> kNoDisplay = {
    {"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}};

}  // namespace

TEST(HalvernCommandLine, VersionAndHelpAnswerWithoutADisplay) {
    const auto version = RunProcess(HALVERN_PATH, {"--version"}, kNoDisplay);
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out.rfind("halvern ", 0), 0u) << version.out;
    EXPECT_EQ(version.out.back(), '\n');

    const auto help = RunProcess(HALVERN_PATH, {"--help"}, kNoDisplay);
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_NE(help.out.find("--hidden"), std::string::npos) << help.out;
    EXPECT_EQ(help.err, "");
}

TEST(HalvernCommandLine, AnUnknownOptionPrintsUsageOnStandardErrorAndExitsWithTwo) {
    const auto unknown = RunProcess(HALVERN_PATH, {"--unknown"}, kNoDisplay);
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err.rfind("halvern: unknown option '--unknown'\nusage: halvern", 0), 0u) << unknown.err;
}

TEST_F(Halvern, AHiddenStartWithoutATrayIsMinimisedAndASecondStartShowsIt) {
    // The offscreen platform has no tray, so the window must stay reachable.
    BackgroundProcess p(HALVERN_PATH, {"--hidden"}, env());
    ASSERT_EQ(p.readLine(), "ready") << p.err();
    EXPECT_EQ(ask(p, "state"), "state visible=1 minimized=1 title=Halvern Gaming Mouse");
    EXPECT_EQ(startAgain(), 1);
    EXPECT_EQ(ask(p, "state"), "state visible=1 minimized=0 title=Halvern Gaming Mouse");
    EXPECT_EQ(ask(p, "tray right"), "ok");
    EXPECT_EQ(ask(p, "menu exit"), "ok");
    EXPECT_EQ(p.waitExit(), 0);
    EXPECT_NE(p.err().find("start: no tray to hide in; minimised"), std::string::npos) << p.err();
}
