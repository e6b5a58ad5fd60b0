// The fuzz targets' seeds: well-formed input for each, made from the project's own
// records, the skin and the bytes the mouse sends. make_fuzz_seeds writes them to
// seeds/<Target>/, where libFuzzer starts from them and the smoke tests mutate them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace halvern::fuzz {

using Bytes = std::vector<std::uint8_t>;
// File name -> content, for one target.
using SeedFiles = std::map<std::string, Bytes>;

// Every target's seeds, by target name; layouts, menus and lan.xml come from `res`.
std::map<std::string, SeedFiles> MakeSeeds(const std::filesystem::path& res);

// The committed seeds of `target` under `folder`, in file name order; empty when there
// are none.
std::vector<Bytes> ReadSeeds(const std::filesystem::path& folder, const std::string& target);

}  // namespace halvern::fuzz
