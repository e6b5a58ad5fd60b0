// The settings page's device observer with the battery watched on the way. Every call
// goes on to the page as it came; the levels the mouse reports on its battery and its
// charging feed BatteryWarnings, and a warning that falls due is handed to `warn`.
// Main thread, as every observer call.
#pragma once

#include <functional>

#include "device/DeviceObserver.h"
#include "platform/BatteryWarnings.h"

namespace halvern {

class BatteryWatch final : public DeviceObserver {
public:
    using Warn = std::function<void(BatteryWarnings::Warning warning, int level)>;

    BatteryWatch(DeviceObserver& page, Warn warn) : page_(page), warn_(std::move(warn)) {}

    void showIndicator(Indicator which, bool visible) override { page_.showIndicator(which, visible); }
    void updateLinkSections() override { page_.updateLinkSections(); }
    void selectDpiLevel(int level) override { page_.selectDpiLevel(level); }
    void selectPollingRate(int pollingRate) override { page_.selectPollingRate(pollingRate); }
    void selectLightEffect(int effect) override { page_.selectLightEffect(effect); }
    void batteryChanged(BatteryState state) override;
    void eventDispatched(Link source, DeviceEvent event) override;

private:
    DeviceObserver& page_;
    Warn warn_;
    BatteryWarnings warnings_;
};

}  // namespace halvern
