#pragma once

#include "Cli.h"

namespace halvern::cli {

// apply FILE.pro|--profile NAME [--full] [--against LAST.pro]
//
// Applies FILE.pro, or the stored profile NAME (read, never written), to the linked
// mouse through the apply worker and send path the program uses, with the same pauses
// and retries, printing progress on standard error. Without --against everything is
// sent, starting with the preamble; with it only the groups that differ from LAST.pro
// (what the mouse holds), unless --full. Fails with one line when no mouse is linked,
// naming the udev rule when a device is there but may not be opened.
int Apply(const Invocation& call);

}  // namespace halvern::cli
