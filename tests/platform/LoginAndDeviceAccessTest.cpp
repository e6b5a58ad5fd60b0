// Start at login (the XDG autostart entry: where it goes, what it runs, turning it on and
// off, and the cases where it cannot be written) and the honest report of device
// access (the udev rule found, the mouse's nodes and which of them can be opened).
#include <gtest/gtest.h>

#include <fstream>

#include "platform/Autostart.h"
#include "platform/DeviceAccess.h"
#include "support/TempDir.h"

namespace halvern {
namespace {

std::string Text(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Put(const std::filesystem::path& p, const std::string& text) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
}

std::string ExecLine(const std::string& entry) {
    const std::size_t at = entry.find("\nExec=");
    return at == std::string::npos ? "" : entry.substr(at + 6, entry.find('\n', at + 1) - at - 6);
}

// ---- Start at login ----

TEST(Autostart, TheEntryGoesToTheConfigFolderUnderTheApplicationId) {
    EXPECT_EQ(Autostart({"/home/ana/.cfg", "/home/ana", "/usr/bin/halvern"}).entryPath(),
              "/home/ana/.cfg/autostart/io.github.halvern.Halvern.desktop");
    EXPECT_EQ(Autostart({std::nullopt, "/home/ana", "/usr/bin/halvern"}).entryPath(),
              "/home/ana/.config/autostart/io.github.halvern.Halvern.desktop");
    // A relative XDG_CONFIG_HOME is invalid by the base directory rules.
    EXPECT_EQ(Autostart({"cfg", "/home/ana", "/usr/bin/halvern"}).entryPath(),
              "/home/ana/.config/autostart/io.github.halvern.Halvern.desktop");
    EXPECT_TRUE(Autostart({std::nullopt, "relative", "/usr/bin/halvern"}).entryPath().empty());
    EXPECT_TRUE(Autostart({std::nullopt, std::nullopt, "/usr/bin/halvern"}).setEnabled(true));
}

TEST(Autostart, TurningItOnWritesAnEntryThatStartsTheProgramHiddenAndOffRemovesIt) {
    test::TempDir dir;
    const Autostart autostart({(dir.path() / "config").string(), std::nullopt, "/usr/bin/halvern"});
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_FALSE(autostart.setEnabled(false));  // nothing to remove is fine
    ASSERT_FALSE(autostart.setEnabled(true));
    EXPECT_TRUE(autostart.isEnabled());
    const std::string entry = Text(autostart.entryPath());
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos);
    EXPECT_EQ(ExecLine(entry), "/usr/bin/halvern --hidden");
    EXPECT_NE(entry.find("\nIcon=io.github.halvern.Halvern\n"), std::string::npos);
    ASSERT_FALSE(autostart.setEnabled(true));  // again: the same entry
    EXPECT_EQ(Text(autostart.entryPath()), entry);
    ASSERT_FALSE(autostart.setEnabled(false));
    EXPECT_FALSE(std::filesystem::exists(autostart.entryPath()));
    EXPECT_FALSE(autostart.isEnabled());
}

TEST(Autostart, AnEntrySwitchedOffByTheDesktopCountsAsOff) {
    test::TempDir dir;
    const Autostart autostart({dir.path().string(), std::nullopt, "/usr/bin/halvern"});
    Put(autostart.entryPath(), "[Desktop Entry]\nExec=halvern --hidden\nHidden=true\n");
    EXPECT_FALSE(autostart.isEnabled());
    Put(autostart.entryPath(), "[Desktop Entry]\nExec=halvern --hidden\nX-GNOME-Autostart-enabled=false\n");
    EXPECT_FALSE(autostart.isEnabled());
    ASSERT_FALSE(autostart.setEnabled(true));
    EXPECT_TRUE(autostart.isEnabled());
}

TEST(Autostart, AProgramPathWithSpecialCharactersIsQuotedAsDesktopEntriesRequire) {
    EXPECT_EQ(ExecLine(Autostart::EntryText("/opt/my apps/halvern")), R"("/opt/my apps/halvern" --hidden)");
    EXPECT_EQ(ExecLine(Autostart::EntryText("/opt/a$b\"c/halvern")), R"("/opt/a\\$b\\"c/halvern" --hidden)");
    EXPECT_EQ(ExecLine(Autostart::EntryText("/opt/back\\slash/halvern")), R"("/opt/back\\\\slash/halvern" --hidden)");
    EXPECT_EQ(ExecLine(Autostart::EntryText("/opt/100%/halvern")), R"("/opt/100%%/halvern" --hidden)");
}

TEST(Autostart, AFolderThatCannotHoldTheEntryIsReportedAndNothingIsLeft) {
    test::TempDir dir;
    Put(dir.path() / "config", "a file where the folder should be");
    const Autostart blocked({(dir.path() / "config").string(), std::nullopt, "/usr/bin/halvern"});
    const std::optional<std::string> error = blocked.setEnabled(true);
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("config"), std::string::npos) << *error;
    EXPECT_FALSE(blocked.isEnabled());

