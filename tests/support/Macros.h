// Macros for tests: `steps` alternating presses and releases of key 0x04 with a short
// delay, so each step takes one unit of a macro chunk (49 steps fill one chunk).
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string_view>

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

// `steps` steps of 200 ms pauses: above 127 ms each takes twice the room, so 120 of them
// need five blocks, one more than a button owns.
inline MacroRecord LongPauseMacro(std::size_t steps, std::u16string_view name) {
    MacroRecord m = ShortStepMacro(steps);
    m.setName(name);
    for (MacroAction& a : m.actions) a.delay = 200;
    return m;
}

// Random bytes from `seed` with `count` steps claimed: what a file that is no macro at
// all reads as.
inline MacroRecord NoiseMacro(unsigned seed, std::int32_t count, std::u16string_view name) {
    MacroRecord m;
    std::mt19937 random(seed);
    for (std::byte& b : m.bytes()) b = static_cast<std::byte>(random());
    m.actionCount = count;
    m.setName(name);
    return m;
}

}  // namespace halvern::test
