#pragma once

#include "Cli.h"

namespace halvern::cli {

int ProfileNew(const Invocation& call);   // profile new NAME OUT.pro
int ProfileShow(const Invocation& call);  // profile show FILE.pro
int MacroShow(const Invocation& call);    // macro show FILE.macro

}  // namespace halvern::cli
