#pragma once

#include "Cli.h"

namespace halvern::cli {

// apply FILE.pro [--full] [--against LAST.pro]
//
// Applies FILE.pro to the linked mouse through the apply worker and send path the
// program uses, with the same pauses and retries, printing progress on standard error.
// --full sends everything, starting with the preamble; otherwise only the groups that
// differ from LAST.pro (what the mouse holds), or from a mouse holding nothing when no
// LAST.pro is given. Fails with one line when no mouse is linked.
int Apply(const Invocation& call);

}  // namespace halvern::cli
