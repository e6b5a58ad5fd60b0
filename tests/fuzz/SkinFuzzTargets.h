// Fuzz targets for the skin files: a layout (or menu) and the language file. A layout
// that parses must also build into a window and into a list row without harm; a
// language file either loads or leaves the texts as they were.
#pragma once

#include <cstddef>
#include <cstdint>

namespace halvern::fuzz {

void LayoutInput(const std::uint8_t* data, std::size_t size);
void LanguageFileInput(const std::uint8_t* data, std::size_t size);
// A menu file: one that builds gives one command per item to its owner, and none
// once the owner is gone.
void MenuInput(const std::uint8_t* data, std::size_t size);

}  // namespace halvern::fuzz
