// The mouse's events and link changes in words, for halvernctl's output.
#pragma once

#include <string>

#include "device/DeviceEvent.h"
#include "device/DeviceObserver.h"

namespace halvern::cli {

// "dpi level 3", "battery 90% on battery", "acknowledged", ...
std::string DescribeEvent(DeviceEvent event);

// "receiver linked", "cable detached", ...
std::string DescribeIndicator(DeviceObserver::Indicator which, bool visible);

}  // namespace halvern::cli
