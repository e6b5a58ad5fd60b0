#include "platform/DeviceAccess.h"

#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "storage/FileIo.h"

namespace halvern {

namespace {

// HID_ID of the receiver, the cable and the Bluetooth LE mouse, as the kernel writes it.
constexpr const char* kMouseHidIds[] = {
    "HID_ID=0003:00001D57:0000FA60",
    "HID_ID=0003:00001D57:0000215E",
    "HID_ID=0005:0000045E:000000EE",
};

std::filesystem::path FindRule(const std::filesystem::path& root) {
    for (const char* folder : {"etc/udev/rules.d", "usr/lib/udev/rules.d", "lib/udev/rules.d"}) {
        std::error_code ec;
        std::vector<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(root / folder, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.find("halvern") != std::string::npos && entry.path().extension() == ".rules")
                found.push_back(entry.path());
        }
        if (!found.empty()) return *std::min_element(found.begin(), found.end());
    }
    return {};
}

bool IsMouseNode(const std::filesystem::path& hidrawEntry) {
    FileContents uevent = ReadFileBytes(hidrawEntry / "device" / "uevent", 16 * 1024);
    if (!uevent.ok()) return false;
    std::string text(reinterpret_cast<const char*>(uevent.data.data()), uevent.data.size());
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return std::any_of(std::begin(kMouseHidIds), std::end(kMouseHidIds),
                       [&](const char* id) { return text.find(id) != std::string::npos; });
}

}  // namespace

DeviceAccess DeviceAccess::Probe(const std::filesystem::path& root) {
    DeviceAccess access;
    access.rule = FindRule(root);
    std::error_code ec;
    std::vector<std::filesystem::path> entries;
    for (const auto& entry : std::filesystem::directory_iterator(root / "sys/class/hidraw", ec))
        entries.push_back(entry.path());
    std::sort(entries.begin(), entries.end());
    for (const auto& entry : entries) {
        if (!IsMouseNode(entry)) continue;
        const std::filesystem::path node = root / "dev" / entry.filename();
        access.nodes.push_back(node);
        if (::access(node.c_str(), R_OK | W_OK) == 0) access.openable.push_back(node);
    }
    return access;
}

}  // namespace halvern
