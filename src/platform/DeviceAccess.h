// Whether this user can reach the mouse without root: is the udev rule that grants the
// seat's user its HID nodes installed, and can the nodes of a connected mouse be opened
// now. Said as found, never guessed: with no mouse connected the nodes are not known.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace halvern {

struct DeviceAccess {
    // The first rule file found ("/usr/lib/udev/rules.d/70-halvern.rules"), or empty.
    std::filesystem::path rule;
    // The hidraw nodes of the mouse's links ("/dev/hidraw3"), and those this process may
    // open for reading and writing.
    std::vector<std::filesystem::path> nodes;
    std::vector<std::filesystem::path> openable;

    // Looks below `root` ("/" on a running system; a fake tree in tests) in
    // etc/udev/rules.d, usr/lib/udev/rules.d and lib/udev/rules.d for a "*halvern*.rules"
    // file, and in sys/class/hidraw for the nodes of the receiver, the cable and the
    // Bluetooth LE mouse.
    static DeviceAccess Probe(const std::filesystem::path& root = "/");
};

}  // namespace halvern
