// Macros for tests: `steps` alternating presses and releases of key 0x04 with a short
// delay, so each step takes one unit of a macro chunk (49 steps fill one chunk).
#pragma once

#include <cstddef>
#include <cstdint>

#include "records/MacroRecord.h"

namespace halvern::test {

inline MacroRecord ShortStepMacro(std::size_t steps) {
    MacroRecord m;
    m.setName(u"Burst");
    m.actionCount = static_cast<std::int32_t>(steps);
    for (std::size_t i = 0; i < steps && i < kMaxMacroActions; ++i)
        m.actions[i] = {0x04, static_cast<std::uint8_t>(i % 2 ? MacroAction::Release : MacroAction::Press), 10};
    return m;
}

}  // namespace halvern::test
