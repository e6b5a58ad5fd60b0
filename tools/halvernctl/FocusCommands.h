// The rules that switch profiles by the application in front, kept in CONFIG.ini beside
// the program's other settings. The program may be running: each change replaces the
// whole file at once, and the program reads it again when it is replaced.
#pragma once

#include "Cli.h"

namespace halvern::cli {

int Rules(const Invocation& call);          // rules
int RulesAdd(const Invocation& call);       // rules add APP PROFILE
int RulesRemove(const Invocation& call);    // rules remove APP
int RulesFallback(const Invocation& call);  // rules fallback PROFILE|keep
int Focused(const Invocation& call);        // focused

}  // namespace halvern::cli