    const Autostart brokenPath({(dir.path() / "other").string(), std::nullopt, "/opt/a\nb/halvern"});
    EXPECT_TRUE(brokenPath.setEnabled(true));
    EXPECT_FALSE(std::filesystem::exists(brokenPath.entryPath()));
}

// ---- Device access ----

class FakeSystem : public ::testing::Test {
protected:
    // A hidraw node whose HID device has `hidId`; `withDevNode` puts its /dev file.
    void node(const std::string& name, const std::string& hidId, bool withDevNode = true) {
        Put(root.path() / "sys/class/hidraw" / name / "device/uevent",
            "DRIVER=hid-generic\nHID_ID=" + hidId + "\nHID_NAME=x\n");
        if (withDevNode) Put(root.path() / "dev" / name, "");
    }
    test::TempDir root;
};

TEST_F(FakeSystem, NoRuleAndNoMouseSaysSo) {
    const DeviceAccess access = DeviceAccess::Probe(root.path());
    EXPECT_TRUE(access.rule.empty());
    EXPECT_TRUE(access.nodes.empty());
}

TEST_F(FakeSystem, TheRuleIsFoundInAnyOfTheUdevFoldersAdministratorsFirst) {
    Put(root.path() / "lib/udev/rules.d/70-halvern.rules", "");
    EXPECT_EQ(DeviceAccess::Probe(root.path()).rule, root.path() / "lib/udev/rules.d/70-halvern.rules");
    Put(root.path() / "usr/lib/udev/rules.d/60-io.github.halvern.Halvern.rules", "");
    EXPECT_EQ(DeviceAccess::Probe(root.path()).rule,
              root.path() / "usr/lib/udev/rules.d/60-io.github.halvern.Halvern.rules");
    Put(root.path() / "etc/udev/rules.d/70-halvern.rules", "");
    Put(root.path() / "etc/udev/rules.d/70-halvern.rules.bak", "");
    EXPECT_EQ(DeviceAccess::Probe(root.path()).rule, root.path() / "etc/udev/rules.d/70-halvern.rules");
}

TEST_F(FakeSystem, OnlyTheMouseNodesOfItsThreeLinksAreCountedAndCheckedForAccess) {
    node("hidraw0", "0003:0000046D:0000C52B");         // someone else's receiver
    node("hidraw1", "0003:00001D57:0000FA60");         // our receiver, first collection
    node("hidraw2", "0003:00001d57:0000fa60");         // second collection, lower case
    node("hidraw3", "0003:00001D57:0000215E", false);  // the cable; node not there
    node("hidraw4", "0005:0000045E:000000EE");         // Bluetooth LE
    const DeviceAccess access = DeviceAccess::Probe(root.path());
    const auto dev = root.path() / "dev";
    EXPECT_EQ(access.nodes,
              (std::vector<std::filesystem::path>{dev / "hidraw1", dev / "hidraw2", dev / "hidraw3", dev / "hidraw4"}));
    EXPECT_EQ(access.openable, (std::vector<std::filesystem::path>{dev / "hidraw1", dev / "hidraw2", dev / "hidraw4"}));
}

}  // namespace
}  // namespace halvern
