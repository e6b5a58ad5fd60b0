// What assistive technology sees of the kit's controls. Each control's accessible name
// is its shown text, else its hover text (Control::refreshAccessibleName); its role is
// Qt's for the widget it is, except where the kit gives a widget another meaning: an
// Option is a radio button, a Check a check box, a container a grouping, a plain
// control a picture, the colour palette a colour chooser.
#pragma once

namespace halvern::kit {

// Installs the interfaces for those controls; once per process, main thread.
void InstallKitAccessibility();

}  // namespace halvern::kit
