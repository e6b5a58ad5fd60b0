// The twelve headers of the page's sections: each a check box whose state is whether its
// panel shows, which screen readers meet as a button that expands its panel. The lower
// five bring the settings column's end into view when opened (timer 514), so the opened
// panel is seen. Polling rate and key debounce cannot be changed over Bluetooth LE:
// while that is the only link their headers go, closed.
#pragma once

#include <array>

#include "device/TimerService.h"
#include "ui/page/PageSection.h"

namespace halvern {

namespace kit {
class CheckBox;
}

class SectionHeaders final : public PageSection {
public:
    enum class Id {
        Button,
        Profile,
        Power,
        Dpi,
        Light,
        Polling,
        MouseAttribute,
        PowerSetting,
        LiftOff,
        Debounce,
        Ripple,
        AngleSnap
    };

    explicit SectionHeaders(TimerService& timers) : timers_(timers) {}

    void bind(SectionBinder& controls) override;
    void refresh(const MouseProfile&) override {}
    PageEdit handle(const kit::Notification& n, MouseProfile& profile) override;

    // Every section open but the light section; the lift-off header hidden for good.
    void showAtStart();
    // After a link changed: with the cable, the polling and debounce headers show
    // (their panels keep their state); with Bluetooth LE and no cable they close and go;
    // otherwise nothing changes.
    void followLinks(bool cable, bool ble);

private:
    struct Bound {
        kit::CheckBox* check = nullptr;
        kit::Control* panel = nullptr;
    };
    Bound& at(Id id) { return bound_[static_cast<std::size_t>(id)]; }

    TimerService& timers_;
    std::array<Bound, 12> bound_{};  // by Id
};

}  // namespace halvern
