// halvernctl's device commands, run as built, against the virtual mouse.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "storage/RecordFiles.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace halvern::test {
namespace {

ProcessResult Ctl(const std::vector<std::string>& args, const std::string& emulator) {
    return RunProcess(HALVERNCTL_PATH, args, {{"HALVERN_EMULATOR", emulator}, {"HALVERN_EMULATOR_LOG", ""}});
}

TEST(HalvernctlDevices, ListsEachLinkOfTheVirtualMouse) {
    ProcessResult r = Ctl({"devices"}, "receiver,cable,ble");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("cable: linked\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(mouse answering)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("bluetooth: connected\n"), std::string::npos) << r.out;
    EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST(HalvernctlDevices, WithoutAMouseSaysSoInOneLineAndFails) {
    ProcessResult r = RunProcess(HALVERNCTL_PATH, {"devices"}, {{"HALVERN_EMULATOR", "receiver:locked"}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("receiver: /dev/"), std::string::npos) << r.out;
    // A node that exists but may not be opened is not "no mouse": the udev rule is named.
    EXPECT_NE(r.err.find("permission denied"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("packaging/udev/70-halvern.rules"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

TEST(HalvernctlDevices, ANameThatIsNoLinkIsAnError) {
    ProcessResult r = Ctl({"devices"}, "receiver,mouse");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "halvernctl: HALVERN_EMULATOR: unknown link 'mouse' (use receiver, cable or ble)\n");
    EXPECT_EQ(Ctl({"devices", "extra"}, "receiver").exitCode, 2);
}

TEST(HalvernctlMonitor, PrintsTheMouseEventsDecoded) {
    ProcessResult r = Ctl({"monitor", "--count", "1"}, "receiver");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "receiver: mouse answering\nreceiver: battery 85%\n");
    EXPECT_EQ(r.err, "") << "a count without a time limit must not upset the event loop's timers";
}

// With the cable and the receiver both there the mouse charges on its cable and both
// pass its battery reports on; each report through the receiver counts once as the
// receiver answering and once as the mouse being on its cable. None of that blinking
// is printed, and every battery report says charging.
TEST(HalvernctlMonitor, OnItsCableTheMouseChargesAndTheReceiverDoesNotBlink) {
    ProcessResult r = Ctl({"monitor", "--seconds", "10"}, "receiver,cable");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("cable attached (charging)\n", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("mouse answering"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("mouse silent"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("%"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("cable: battery charging\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("receiver: battery charging\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST(HalvernctlMonitor, ALongTimeLimitIsTakenAsGiven) {
    ProcessResult r = Ctl({"monitor", "--count", "1", "--seconds", "2147483"}, "receiver");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
}

TEST(HalvernctlEmulatorLog, ALogThatCannotBeOpenedIsOneLineAndAFailure) {
    TempDir dir;
    ProcessResult r =
        RunProcess(HALVERNCTL_PATH, {"devices"},
                   {{"HALVERN_EMULATOR", "receiver"}, {"HALVERN_EMULATOR_LOG", (dir / "no/such/dir/log").string()}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("halvernctl: HALVERN_EMULATOR_LOG: cannot open ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("no/such/dir/log"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

TEST(HalvernctlMonitor, StopsAfterTheGivenTimeAndRefusesBadOptions) {
    ProcessResult r = Ctl({"monitor", "--seconds", "1"}, "ble");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "bluetooth connected\n");
    EXPECT_EQ(Ctl({"monitor", "--count", "0"}, "ble").exitCode, 2);
    EXPECT_EQ(Ctl({"monitor", "--seconds"}, "ble").exitCode, 2);
}

// ---- apply ----

using namespace std::chrono_literals;

std::string ReadText(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::filesystem::path ProfileWithMacro(const TempDir& dir, int button, int steps) {
    auto p = MouseProfile::Create(u"x");
    MacroRecord m;
    m.setName(u"m");
    m.actionCount = steps;
    for (int i = 0; i < steps; ++i)
        m.actions[i] = {0x04, static_cast<std::uint8_t>(1 + i % 2), static_cast<std::uint16_t>(10 * i)};
    p->buttons[button].assignMacro(m, 1, 2, 0);
    std::filesystem::path file = dir / "x.pro";
    EXPECT_FALSE(ExportProfile(*p, file));
    return file;
}

// The pauses the send path owes the mouse for these buffers when it answers at once.
std::chrono::milliseconds MandatedPauses(const std::string& lines, const std::string& transport) {
    const bool cable = transport == "cable";
    std::chrono::milliseconds total{0};
    int parts = 0;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("09", 0) == 0) {
            total += cable ? 200ms : 1000ms;
            if (++parts % 3 == 0) total += 500ms;  // after every macro chunk
        } else {
            total += cable ? 200ms : 500ms;
        }
    }
    return total;
}

class HalvernctlApply : public ::testing::TestWithParam<const char*> {};

TEST_P(HalvernctlApply, TheVirtualMouseReceivesExactlyWhatReportsPrintsWithTheMandatedPauses) {
    const std::string transport = GetParam();
    TempDir dir;
    // A short macro on the receiver (its three parts cost 3.5 s), one of two chunks on
    // the cable.
    std::filesystem::path profile = transport == "cable" ? ProfileWithMacro(dir, 0, 60) : ProfileWithMacro(dir, 1, 4);
    std::filesystem::path log = dir / "f";

    auto start = std::chrono::steady_clock::now();
    ProcessResult applied = RunProcess(HALVERNCTL_PATH, {"apply", profile.string(), "--full"},
                                       {{"HALVERN_EMULATOR", transport}, {"HALVERN_EMULATOR_LOG", log.string()}});
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    ASSERT_EQ(applied.exitCode, 0) << applied.err;

    ProcessResult reports = RunProcess(HALVERNCTL_PATH, {"reports", profile.string(), "--transport", transport});
    ASSERT_EQ(reports.exitCode, 0) << reports.err;
    EXPECT_EQ(ReadText(log), reports.out);

    const std::chrono::milliseconds mandated = MandatedPauses(reports.out, transport);
    EXPECT_GE(took, mandated);
    EXPECT_LT(took, mandated + 3000ms) << "the apply took " << took.count() << " ms for " << mandated.count()
                                       << " ms of pauses";
    EXPECT_NE(applied.err.find("halvernctl: applying, 0 of "), std::string::npos) << applied.err;
}

INSTANTIATE_TEST_SUITE_P(Links, HalvernctlApply, ::testing::Values("receiver", "cable"));

TEST(HalvernctlApplyFailures, NoMouseUnreadableFilesAndMisuse) {
    TempDir dir;
    std::filesystem::path profile = ProfileWithMacro(dir, 0, 1);
    ProcessResult locked =
        RunProcess(HALVERNCTL_PATH, {"apply", profile.string()}, {{"HALVERN_EMULATOR", "receiver:locked"}});
    EXPECT_EQ(locked.exitCode, 1);
    // As `devices` says it: the receiver is there, the user may not open it.
    EXPECT_EQ(locked.err.rfind("halvernctl: /dev/", 0), 0u) << locked.err;
    EXPECT_NE(locked.err.find("permission denied"), std::string::npos) << locked.err;
    EXPECT_NE(locked.err.find("packaging/udev/70-halvern.rules"), std::string::npos) << locked.err;
    EXPECT_EQ(std::count(locked.err.begin(), locked.err.end(), '\n'), 1) << locked.err;

    ProcessResult missing =
        RunProcess(HALVERNCTL_PATH, {"apply", (dir / "none.pro").string()}, {{"HALVERN_EMULATOR", "ble"}});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1) << missing.err;

    EXPECT_EQ(RunProcess(HALVERNCTL_PATH, {"apply"}, {{"HALVERN_EMULATOR", "ble"}}).exitCode, 2);
    EXPECT_EQ(
        RunProcess(HALVERNCTL_PATH, {"apply", profile.string(), "--fast"}, {{"HALVERN_EMULATOR", "ble"}}).exitCode, 2);
}

// A group at its zero value is still sent when nothing says what the mouse holds.
TEST(HalvernctlApplyFailures, WithoutAgainstEverythingGoesEvenAPollingRateOfZero) {
    TempDir dir;
    auto p = MouseProfile::Create(u"slow");
    p->pollingRate = 0;
    ASSERT_FALSE(ExportProfile(*p, dir / "slow.pro"));
    ProcessResult r = RunProcess(HALVERNCTL_PATH, {"apply", (dir / "slow.pro").string()},
                                 {{"HALVERN_EMULATOR", "cable"}, {"HALVERN_EMULATOR_LOG", (dir / "f").string()}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ProcessResult full = RunProcess(HALVERNCTL_PATH, {"reports", (dir / "slow.pro").string(), "--transport", "cable"});
    const std::string log = ReadText(dir / "f");
    EXPECT_EQ(log, full.out);
    EXPECT_NE(log.find("\n06090108f700000000\n"), std::string::npos) << "the 125 Hz polling report is missing:\n"
                                                                     << log;
}

// `halvernctl apply` of a profile against the last one, which differs only in its
// debounce, on the virtual mouse of `emulator`; what the mouse received is in dir/f.
ProcessResult ApplyDebounceChange(const TempDir& dir, const char* emulator) {
    auto last = MouseProfile::Create(u"x");
    auto next = MouseProfile::Create(u"x");
    next->keyDebounce = 3;
    if (ExportProfile(*last, dir / "last.pro") || ExportProfile(*next, dir / "next.pro"))
        return {-1, {}, "export failed"};
    return RunProcess(HALVERNCTL_PATH, {"apply", (dir / "next.pro").string(), "--against", (dir / "last.pro").string()},
                      {{"HALVERN_EMULATOR", emulator}, {"HALVERN_EMULATOR_LOG", (dir / "f").string()}});
}

TEST(HalvernctlApplyFailures, AgainstTheLastProfileOnlyTheChangedGroupsGo) {
    TempDir dir;
    ProcessResult r = ApplyDebounceChange(dir, "ble");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string log = ReadText(dir / "f");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_EQ(log.rfind("050f01", 0), 0u) << log;
}

TEST(HalvernctlApplyFailures, AMouseThatNeverAcknowledgesFailsTheApplyInOneLine) {
    TempDir dir;
    ProcessResult r = ApplyDebounceChange(dir, "receiver:silent");
    EXPECT_EQ(r.exitCode, 1);
    const std::string lastLine =
        "halvernctl: the mouse did not confirm every report; it may hold part of the profile\n";
    ASSERT_GE(r.err.size(), lastLine.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - lastLine.size()), lastLine) << r.err;
    std::string log = ReadText(dir / "f");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 10) << log;  // every attempt was made
}

}  // namespace
}  // namespace halvern::test
