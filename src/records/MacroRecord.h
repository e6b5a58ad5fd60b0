// The macro record: one stored macro, written to "macro.data" and ".macro" files
// exactly as it is held in memory (little-endian, fixed UTF-16 name).
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace halvern {

static_assert(std::endian::native == std::endian::little,
              "records are stored as held in memory, which is the little-endian file layout");

// One macro step: a key (HID keyboard usage or mouse button code 0xF1..0xF5), press or
// release, and the pause in milliseconds after it.
struct MacroAction {
    enum Kind : std::uint8_t { None = 0, Press = 1, Release = 2 };

    std::uint8_t key = 0;
    std::uint8_t kind = 0;
    std::uint16_t delay = 0;

    friend bool operator==(const MacroAction&, const MacroAction&) = default;
};
static_assert(sizeof(MacroAction) == 4);
static_assert(offsetof(MacroAction, key) == 0);
static_assert(offsetof(MacroAction, kind) == 1);
static_assert(offsetof(MacroAction, delay) == 2);

inline constexpr std::size_t kMaxMacroActions = 160;
inline constexpr std::size_t kMacroNameUnits = 24;  // 23 characters and the terminator

struct MacroRecord {
    char16_t name[kMacroNameUnits] = {};
    std::int32_t loopCount = 0;  // only set on macros recreated from an imported profile
    std::int32_t actionCount = 0;
    MacroAction actions[kMaxMacroActions] = {};

    static constexpr std::size_t kSize = 696;

    std::u16string nameText() const;
    void setName(std::u16string_view text);  // cut to 23 units

    // The number of steps that can be read safely: actionCount kept within 0..160.
    std::size_t validActionCount() const;

    std::span<const std::byte, kSize> bytes() const;
    std::span<std::byte, kSize> bytes();
};
static_assert(sizeof(MacroRecord) == MacroRecord::kSize);
static_assert(std::is_trivially_copyable_v<MacroRecord>);
static_assert(std::is_standard_layout_v<MacroRecord>);
static_assert(offsetof(MacroRecord, name) == 0);
static_assert(offsetof(MacroRecord, loopCount) == 48);
static_assert(offsetof(MacroRecord, actionCount) == 52);
static_assert(offsetof(MacroRecord, actions) == 56);

// Mouse button codes held in the key byte of a step or of a button assignment.
inline constexpr std::uint8_t kMouseLeft = 0xF1;
inline constexpr std::uint8_t kMouseRight = 0xF2;
inline constexpr std::uint8_t kMouseMiddle = 0xF3;
inline constexpr std::uint8_t kMouseBackward = 0xF4;
inline constexpr std::uint8_t kMouseForward = 0xF5;
constexpr bool IsMouseButtonCode(std::uint32_t code) { return code >= 0xF1 && code <= 0xF5; }

}  // namespace halvern
