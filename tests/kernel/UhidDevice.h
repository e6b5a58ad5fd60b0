// One HID device made in the kernel through /dev/uhid: created with a report
// descriptor, it gets a hidraw node and raises real uevents; destroyed (or its
// descriptor closed), both go again. The kernel's requests (feature reports set and
// got, output reports, open and close of the node) arrive on fd() and are answered
// through handle().
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace halvern::kernel {

struct UhidIdentity {
    std::string name;
    // Equal for the interfaces of one device, as a USB device's path is; the part
    // after the last '/' names the interface.
    std::string phys;
    std::string uniq;
    std::uint16_t bus = 0x03;  // BUS_USB
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

class UhidDevice {
public:
    struct Handlers {
        // A feature or output report the kernel hands over, report id in byte 0.
        // Returns false to refuse it (the writer sees an I/O error).
        std::function<bool(std::span<const std::uint8_t> report)> received;
        // The node was opened by its first reader, or closed by its last.
        std::function<void(bool open)> openChanged;
    };

    UhidDevice() = default;
    ~UhidDevice() { destroy(); }
    UhidDevice(const UhidDevice&) = delete;
    UhidDevice& operator=(const UhidDevice&) = delete;

    // Opens /dev/uhid and creates the device. False with `error` set on failure.
    bool create(const UhidIdentity& id, std::span<const std::uint8_t> descriptor, Handlers handlers,
                std::string& error);
    void destroy();
    bool created() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Reads and answers what the kernel sent; call when fd() is readable.
    void handle();

    // An input report, report id in byte 0.
    bool input(std::span<const std::uint8_t> report);

private:
    bool write(const void* event);

    int fd_ = -1;
    Handlers handlers_;
};

// Report descriptors built from the reports a device carries.
struct ReportSpec {
    std::uint8_t id;
    std::size_t size;  // with the id byte
};
// A vendor collection: byte fields of one usage, each report `size` bytes long.
struct CollectionSpec {
    std::uint16_t usagePage;
    std::uint16_t usage;
    std::vector<ReportSpec> features;
    std::vector<ReportSpec> inputs;
};
std::vector<std::uint8_t> ReportDescriptor(std::span<const CollectionSpec> collections);

// A boot-style pointer (three buttons, relative X and Y) under report id 1, as the
// receiver's mouse moves it: input reports 01 buttons dx dy.
inline constexpr std::uint8_t kPointerReportId = 1;
std::vector<std::uint8_t> PointerDescriptor();

}  // namespace halvern::kernel
