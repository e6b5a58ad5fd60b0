// The mouse's events and link changes in words, for halvernctl's output.
#pragma once

#include <string>

#include "device/DeviceEvent.h"
#include "device/DeviceObserver.h"

namespace halvern::cli {

// "dpi level 3", "battery 90%", "battery charging", "acknowledged", ... A battery event
// reads as the program shows it: while the cable is attached (`onCable`) the mouse
// charges, whatever status a report over the receiver or the cable carries, unless it
// says charged; over Bluetooth LE only the status counts.
std::string DescribeEvent(Link source, DeviceEvent event, bool onCable);

// "receiver: mouse answering", "cable attached (charging)", ...
std::string DescribeIndicator(DeviceObserver::Indicator which, bool visible);

}  // namespace halvern::cli
