// What the device layer does to the settings page's controls, as calls the page
// implements (halvernctl implements them too, and prints). Every call comes on the
// main thread. The device layer decides when; the observer only shows.
#pragma once

#include "device/DeviceEvent.h"

namespace halvern {

// The mouse's power as its links report it.
struct BatteryState {
    enum class Kind {
        Plugged,     // a cable was just attached: charging from the start
        Charging,    // reported charging
        Charged,     // reported full
        Level,       // on its battery at `level` percent, 0..100
        OnBattery,   // not charging, no level to show (a Bluetooth LE link went; a level above 100)
        Unreported,  // a Bluetooth LE mouse arrived and has said nothing yet: taken as full
        Unknown,     // the cable went: nothing to say until the mouse reports
    };
    Kind kind = Kind::Unknown;
    int level = 0;  // Level only

    static BatteryState Of(Kind kind) { return {kind, 0}; }
    static BatteryState AtLevel(int level) { return {Kind::Level, level}; }
};

class DeviceObserver {
public:
    enum class Indicator {
        Wired,     // "ms_1_wired"
        Wireless,  // "ms_1_wireless"
        Ble,       // "ms_1_BLE"
    };

    virtual ~DeviceObserver() = default;

    virtual void showIndicator(Indicator which, bool visible) = 0;

    // The sections that depend on the link (UpdateLinkSections), after a link changed.
    virtual void updateLinkSections() = 0;

    // The mouse changed a setting itself; select the matching control without a
    // notification. level: 1..8 ("ms_1_option_dpi_step_%d"); pollingRate: 0..3
    // ("ms_1_btn_prate_%d" with pollingRate + 1); effect: 0..15, the item of
    // "ms_1_combo_light", after which the light sections are refreshed.
    virtual void selectDpiLevel(int level) = 0;
    virtual void selectPollingRate(int pollingRate) = 0;
    virtual void selectLightEffect(int effect) = 0;

    // What the device layer knows of the mouse's power, after every change; the page
    // decides how to show it ("ms_1_progress_power", "ms_1_label_power") and whether its
    // charging animation runs.
    virtual void batteryChanged(BatteryState state) = 0;

    // Every event of the mouse that reached a dispatcher, before its effects; for
    // tools that print them. Ignored events (no marker) are not reported.
    virtual void eventDispatched(Link /*source*/, DeviceEvent /*event*/) {}
};

// Shows nothing: for tools that read the link state afterwards, or override the few
// calls they print.
class QuietDeviceObserver : public DeviceObserver {
public:
    void showIndicator(Indicator, bool) override {}
    void updateLinkSections() override {}
    void selectDpiLevel(int) override {}
    void selectPollingRate(int) override {}
    void selectLightEffect(int) override {}
    void batteryChanged(BatteryState) override {}
};

}  // namespace halvern
