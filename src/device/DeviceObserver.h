// What the device layer does to the settings page's controls, as calls the page
// implements (halvernctl implements them too, and prints). Every call comes on the
// main thread. The device layer decides when; the observer only shows.
#pragma once

#include "device/DeviceEvent.h"

namespace halvern {

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

    // The battery display ("ms_1_progress_power", "ms_1_label_power"):
    // - showCharged: animation stopped, bar 100, label "100%";
    // - showCharging: label "charging_text", the charging animation running (from 0
    //   when restartAnimation is set, else from where it stands);
    // - showBatteryLevel: bar = level, label "%d%%"; only called with 0..100;
    // - clearBatteryDisplay: label empty, animation stopped, the bar where it was;
    // - stopChargingAnimation: the animation stopped, nothing else;
    // - showFullBattery: bar 100, label "100%", the animation left as it is.
    virtual void showCharged() = 0;
    virtual void showCharging(bool restartAnimation) = 0;
    virtual void showBatteryLevel(int level) = 0;
    virtual void clearBatteryDisplay() = 0;
    virtual void stopChargingAnimation() = 0;
    virtual void showFullBattery() = 0;

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
    void showCharged() override {}
    void showCharging(bool) override {}
    void showBatteryLevel(int) override {}
    void clearBatteryDisplay() override {}
    void stopChargingAnimation() override {}
    void showFullBattery() override {}
};

}  // namespace halvern
