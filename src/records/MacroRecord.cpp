#include "records/MacroRecord.h"

#include <algorithm>

#include "records/Text.h"

namespace halvern {

std::u16string MacroRecord::nameText() const { return ReadFixedText(name); }

void MacroRecord::setName(std::u16string_view text) { WriteFixedText(name, text); }

std::size_t MacroRecord::validActionCount() const {
    return static_cast<std::size_t>(std::clamp<std::int32_t>(actionCount, 0, kMaxMacroActions));
}

std::span<const std::byte, MacroRecord::kSize> MacroRecord::bytes() const {
    return std::span<const std::byte, kSize>(reinterpret_cast<const std::byte*>(this), kSize);
}

std::span<std::byte, MacroRecord::kSize> MacroRecord::bytes() {
    return std::span<std::byte, kSize>(reinterpret_cast<std::byte*>(this), kSize);
}

}  // namespace halvern
