#include "UhidDevice.h"

#include <fcntl.h>
#include <linux/uhid.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace halvern::kernel {

namespace {

void CopyText(std::uint8_t* to, std::size_t capacity, const std::string& text) {
    std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(to, text.data(), n);
    to[n] = 0;
}

// Short items of the HID report descriptor: a tag byte with the data size in its low
// two bits, then the data, little-endian.
void Item(std::vector<std::uint8_t>& out, std::uint8_t tag, std::uint32_t value) {
    if (value <= 0xFF) {
        out.insert(out.end(), {static_cast<std::uint8_t>(tag | 1), static_cast<std::uint8_t>(value)});
    } else {
        out.insert(out.end(), {static_cast<std::uint8_t>(tag | 2), static_cast<std::uint8_t>(value),
                               static_cast<std::uint8_t>(value >> 8)});
    }
}

constexpr std::uint8_t kUsagePage = 0x04, kUsage = 0x08, kCollection = 0xA0, kEndCollection = 0xC0, kReportId = 0x84,
                       kLogicalMin = 0x14, kLogicalMax = 0x24, kReportSize = 0x74, kReportCount = 0x94, kInput = 0x80,
                       kFeature = 0xB0;

void Reports(std::vector<std::uint8_t>& out, std::uint16_t usage, const std::vector<ReportSpec>& reports,
             std::uint8_t mainTag) {
    for (const ReportSpec& r : reports) {
        Item(out, kReportId, r.id);
        Item(out, kUsage, usage);
        Item(out, kReportCount, static_cast<std::uint32_t>(r.size - 1));
        Item(out, mainTag, 0x02);  // data, variable, absolute
    }
}

}  // namespace

std::vector<std::uint8_t> ReportDescriptor(std::span<const CollectionSpec> collections) {
    std::vector<std::uint8_t> out;
    for (const CollectionSpec& c : collections) {
        Item(out, kUsagePage, c.usagePage);
        Item(out, kUsage, c.usage);
        Item(out, kCollection, 0x01);  // application
        // Logical maximum 255 needs two bytes, or it would read as -1.
        out.insert(out.end(), {kLogicalMin | 1, 0x00, kLogicalMax | 2, 0xFF, 0x00});
        Item(out, kReportSize, 8);
        Reports(out, c.usage, c.features, kFeature);
        Reports(out, c.usage, c.inputs, kInput);
        out.push_back(kEndCollection);
    }
    return out;
}

// clang-format off
std::vector<std::uint8_t> PointerDescriptor() {
    return {
        0x05, 0x01,        // usage page: generic desktop
        0x09, 0x02,        // usage: mouse
        0xA1, 0x01,        // collection: application
        0x85, kPointerReportId,
        0x09, 0x01,        //   usage: pointer
        0xA1, 0x00,        //   collection: physical
        0x05, 0x09,        //     usage page: buttons 1..3
        0x19, 0x01, 0x29, 0x03,
        0x15, 0x00, 0x25, 0x01,
        0x75, 0x01, 0x95, 0x03,
        0x81, 0x02,        //     input: data, variable, absolute
        0x75, 0x05, 0x95, 0x01,
        0x81, 0x01,        //     input: constant (padding)
        0x05, 0x01,        //     usage page: generic desktop
        0x09, 0x30, 0x09, 0x31,  // X, Y
        0x15, 0x81, 0x25, 0x7F,
        0x75, 0x08, 0x95, 0x02,
        0x81, 0x06,        //     input: data, variable, relative
        0xC0,
        0xC0,
    };
}
// clang-format on

bool UhidDevice::create(const UhidIdentity& id, std::span<const std::uint8_t> descriptor, Handlers handlers,
                        std::string& error) {
    destroy();
    fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        error = std::string("cannot open /dev/uhid: ") + std::strerror(errno);
        return false;
    }
    handlers_ = std::move(handlers);
    auto ev = std::make_unique<uhid_event>();
    std::memset(ev.get(), 0, sizeof *ev);
    ev->type = UHID_CREATE2;
    uhid_create2_req& req = ev->u.create2;
    CopyText(req.name, sizeof req.name, id.name);
    CopyText(req.phys, sizeof req.phys, id.phys);
    CopyText(req.uniq, sizeof req.uniq, id.uniq);
    req.bus = id.bus;
    req.vendor = id.vendorId;
    req.product = id.productId;
    req.rd_size = static_cast<std::uint16_t>(std::min<std::size_t>(descriptor.size(), sizeof req.rd_data));
    std::memcpy(req.rd_data, descriptor.data(), req.rd_size);
    if (!write(ev.get())) {
        error = std::string("UHID_CREATE2: ") + std::strerror(errno);
        destroy();
        return false;
    }
    return true;
}

void UhidDevice::destroy() {
    if (fd_ < 0) return;
    uhid_event ev{};
    ev.type = UHID_DESTROY;
    write(&ev);
    ::close(fd_);
    fd_ = -1;
}

bool UhidDevice::write(const void* event) {
    return ::write(fd_, event, sizeof(uhid_event)) == static_cast<ssize_t>(sizeof(uhid_event));
}

bool UhidDevice::input(std::span<const std::uint8_t> report) {
    if (fd_ < 0) return false;
    auto ev = std::make_unique<uhid_event>();
    std::memset(ev.get(), 0, sizeof *ev);
    ev->type = UHID_INPUT2;
    ev->u.input2.size = static_cast<std::uint16_t>(std::min<std::size_t>(report.size(), UHID_DATA_MAX));
    std::memcpy(ev->u.input2.data, report.data(), ev->u.input2.size);
    return write(ev.get());
}

void UhidDevice::handle() {
    auto ev = std::make_unique<uhid_event>();
    while (fd_ >= 0) {
        std::memset(ev.get(), 0, sizeof *ev);
        if (::read(fd_, ev.get(), sizeof *ev) <= 0) return;
        switch (ev->type) {
            case UHID_OPEN:
            case UHID_CLOSE:
                if (handlers_.openChanged) handlers_.openChanged(ev->type == UHID_OPEN);
                break;
            case UHID_OUTPUT:
                if (handlers_.received) handlers_.received({ev->u.output.data, ev->u.output.size});
                break;
            case UHID_SET_REPORT: {
                const uhid_set_report_req& req = ev->u.set_report;
                bool ok = handlers_.received &&
                          handlers_.received({req.data, std::min<std::size_t>(req.size, UHID_DATA_MAX)});
                uhid_event reply{};
                reply.type = UHID_SET_REPORT_REPLY;
                reply.u.set_report_reply.id = req.id;
                reply.u.set_report_reply.err = ok ? 0 : EIO;
                write(&reply);
                break;
            }
            case UHID_GET_REPORT: {
                // The mouse has nothing to be read back: the protocol never asks.
                auto reply = std::make_unique<uhid_event>();
                std::memset(reply.get(), 0, sizeof *reply);
                reply->type = UHID_GET_REPORT_REPLY;
                reply->u.get_report_reply.id = ev->u.get_report.id;
                reply->u.get_report_reply.err = EIO;
                write(reply.get());
                break;
            }
            default: break;
        }
    }
}

}  // namespace halvern::kernel
