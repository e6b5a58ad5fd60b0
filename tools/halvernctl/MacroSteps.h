// Macro steps as words: "a:down", "a:up", "left:click" (a press and its release) and
// "wait:120" (milliseconds added to the pause after the step before). The key names are
// those of the key name table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/MacroRecord.h"

namespace halvern::cli {

// Fills the macro's steps and count from the words (none gives an empty macro); on
// error (one line naming the word) the macro is unchanged.
std::string ParseMacroSteps(const std::vector<std::string>& words, MacroRecord& macro);

// The macro's valid steps, one word each, pauses as "wait:N" after their step; what
// ParseMacroSteps reads back to the same steps.
std::vector<std::string> DescribeMacroSteps(const MacroRecord& macro);

}  // namespace halvern::cli
