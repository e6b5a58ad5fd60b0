// hidapi's hidraw backend as a HalvernHidApi table, for a host that supplies none.
#include <hidapi/hidapi.h>

#include <climits>
#include <cstring>

#include "CableDriver.h"

namespace halvern::driver {

namespace {

int Enumerate(void*, std::uint16_t vendorId, std::uint16_t productId, HalvernHidDeviceInfo* out, int capacity) {
    hid_device_info* list = hid_enumerate(vendorId, productId);
    int n = 0;
    for (hid_device_info* d = list; d; d = d->next, ++n) {
        if (n >= capacity || !out) continue;
        HalvernHidDeviceInfo& o = out[n];
        std::memset(&o, 0, sizeof o);
        if (d->path && std::strlen(d->path) < sizeof o.path) std::strcpy(o.path, d->path);
        o.vendor_id = d->vendor_id;
        o.product_id = d->product_id;
        o.usage_page = d->usage_page;
        o.usage = d->usage;
        o.bus_type = d->bus_type;
        o.interface_number = d->interface_number;
    }
    hid_free_enumeration(list);
    return n;
}

void* OpenPath(void*, const char* path) { return path ? hid_open_path(path) : nullptr; }

void Close(void*, void* device) {
    if (device) hid_close(static_cast<hid_device*>(device));
}

int ReadTimeout(void*, void* device, unsigned char* data, std::size_t length, int milliseconds) {
    return hid_read_timeout(static_cast<hid_device*>(device), data, length, milliseconds);
}

int SendFeatureReport(void*, void* device, const unsigned char* data, std::size_t length) {
    return hid_send_feature_report(static_cast<hid_device*>(device), data, length);
}

int NoChangeFd(void*) { return -1; }

}  // namespace

HalvernHidApi SystemHidApi() {
    HalvernHidApi api{};
    api.size = sizeof api;
    api.enumerate = Enumerate;
    api.open_path = OpenPath;
    api.close = Close;
    api.read_timeout = ReadTimeout;
    api.send_feature_report = SendFeatureReport;
    api.open_change_fd = NoChangeFd;
    return api;
}

}  // namespace halvern::driver
