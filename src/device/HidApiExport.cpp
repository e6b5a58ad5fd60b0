#include "device/HidApiExport.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>

namespace halvern {

namespace {

// What a library holds as a device handle: one reference to the opened collection.
struct ExportedDevice {
    std::shared_ptr<HidDevice> device;
};

HidBackend& BackendOf(void* context) { return *static_cast<HidBackend*>(context); }

int Enumerate(void* context, std::uint16_t vendorId, std::uint16_t productId, HalvernHidDeviceInfo* out, int capacity) {
    std::vector<HidDeviceInfo> found = BackendOf(context).enumerate(vendorId, productId);
    int n = static_cast<int>(std::min<std::size_t>(found.size(), INT_MAX));
    for (int i = 0; i < n && i < capacity && out; ++i) {
        const HidDeviceInfo& d = found[static_cast<std::size_t>(i)];
        HalvernHidDeviceInfo& o = out[i];
        std::memset(&o, 0, sizeof o);
        // A path that does not fit could not be opened again; leave it empty.
        if (d.path.size() < sizeof o.path) std::memcpy(o.path, d.path.c_str(), d.path.size() + 1);
        o.vendor_id = d.vendorId;
        o.product_id = d.productId;
        o.usage_page = d.usagePage;
        o.usage = d.usage;
        o.bus_type = static_cast<std::int32_t>(d.bus);
        o.interface_number = d.interfaceNumber;
    }
    return n;
}

void* OpenPath(void* context, const char* path) {
    if (!path) return nullptr;
    HidOpenResult r = BackendOf(context).open(path);
    if (!r.device) return nullptr;
    return new ExportedDevice{std::move(r.device)};
}

void Close(void*, void* device) { delete static_cast<ExportedDevice*>(device); }

int ReadTimeout(void*, void* device, unsigned char* data, std::size_t length, int milliseconds) {
    if (!device || !data) return -1;
    return static_cast<ExportedDevice*>(device)->device->read(std::span<std::uint8_t>(data, length),
                                                              std::chrono::milliseconds(std::max(milliseconds, 0)));
}

int SendFeatureReport(void*, void* device, const unsigned char* data, std::size_t length) {
    if (!device || !data) return -1;
    return static_cast<ExportedDevice*>(device)->device->sendFeatureReport(std::span<const std::uint8_t>(data, length));
}

int OpenChangeFd(void* context) { return BackendOf(context).openChangeFd(); }

void InterruptRead(void*, void* device) {
    if (device) static_cast<ExportedDevice*>(device)->device->interruptRead();
}

}  // namespace

HidApiExport::HidApiExport(HidBackend& backend) : backend_(backend) {
    table_.size = sizeof(HalvernHidApi);
    table_.context = &backend_;
    table_.enumerate = Enumerate;
    table_.open_path = OpenPath;
    table_.close = Close;
    table_.read_timeout = ReadTimeout;
    table_.send_feature_report = SendFeatureReport;
    table_.open_change_fd = OpenChangeFd;
    table_.interrupt_read = InterruptRead;
}

}  // namespace halvern
