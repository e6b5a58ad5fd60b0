#include "app/BatteryWatch.h"

namespace halvern {

void BatteryWatch::showCharging(bool restartAnimation) {
    warnings_.charging();
    page_.showCharging(restartAnimation);
}

void BatteryWatch::showBatteryLevel(int level) {
    page_.showBatteryLevel(level);
    const BatteryWarnings::Warning due = warnings_.discharging(level);
    if (due != BatteryWarnings::Warning::None && warn_) warn_(due, level);
}

void BatteryWatch::eventDispatched(Link source, DeviceEvent event) {
    // A full battery is shown as "charged" on every link, but on the receiver the same
    // call comes before each level too; the event itself tells them apart.
    if (event.code() == EventCode::Battery && event.valueLow() == BatteryStatus::Charged) warnings_.charging();
    page_.eventDispatched(source, event);
}

}  // namespace halvern
