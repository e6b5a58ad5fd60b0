// halvernctl's device commands, run as built, against the virtual mouse.
#include <gtest/gtest.h>

#include "support/RunProcess.h"

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
    EXPECT_EQ(r.out, "receiver linked\nreceiver: battery 85% on battery\n");
}

TEST(HalvernctlMonitor, StopsAfterTheGivenTimeAndRefusesBadOptions) {
    ProcessResult r = Ctl({"monitor", "--seconds", "1"}, "ble");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "bluetooth connected\n");
    EXPECT_EQ(Ctl({"monitor", "--count", "0"}, "ble").exitCode, 2);
    EXPECT_EQ(Ctl({"monitor", "--seconds"}, "ble").exitCode, 2);
}

}  // namespace
}  // namespace halvern::test
