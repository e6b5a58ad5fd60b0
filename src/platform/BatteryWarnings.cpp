#include "platform/BatteryWarnings.h"

namespace halvern {

BatteryWarnings::Warning BatteryWarnings::discharging(int level) {
    if (level < 0 || level > 100) return Warning::None;
    if (level >= kLowLevel + kRechargedMargin) charging();
    if (level <= kCriticalLevel && !criticalGiven_) {
        // The first report may already be this low: one warning says it all.
        criticalGiven_ = lowGiven_ = true;
        return Warning::Critical;
    }
    if (level <= kLowLevel && !lowGiven_) {
        lowGiven_ = true;
        return Warning::Low;
    }
    return Warning::None;
}

void BatteryWarnings::charging() { lowGiven_ = criticalGiven_ = false; }

}  // namespace halvern
