#pragma once

#include "Cli.h"

namespace halvern::cli {

// reports FILE.pro --transport cable|receiver|ble [--against LAST.pro]
//
// Prints, one lowercase hex line per buffer, what one apply of FILE.pro writes on that
// transport when the mouse acknowledges every report at once: a full apply, or with
// --against only the groups that differ from LAST.pro (what the mouse last got). It
// runs the apply sequence and the send path themselves against a recording mouse, so
// the macro chunks show as their three 64-byte parts on cable and receiver, and the
// polling report is absent over Bluetooth LE.
int Reports(const Invocation& call);

}  // namespace halvern::cli
