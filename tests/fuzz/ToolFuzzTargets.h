// Fuzz targets for what halvernctl reads from outside beyond the record files: the
// document of `profile from-json`, and any record on its way through `profile show`
// and back. Run by libFuzzer (HALVERN_FUZZ=ON with clang) and, on every test run, by a
// smoke test over mutated seeds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace halvern::fuzz {

void SettingsJsonInput(const std::uint8_t* data, std::size_t size);
void ShownProfileInput(const std::uint8_t* data, std::size_t size);

}  // namespace halvern::fuzz
