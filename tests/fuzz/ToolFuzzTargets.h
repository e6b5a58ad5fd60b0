// Fuzz targets for what halvernctl reads from outside beyond the record files: the
// settings JSON of `profile from-json`. Run by libFuzzer (HALVERN_FUZZ=ON with clang)
// and, on every test run, by a smoke test over mutated seeds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace halvern::fuzz {

void SettingsJsonInput(const std::uint8_t* data, std::size_t size);

}  // namespace halvern::fuzz
