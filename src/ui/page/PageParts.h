// What the settings page is given by whoever builds it: the data folder, the link state,
// the window's timers, the clock, and the desktop services it asks for. Each optional
// part left empty makes its feature inert (tests leave most of them so).
#pragma once

#include <QPoint>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/TimerService.h"
#include "protocol/Clock.h"
#include "protocol/LinkState.h"
#include "protocol/Transports.h"

namespace halvern {

class DeviceLink;
class FocusWatcher;
class HookLibrary;
class KeyboardLayout;

struct PageParts {
    std::filesystem::path dataFolder;  // CONFIG.ini; the stores in its model folder
    LinkState& links;
    TimerService& timers;          // the window's timer table
    Clock& clock;                  // the apply worker's pauses
    DeviceLink* device = nullptr;  // null: no transports, no initial BLE step
    // Starts the desktop's own mouse settings; false when none could be started.
    std::function<bool()> openMouseSettings{};
    // Asks for a colour under a button: the start colour as 0xAARRGGBB and where the
    // picker's top-left corner goes; nullopt when the user cancelled.
    std::function<std::optional<std::uint32_t>(std::uint32_t argb, QPoint origin)> pickColor{};
    // What the apply worker writes through when there is no device link (tests).
    Transports transports{};
    // The desktop's keyboard layout, for key names; asked for only when a key is shown.
    // Empty: the US layout.
    std::function<const KeyboardLayout&()> keyboard{};
    // The hook library the main window loaded; its table goes to the macro editor.
    const HookLibrary* hooks = nullptr;
    // The window in front, for the profiles that follow it (started once the window is
    // up); null: profiles never switch by themselves. The names of the program's own
    // windows, which leave the profile as it is.
    FocusWatcher* focus = nullptr;
    std::vector<std::string> ownApplications{};
};

}  // namespace halvern
