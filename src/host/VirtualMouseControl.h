// What a user does on the virtual mouse, for the test driver: the one door through
// which the program's own code reaches the emulator at run time, so that nothing above
// the composition root includes it.
#pragma once

#include <string>
#include <string_view>

namespace halvern {

class DeviceStack;

// Acts on the virtual mouse of `stack` as ACTION says ("dpi N", "polling N", "light N",
// "battery STATUS LEVEL", "plug LINK", "unplug LINK" with LINK receiver, cable or ble).
// The answer is "ok" or "error ..." as the test driver gives it.
std::string ActOnVirtualMouse(DeviceStack* stack, std::string_view action);

}  // namespace halvern
