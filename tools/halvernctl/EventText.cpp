#include "EventText.h"

#include <cstdio>

namespace halvern::cli {

namespace {

std::string Printf(const char* format, int a, int b = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

std::string DescribeBattery(Link source, DeviceEvent e, bool onCable) {
    const int status = e.valueLow();
    const int level = e.valueHigh();
    if (status == BatteryStatus::Charged) return "battery charged";
    if (status == BatteryStatus::Charging || (onCable && source != Link::Ble)) return "battery charging";
    if (level > 100) return "battery level unknown";
    return Printf("battery %d%%", level);
}

std::string DescribeEvent(Link source, DeviceEvent e, bool onCable) {
    const int value = e.value;
    switch (e.code()) {
        case EventCode::DpiLevel: return Printf("dpi level %d", value);
        case EventCode::PollingRate:
            return value > 0 ? Printf("polling every %d ms (%d Hz)", value, 1000 / value)
                             : Printf("polling every %d ms", value);
        case EventCode::Battery: return DescribeBattery(source, e, onCable);
        case EventCode::Acknowledge:
            return e.valueLow() == 0 ? std::string("acknowledged") : Printf("refused (result %d)", e.valueLow());
        case EventCode::BatteryLevel: return Printf("battery level %d of 10", value);
        case EventCode::LightEffect: return Printf("light effect %d", (value >> 4) & 0xF);
        case EventCode::Saved: return Printf("settings saved on the mouse (%d)", value);
        default: return Printf("event %02x, value %04x", e.code(), value);
    }
}

std::string DescribeIndicator(DeviceObserver::Indicator which, bool visible) {
    switch (which) {
        case DeviceObserver::Indicator::Wired: return visible ? "cable attached (charging)" : "cable detached";
        case DeviceObserver::Indicator::Wireless:
            return visible ? "receiver: mouse answering" : "receiver: mouse silent (no report for 6 s)";
        case DeviceObserver::Indicator::Ble: return visible ? "bluetooth connected" : "bluetooth disconnected";
    }
    return {};
}

}  // namespace halvern::cli
