// The current profile, as the device layer sees it: a setting the mouse changed on its
// own (DPI level, polling rate, light effect) is written into it and stored at once,
// and it becomes the last applied profile too, so the next apply does not send it back.
// The settings page implements it over its profile list; tools and tests over a single
// record. Main thread only.
//
// The last applied profile belongs to the apply worker (ApplyWorker owns lastApplied);
// a holder never writes it itself but hands the profile to the worker's
// adoptAsApplied(), which takes its place in order with the applies already queued.
#pragma once

#include "records/MouseProfile.h"

namespace halvern {

class ProfileHolder {
public:
    virtual ~ProfileHolder() = default;

    // The profile shown and applied, or nullptr while there is none.
    virtual MouseProfile* currentProfile() = 0;

    // Saves the store and has the apply worker adopt the current profile as applied.
    virtual void storeProfile() = 0;
};

}  // namespace halvern
