// Fuzz target for what the shell reads from other processes: the line a second start
// sends the running copy over the single-instance socket.
#pragma once

#include <cstddef>
#include <cstdint>

namespace halvern::fuzz {

// The bytes a second start sends, arriving in any split.
void SingleInstanceLineInput(const std::uint8_t* data, std::size_t size);

}  // namespace halvern::fuzz
