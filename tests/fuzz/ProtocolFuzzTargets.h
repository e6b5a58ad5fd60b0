// Fuzz target for the reports built from profiles read from outside. The input holds
// two records (the profile to apply and the one the mouse last got; short input is
// zero-filled); every report of a full and of a changes-only apply is built, checked
// against the frame rules, and sent over each link to a recording mouse.
#pragma once

#include <cstddef>
#include <cstdint>

namespace halvern::fuzz {

void ProfileReportsInput(const std::uint8_t* data, std::size_t size);

}  // namespace halvern::fuzz
