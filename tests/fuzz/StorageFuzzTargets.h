// Fuzz targets for everything the storage layer reads from outside: the two stores,
// the two record files and CONFIG.ini. Each takes the raw file content and checks the
// promises the loaders make (never crash, always a usable list, the original kept).
// They are run by libFuzzer (HALVERN_FUZZ=ON with clang) and, on every test run, by a
// smoke test over mutated seeds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace halvern::fuzz {

void ProfileStoreInput(const std::uint8_t* data, std::size_t size);
void MacroStoreInput(const std::uint8_t* data, std::size_t size);
void RecordFileInput(const std::uint8_t* data, std::size_t size);
void SettingsFileInput(const std::uint8_t* data, std::size_t size);

}  // namespace halvern::fuzz
