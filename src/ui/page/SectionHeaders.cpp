#include "ui/page/SectionHeaders.h"

#include <array>
#include <string_view>

#include "ui/kit/Button.h"

namespace halvern {

namespace {

constexpr std::chrono::milliseconds kScrollDelay{10};

using Id = SectionHeaders::Id;

struct Header {
    Id id;
    std::string_view check;
    std::string_view panel;
    bool scrollsIntoView;
};
constexpr std::array<Header, 12> kHeaders = {{
    {Id::Button, "ms_1_check_button", "ms_1_hor_button", false},
    {Id::Profile, "ms_1_check_profile", "ms_1_ver_profile", false},
    {Id::Power, "ms_1_check_power", "ms_1_ver_power", false},
    {Id::Dpi, "ms_1_check_dpi", "ms_1_ver_dpi", false},
    {Id::Light, "ms_1_check_light", "ms_1_ver_light", false},
    {Id::Polling, "ms_1_check_prate", "ms_1_ver_prate", false},
    {Id::MouseAttribute, "ms_1_check_mouse_attribute", "ms_1_ver_mouse_attribute", false},
    {Id::PowerSetting, "ms_1_check_power_setting", "ms_1_ver_power_setting", true},
    {Id::LiftOff, "ms_1_check_lift_of_distance", "ms_1_hor_lift_of_distance", true},
    {Id::Debounce, "ms_1_check_key_debounce", "ms_1_hor_key_debounce", true},
    {Id::Ripple, "ms_1_check_ripple_control", "ms_1_hor_ripple_control", true},
    {Id::AngleSnap, "ms_1_check_angle_snap", "ms_1_hor_angle_snap", true},
}};

// Rows in Id order: a header's controls are found by its Id.
constexpr bool InIdOrder() {
    for (std::size_t i = 0; i < kHeaders.size(); ++i)
        if (static_cast<std::size_t>(kHeaders[i].id) != i) return false;
    return true;
}
static_assert(InIdOrder());

}  // namespace

void SectionHeaders::bind(SectionBinder& controls) {
    for (std::size_t i = 0; i < kHeaders.size(); ++i) {
        bound_[i].check = controls.find<kit::CheckBox>(kHeaders[i].check);
        if (bound_[i].check) bound_[i].check->setExpander(true);
        bound_[i].panel = controls.find<kit::Control>(kHeaders[i].panel);
    }
}

void SectionHeaders::showAtStart() {
    for (std::size_t i = 0; i < kHeaders.size(); ++i)
        if (bound_[i].check) bound_[i].check->setChecked(kHeaders[i].id != Id::Light, kit::Notify::No);
    SetVisible(at(Id::LiftOff).check, false);
    SetVisible(at(Id::Light).panel, false);
}

PageEdit SectionHeaders::handle(const kit::Notification& n, MouseProfile&) {
    if (n.type != kit::notify::kCheckClick) return {};
    for (std::size_t i = 0; i < kHeaders.size(); ++i) {
        if (n.sender != bound_[i].check) continue;
        const bool open = n.wParam != 0;
        SetVisible(bound_[i].panel, open);
        if (open && kHeaders[i].scrollsIntoView) timers_.arm(TimerId::ScrollSettings, kScrollDelay);
    }
    return {};
}

void SectionHeaders::followLinks(bool cable, bool ble) {
    for (Id id : {Id::Polling, Id::Debounce}) {
        Bound& header = at(id);
        if (cable) {
            SetVisible(header.check, true);
        } else if (ble) {
            if (header.check && header.check->isChecked()) header.check->setChecked(false, kit::Notify::No);
            SetVisible(header.check, false);
            if (IsShown(header.panel)) SetVisible(header.panel, false);
        }
    }
}

}  // namespace halvern
