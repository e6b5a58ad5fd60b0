#include "records/MouseProfile.h"

#include <algorithm>
#include <cstring>

#include "records/Text.h"

namespace halvern {

namespace {

constexpr std::array<std::int32_t, kDpiLevels> kDefaultDpiValue = {16, 32, 48, 64, 100, 280, 0, 0};
constexpr std::array<std::int32_t, kDpiLevels> kDefaultDpiEnabled = {1, 1, 1, 1, 1, 1, 0, 0};
// clang-format off
constexpr std::array<RgbColor, kDpiLevels> kDefaultDpiColor = {{
    {255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {255, 255, 0, 0},
    {0, 255, 255, 0}, {255, 0, 255, 0}, {255, 64, 0, 0}, {255, 255, 255, 0},
}};
constexpr std::array<RgbColor, kDpiLevels> kDefaultSpareColor = {{
    {255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {255, 0, 255, 0},
    {255, 255, 0, 0}, {255, 255, 255, 0}, {255, 255, 255, 0}, {255, 128, 0, 0},
}};
// clang-format on
constexpr std::uint16_t kDefaultSpareWord = 562;

template <typename T>
void ZeroBytes(T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memset(static_cast<void*>(&value), 0, sizeof value);
}

// Keeps a fixed text field terminated; returns true when the last unit had to go.
bool TerminateField(std::span<char16_t> field) {
    if (FixedTextIsTerminated(field)) return false;
    field.back() = u'\0';
    // Do not leave half a surrogate pair at the new end.
    if (field.size() >= 2 && field[field.size() - 2] >= 0xD800 && field[field.size() - 2] <= 0xDBFF)
        field[field.size() - 2] = u'\0';
    return true;
}

}  // namespace

std::u16string ButtonAssignment::macroNameText() const { return ReadFixedText(macroName); }

std::size_t ButtonAssignment::validActionCount() const {
    return std::min<std::size_t>(macroActionCount, kMaxMacroActions);
}

void ButtonAssignment::copyMacroContent(const MacroRecord& macro) {
    WriteFixedText(macroName, macro.nameText());
    macroActionCount = static_cast<std::uint16_t>(macro.actionCount);
    std::memcpy(macroActions, macro.actions, sizeof macroActions);
}

void ButtonAssignment::assignMacro(const MacroRecord& macro, std::int32_t mode, std::int32_t loopCount,
                                   std::int32_t listPosition) {
    copyMacroContent(macro);
    macroMode = mode;
    macroLoopCount = loopCount;
    macroIndex = listPosition;
    function = ButtonFunction::Macro;
}

void ButtonAssignment::assignKey(std::uint8_t usage, std::uint8_t modifiers) {
    if (function != ButtonFunction::KeyCombination) {
        keyUsage = 0;
        std::fill(std::begin(zero4), std::end(zero4), std::uint8_t{0});
    }
    function = ButtonFunction::KeyCombination;
    keyUsage = usage;
    keyModifiers = modifiers;
}

void ButtonAssignment::resetToInitial(std::size_t entry) {
    ZeroBytes(*this);
    function = entry < kButtonPositions ? kInitialButtonFunction[entry] : 0;
    macroIndex = -1;
}

std::unique_ptr<MouseProfile> MouseProfile::Create(std::u16string_view profileName) {
    auto profile = std::make_unique<MouseProfile>();
    profile->initialiseDefaults();
    profile->setName(profileName);
    return profile;
}

void MouseProfile::initialiseDefaults() {
    // Everything after the name is rebuilt from zero, so a restore leaves no trace of
    // earlier settings in spare or padding bytes either.
    char16_t keptName[kProfileNameUnits];
    std::memcpy(keptName, name, sizeof name);
    ZeroBytes(*this);
    std::memcpy(name, keptName, sizeof name);

    spareA = 420;
    spareB = 3;
    spareD = 6;
    std::copy(kDefaultDpiValue.begin(), kDefaultDpiValue.end(), dpiValue);
    std::copy(kDefaultDpiValue.begin(), kDefaultDpiValue.end(), dpiValueCopy);
    std::copy(kDefaultDpiEnabled.begin(), kDefaultDpiEnabled.end(), dpiEnabled);
    brightness = 8;
    breathSpeed = 6;
    sleepTimer = 10;
    lightOffTimer = 1;
    dpiStep = 1;
    pollingRate = 3;
    rippleControl = 1;
    spareG = 1;
    lightEffect = 7;
    lightEffectBle = 3;
    spareH = 1;
    keyDebounce = 4;
    lightColor = {0, 255, 0, 0};
    std::copy(kDefaultDpiColor.begin(), kDefaultDpiColor.end(), dpiColor);
    std::copy(kDefaultSpareColor.begin(), kDefaultSpareColor.end(), spareColor);
    for (std::size_t i = 0; i < kButtonPositions; ++i) {
        ButtonAssignment& b = buttons[i];
        b.index = static_cast<std::uint8_t>(i);
        b.function = kInitialButtonFunction[i];
        b.spareWord = kDefaultSpareWord;
        b.macroIndex = -1;
        b.spareIndex = -1;
    }
}

std::u16string MouseProfile::nameText() const { return ReadFixedText(name); }

void MouseProfile::setName(std::u16string_view text) { WriteFixedText(name, text); }

std::span<const std::byte, MouseProfile::kSize> MouseProfile::bytes() const {
    return std::span<const std::byte, kSize>(reinterpret_cast<const std::byte*>(this), kSize);
}

std::span<std::byte, MouseProfile::kSize> MouseProfile::bytes() {
    return std::span<std::byte, kSize>(reinterpret_cast<std::byte*>(this), kSize);
}

bool RepairRecord(MouseProfile& profile) {
    bool changed = TerminateField(profile.name);
    changed |= TerminateField(profile.spareText1);
    changed |= TerminateField(profile.spareText2);
    for (ButtonAssignment& b : profile.buttons) {
        changed |= TerminateField(b.macroName);
        if (b.macroActionCount > kMaxMacroActions) {
            b.macroActionCount = kMaxMacroActions;
            changed = true;
        }
    }
    return changed;
}

bool RepairRecord(MacroRecord& macro) {
    bool changed = TerminateField(macro.name);
    if (macro.actionCount < 0 || macro.actionCount > static_cast<std::int32_t>(kMaxMacroActions)) {
        macro.actionCount = std::clamp<std::int32_t>(macro.actionCount, 0, kMaxMacroActions);
        changed = true;
    }
    return changed;
}

}  // namespace halvern
