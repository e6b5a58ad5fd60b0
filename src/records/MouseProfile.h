// The profile record: everything the mouse can be given, plus the profile's name.
//
// The record is stored raw in "pro.data" and ".pro" files, so this layout is a file
// format: every offset below is pinned, spare fields included. Integers are
// little-endian, texts NUL-terminated UTF-16 in fixed arrays.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "records/MacroRecord.h"

namespace halvern {

// A colour as stored: R, G, B, 0. Controls show it as the opaque ARGB 0xFFRRGGBB.
struct RgbColor {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t zero = 0;

    constexpr std::uint32_t toArgb() const {
        return 0xFF000000u | (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
    }
    static constexpr RgbColor fromArgb(std::uint32_t argb) {
        return {static_cast<std::uint8_t>(argb >> 16), static_cast<std::uint8_t>(argb >> 8),
                static_cast<std::uint8_t>(argb), 0};
    }
    friend bool operator==(const RgbColor&, const RgbColor&) = default;
};
static_assert(sizeof(RgbColor) == 4);

// Assignment codes (`function`) with a name in code; the full list and the texts are
// in the button page's tables.
namespace ButtonFunction {
inline constexpr std::uint8_t Disabled = 0;
inline constexpr std::uint8_t LeftClick = 1;
inline constexpr std::uint8_t RightClick = 2;
inline constexpr std::uint8_t WheelClick = 3;
inline constexpr std::uint8_t Forward = 4;
inline constexpr std::uint8_t Backward = 5;
inline constexpr std::uint8_t DpiCycle = 6;
inline constexpr std::uint8_t ScrollUp = 11;
inline constexpr std::uint8_t ScrollDown = 12;
inline constexpr std::uint8_t KeyCombination = 16;
inline constexpr std::uint8_t Macro = 17;
inline constexpr std::uint8_t Code121 = 121;
}  // namespace ButtonFunction

inline constexpr std::size_t kButtonPositions = 18;  // entries 0..17 are real buttons
inline constexpr std::size_t kButtonEntries = 24;    // 18..23 always zero
inline constexpr std::size_t kDpiLevels = 8;
inline constexpr std::size_t kProfileNameUnits = 100;  // 99 characters and the terminator

// Initial `function` of button entries 0..17.
inline constexpr std::array<std::uint8_t, kButtonPositions> kInitialButtonFunction = {1, 2, 3, 4, 5, 0, 0, 0,  121,
                                                                                      6, 0, 0, 0, 0, 0, 0, 12, 11};

// Modifier bits of `keyModifiers`.
inline constexpr std::uint8_t kModCtrl = 0x01;
inline constexpr std::uint8_t kModShift = 0x02;
inline constexpr std::uint8_t kModAlt = 0x04;
inline constexpr std::uint8_t kModWin = 0x08;

struct ButtonAssignment {
    std::uint8_t index = 0;
    std::uint8_t function = 0;
    std::uint8_t zero2 = 0;
    std::uint8_t keyUsage = 0;
    std::uint8_t zero4[3] = {};
    std::uint8_t keyModifiers = 0;
    std::uint16_t spareWord = 0;
    std::uint8_t zero10[2] = {};
    std::int32_t macroMode = 0;
    char16_t macroName[kMacroNameUnits] = {};
    std::int32_t macroLoopCount = 0;
    std::uint16_t macroActionCount = 0;
    std::uint8_t zero70[1002] = {};
    std::int32_t macroIndex = 0;
    std::int32_t spareIndex = 0;
    std::uint8_t zero1080[4] = {};
    std::uint8_t macroHeader[3] = {};
    std::uint8_t zero1087 = 0;
    MacroAction macroActions[kMaxMacroActions] = {};

    static constexpr std::size_t kSize = 1728;

    std::u16string macroNameText() const;

    // Number of steps that can be read safely: macroActionCount kept within 0..160.
    std::size_t validActionCount() const;

    // Copies the macro into this entry and makes it a macro button (code 17).
    void assignMacro(const MacroRecord& macro, std::int32_t mode, std::int32_t loopCount, std::int32_t listPosition);

    // Makes this entry a key combination (code 16). Coming from another code, the key
    // and the three bytes after it are cleared first.
    void assignKey(std::uint8_t usage, std::uint8_t modifiers);

    // Copies a macro's name, count and steps; mode, loop count and list position stay.
    void copyMacroContent(const MacroRecord& macro);

