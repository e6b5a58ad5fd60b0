#pragma once

#include "Cli.h"

namespace halvern::cli {

int ProfileNew(const Invocation& call);       // profile new NAME OUT.pro
int ProfileShow(const Invocation& call);      // profile show FILE.pro
int ProfileSet(const Invocation& call);       // profile set FILE.pro KEY=VALUE...
int ProfileFromJson(const Invocation& call);  // profile from-json IN.json OUT.pro
int MacroShow(const Invocation& call);        // macro show FILE.macro
int MacroNew(const Invocation& call);         // macro new NAME OUT.macro STEP...

}  // namespace halvern::cli
