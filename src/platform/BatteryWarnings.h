// When the mouse's battery is worth a warning: once at 15 % and once more at 5 % in each
// discharge. Level reports wander by a point either way, so a warning given stays given
// until the mouse charges; a level well above the low mark also starts a new discharge,
// for a charge that happened while the mouse was out of reach. Pure: the caller feeds it
// what the mouse reports and shows what it returns.
#pragma once

namespace halvern {

class BatteryWarnings {
public:
    static constexpr int kLowLevel = 15;
    static constexpr int kCriticalLevel = 5;
    // A level this far above the low mark means the battery was charged.
    static constexpr int kRechargedMargin = 10;

    enum class Warning { None, Low, Critical };

    // A percentage (0..100) reported while the mouse runs on its battery.
    Warning discharging(int level);

    // The mouse charges, or says it is full: the next discharge warns again.
    void charging();

private:
    bool lowGiven_ = false;
    bool criticalGiven_ = false;
};

}  // namespace halvern
