#include "app/BatteryWatch.h"

namespace halvern {

void BatteryWatch::batteryChanged(BatteryState state) {
    using Kind = BatteryState::Kind;
    if (state.kind == Kind::Plugged || state.kind == Kind::Charging) warnings_.charging();
    page_.batteryChanged(state);
    if (state.kind != Kind::Level) return;
    const BatteryWarnings::Warning due = warnings_.discharging(state.level);
    if (due != BatteryWarnings::Warning::None && warn_) warn_(due, state.level);
}

void BatteryWatch::eventDispatched(Link source, DeviceEvent event) {
    // A receiver reports its level with the "charged" status off the cable; only the
    // event itself tells a full battery from a level.
    if (event.code() == EventCode::Battery && event.valueLow() == BatteryStatus::Charged) warnings_.charging();
    page_.eventDispatched(source, event);
}

}  // namespace halvern
