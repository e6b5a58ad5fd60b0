// Names the device link matches on: instance keys that pair a receiver's collections,
// the hot-plug names composed from udev's view of a hidraw node, and removals.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "device/DeviceEvent.h"
#include "device/DeviceNames.h"
#include "device/hid/HidapiBackend.h"
#include "device/hid/UdevHotplugSource.h"

namespace halvern {
namespace {

TEST(InstanceKey, IsTheFifthAmpersandFieldSoCollectionsOfOneReceiverShareIt) {
    const char* command =
        R"(\\?\hid#vid_1d57&pid_fa60&mi_01&col01#8&2b9f3c1&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";
    const char* input =
        R"(\\?\hid#vid_1d57&pid_fa60&mi_01&col02#8&2b9f3c1&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030})";
    EXPECT_EQ(ExtractInstanceKey(command), "2b9f3c1");
    EXPECT_EQ(ExtractInstanceKey(input), "2b9f3c1");
    EXPECT_EQ(ExtractInstanceKey("a&b&c&d"), "");
    EXPECT_EQ(ExtractInstanceKey("a&b&c&d&"), "");
    EXPECT_EQ(ExtractInstanceKey("a&b&c&d&last"), "last");
    EXPECT_EQ(ExtractInstanceKey("/dev/hidraw3"), "");
    EXPECT_EQ(ExtractInstanceKey("a&b&c&d&" + std::string(400, 'k')).size(), kMaxPathUnits);
}

// hidraw nodes without a USB device above them: each interface is a HID device of its
// own, and only the physical path says which ones make one receiver.
TEST(InstanceKey, InterfacesWithoutAUsbParentPairByTheirPhysicalPath) {
    const std::string command = InstanceKeyFromPhys("usb-0000:00:14.0-2/input0", "");
    const std::string input = InstanceKeyFromPhys("usb-0000:00:14.0-2/input1", "");
    EXPECT_FALSE(command.empty());
    EXPECT_EQ(command, input);
    EXPECT_NE(command, InstanceKeyFromPhys("usb-0000:00:14.0-3/input1", ""));
    // Only an interface part is cut: the port before it tells devices apart.
    EXPECT_NE(InstanceKeyFromPhys("usb-0000:00:14.0-2/port1", ""), InstanceKeyFromPhys("usb-0000:00:14.0-2/port2", ""));
    EXPECT_NE(InstanceKeyFromPhys("usb-0000:00:14.0-2", ""), InstanceKeyFromPhys("usb-0000:00:14.0-3", ""));
    EXPECT_EQ(InstanceKeyFromPhys("", "receiver"), "");
}

TEST(InstanceKey, BluetoothDevicesOnOneAdapterDifferByTheirUniqueId) {
    const char* adapter = "00:1a:7d:da:71:13";
    EXPECT_NE(InstanceKeyFromPhys(adapter, "d4:11:22:33:44:55"), InstanceKeyFromPhys(adapter, "d4:11:22:33:44:56"));
    EXPECT_EQ(InstanceKeyFromPhys(adapter, "d4:11:22:33:44:55"), InstanceKeyFromPhys(adapter, "d4:11:22:33:44:55"));
}

TEST(UdevMonitor, HearsUdevdWhereItRunsAndTheKernelWhereItDoesNot) {
    char control[] = "/tmp/halvern-udev-control-XXXXXX";
    const int fd = ::mkstemp(control);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_STREQ(UdevMonitorSource(control), "udev");
    std::remove(control);
    EXPECT_STREQ(UdevMonitorSource(control), "kernel");
}

TEST(InterfaceNames, CarryTheIdentitiesTheLinksLookFor) {
    std::string usb = ComposeInterfaceName(HidBus::Usb, 0x1D57, 0xFA60, "/dev/hidraw3");
    EXPECT_EQ(usb, R"(\\?\HID#VID_1D57&PID_FA60#/dev/hidraw3)");
    EXPECT_TRUE(IsReceiverInterface(UpperCased(usb)));
    std::string ble = UpperCased(ComposeInterfaceName(HidBus::Bluetooth, 0x045E, 0x00EE, "/dev/hidraw7"));
    EXPECT_NE(ble.find(kBleVidPart), std::string::npos);
    EXPECT_NE(ble.find(kBlePidPart), std::string::npos);
    EXPECT_FALSE(IsReceiverInterface(ble));
    EXPECT_FALSE(IsReceiverInterface(UpperCased(ComposeInterfaceName(HidBus::Usb, 0x1D57, 0x215E, "/dev/hidraw4"))));
}

TEST(InterfaceNames, ARemovalMatchesTheNodeItNamesOrAWindowsPathItself) {
    std::string name = UpperCased(ComposeInterfaceName(HidBus::Usb, 0x1D57, 0xFA60, "/dev/hidraw3"));
    EXPECT_TRUE(InterfaceNameMatchesPath(name, "/dev/hidraw3"));
    EXPECT_FALSE(InterfaceNameMatchesPath(name, "/dev/hidraw30"));
    EXPECT_FALSE(InterfaceNameMatchesPath(name, "/dev/hidraw"));
    EXPECT_FALSE(InterfaceNameMatchesPath(name, ""));
    const char* windows = R"(\\?\hid#vid_1d57&pid_fa60&mi_01&col02#8&2b9f3c1&0&0001#{4d1e55b2})";
    EXPECT_TRUE(InterfaceNameMatchesPath(UpperCased(windows), windows));
}

TEST(UdevNames, ComeFromTheKernelsHidDeviceNameInTheSysfsPath) {
    DeviceChange change;
    std::string name;
    const char* receiver = "/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.1/0003:1D57:FA60.0004/hidraw/hidraw3";
    ASSERT_TRUE(DeviceChangeFromUdev("add", receiver, "/dev/hidraw3", change, name));
    EXPECT_EQ(change, DeviceChange::Arrival);
    EXPECT_EQ(name, R"(\\?\HID#VID_1D57&PID_FA60#/dev/hidraw3)");

    // A removal may come without its node; the node is named after the sysfs entry.
    ASSERT_TRUE(DeviceChangeFromUdev("remove", receiver, "", change, name));
    EXPECT_EQ(change, DeviceChange::RemoveComplete);
    EXPECT_EQ(name, R"(\\?\HID#VID_1D57&PID_FA60#/dev/hidraw3)");

    const char* ble = "/devices/virtual/misc/uhid/0005:045E:00EE.0009/hidraw/hidraw7";
    ASSERT_TRUE(DeviceChangeFromUdev("add", ble, "/dev/hidraw7", change, name));
    EXPECT_NE(name.find("VID&02045E_PID&00EE"), std::string::npos);

    EXPECT_FALSE(DeviceChangeFromUdev("change", receiver, "/dev/hidraw3", change, name));
    EXPECT_FALSE(DeviceChangeFromUdev("add", "/devices/virtual/misc/hidraw9", "/dev/hidraw9", change, name));
    EXPECT_FALSE(DeviceChangeFromUdev("add", "/devices/0003:1D5Z:FA60.0004/hidraw/hidraw3", "", change, name));
    EXPECT_FALSE(DeviceChangeFromUdev("add", "", "", change, name));
}

TEST(DeviceEvents, AreReadFromTheirBytesWithMissingBytesAsZero) {
    const std::uint8_t report[] = {0x03, 0xEE, 0x40, 0x01, 0x5A};
    DeviceEvent e = EventFromInputReport(report);
    EXPECT_EQ(e.head, 0x40EE);
    EXPECT_EQ(e.value, 0x5A01);
    EXPECT_EQ(e.code(), EventCode::Battery);
    EXPECT_EQ(e.valueLow(), 1);
    EXPECT_EQ(e.valueHigh(), 0x5A);
    const std::uint8_t notification[] = {0xEE, 0x10, 0x02};
    EXPECT_EQ(EventFromNotification(notification), DeviceEvent::Make(EventCode::DpiLevel, 2));
    EXPECT_EQ(EventFromNotification({}), (DeviceEvent{0, 0}));
}

}  // namespace
}  // namespace halvern
