// The current profile, as the device layer sees it. When the mouse changes a setting
// on its own (DPI level, polling rate, light effect), the device layer tells the holder,
// which writes that one value into the current profile and into what the mouse holds
// (the apply worker's lastApplied), and keeps the profile: the change is not sent back,
// and every edit not yet applied still goes out. The settings page implements it over
// its profile list; tools and tests over a single record. Main thread only.
//
// The last applied profile belongs to the apply worker (ApplyWorker owns lastApplied);
// a holder never writes it itself but hands the value to the worker's adoptReported(),
// which takes its place in order with the applies already queued.
#pragma once

#include <cstdint>

#include "records/MouseProfile.h"
#include "records/Settings.h"

namespace halvern {

class ProfileHolder {
public:
    virtual ~ProfileHolder() = default;

    // The profile shown and applied, or nullptr while there is none.
    virtual MouseProfile* currentProfile() = 0;

    // The mouse reported `value` (in the record's units) for `setting`; only called
    // while there is a current profile.
    virtual void settingReported(SettingId setting, std::int32_t value) = 0;

    // The mouse says it saved its settings; it reported no value, so nothing is adopted.
    virtual void mouseSaved() = 0;
};

}  // namespace halvern
