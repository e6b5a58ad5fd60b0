// The current profile, as the device layer sees it: a setting the mouse changed on its
// own (DPI level, polling rate, light effect) is written into it and stored at once,
// which makes it the last applied profile too, so the next apply does not send it
// back. The settings page implements it over its profile list; tools and tests over a
// single record. Main thread only.
#pragma once

#include "records/MouseProfile.h"

namespace halvern {

class ProfileHolder {
public:
    virtual ~ProfileHolder() = default;

    // The profile shown and applied, or nullptr while there is none.
    virtual MouseProfile* currentProfile() = 0;

    // Copies the current profile over the last applied one and saves the store.
    virtual void storeProfile() = 0;
};

}  // namespace halvern