    // Every byte zero, then the entry's initial function and no macro (macroIndex -1):
    // what an entry becomes when its macro is gone.
    void resetToInitial(std::size_t entry);
};
static_assert(sizeof(ButtonAssignment) == ButtonAssignment::kSize);
static_assert(offsetof(ButtonAssignment, index) == 0);
static_assert(offsetof(ButtonAssignment, function) == 1);
static_assert(offsetof(ButtonAssignment, keyUsage) == 3);
static_assert(offsetof(ButtonAssignment, keyModifiers) == 7);
static_assert(offsetof(ButtonAssignment, spareWord) == 8);
static_assert(offsetof(ButtonAssignment, macroMode) == 12);
static_assert(offsetof(ButtonAssignment, macroName) == 16);
static_assert(offsetof(ButtonAssignment, macroLoopCount) == 64);
static_assert(offsetof(ButtonAssignment, macroActionCount) == 68);
static_assert(offsetof(ButtonAssignment, macroIndex) == 1072);
static_assert(offsetof(ButtonAssignment, spareIndex) == 1076);
static_assert(offsetof(ButtonAssignment, macroHeader) == 1084);
static_assert(offsetof(ButtonAssignment, macroActions) == 1088);

struct MouseProfile {
    char16_t name[kProfileNameUnits] = {};
    char16_t spareText1[500] = {};
    char16_t spareText2[500] = {};
    std::int32_t spareA = 0;
    std::int32_t spareB = 0;
    std::uint8_t spareC = 0;
    std::uint8_t zero2209[3] = {};
    std::int32_t spareD = 0;
    std::uint8_t zero2216[8] = {};
    std::int32_t spareE = 0;
    std::int32_t liftOffDistance = 0;
    std::int32_t spareF = 0;
    std::uint8_t zero2236[8] = {};
    std::int32_t dpiValue[kDpiLevels] = {};
    std::int32_t dpiValueCopy[kDpiLevels] = {};
    std::int32_t dpiEnabled[kDpiLevels] = {};
    std::int32_t brightness = 0;
    std::int32_t breathSpeed = 0;
    std::int32_t sleepTimer = 0;
    std::int32_t lightOffTimer = 0;
    std::int32_t dpiStep = 0;
    std::int32_t pollingRate = 0;
    std::int32_t moveMode = 0;
    std::int32_t rippleControl = 0;
    std::int32_t angleSnap = 0;
    std::int32_t spareG = 0;
    std::int32_t lightEffect = 0;
    std::int32_t lightEffectBle = 0;
    std::uint8_t spareH = 0;
    std::uint8_t zero2389[3] = {};
    std::int32_t keyDebounce = 0;
    RgbColor lightColor;
    RgbColor dpiColor[kDpiLevels];
    RgbColor spareColor[kDpiLevels];
    ButtonAssignment buttons[kButtonEntries];

    static constexpr std::size_t kSize = 43936;

    // A zeroed record with every initial value set and the given name (cut to 99 units).
    static std::unique_ptr<MouseProfile> Create(std::u16string_view name);

    // Writes every initial value except `name`: the restore action keeps the name.
    void initialiseDefaults();

    std::u16string nameText() const;
    void setName(std::u16string_view text);

    std::span<const std::byte, kSize> bytes() const;
    std::span<std::byte, kSize> bytes();
};
static_assert(sizeof(MouseProfile) == MouseProfile::kSize);
static_assert(std::is_trivially_copyable_v<MouseProfile>);
static_assert(std::is_standard_layout_v<MouseProfile>);
static_assert(offsetof(MouseProfile, name) == 0);
static_assert(offsetof(MouseProfile, spareText1) == 200);
static_assert(offsetof(MouseProfile, spareText2) == 1200);
static_assert(offsetof(MouseProfile, spareA) == 2200);
static_assert(offsetof(MouseProfile, spareB) == 2204);
static_assert(offsetof(MouseProfile, spareC) == 2208);
static_assert(offsetof(MouseProfile, spareD) == 2212);
static_assert(offsetof(MouseProfile, spareE) == 2224);
static_assert(offsetof(MouseProfile, liftOffDistance) == 2228);
static_assert(offsetof(MouseProfile, spareF) == 2232);
static_assert(offsetof(MouseProfile, dpiValue) == 2244);
static_assert(offsetof(MouseProfile, dpiValueCopy) == 2276);
static_assert(offsetof(MouseProfile, dpiEnabled) == 2308);
static_assert(offsetof(MouseProfile, brightness) == 2340);
static_assert(offsetof(MouseProfile, breathSpeed) == 2344);
static_assert(offsetof(MouseProfile, sleepTimer) == 2348);
static_assert(offsetof(MouseProfile, lightOffTimer) == 2352);
static_assert(offsetof(MouseProfile, dpiStep) == 2356);
static_assert(offsetof(MouseProfile, pollingRate) == 2360);
static_assert(offsetof(MouseProfile, moveMode) == 2364);
static_assert(offsetof(MouseProfile, rippleControl) == 2368);
static_assert(offsetof(MouseProfile, angleSnap) == 2372);
static_assert(offsetof(MouseProfile, spareG) == 2376);
static_assert(offsetof(MouseProfile, lightEffect) == 2380);
static_assert(offsetof(MouseProfile, lightEffectBle) == 2384);
static_assert(offsetof(MouseProfile, spareH) == 2388);
static_assert(offsetof(MouseProfile, keyDebounce) == 2392);
static_assert(offsetof(MouseProfile, lightColor) == 2396);
static_assert(offsetof(MouseProfile, dpiColor) == 2400);
static_assert(offsetof(MouseProfile, spareColor) == 2432);
static_assert(offsetof(MouseProfile, buttons) == 2464);

// DPI level value v to DPI: v x 50 up to 200, v x 100 - 10000 above.
constexpr std::int32_t DpiFromValue(std::int32_t v) { return v <= 200 ? v * 50 : v * 100 - 10000; }

// A typed DPI to the level value the page keeps (1..280).
constexpr std::int32_t ValueFromDpi(std::int32_t dpi) {
    if (dpi >= 18000) return 280;
    if (dpi <= 50) return 1;
    if (dpi > 10000) return 200 + (dpi - 10000) / 100;
    return dpi / 50;
}

// Makes a record read from outside safe to use: names get their terminator (cut to
// the field) and macro step counts are kept within 0..160. Returns true when anything
// had to change.
bool RepairRecord(MouseProfile& profile);
bool RepairRecord(MacroRecord& macro);

}  // namespace halvern
