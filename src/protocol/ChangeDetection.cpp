#include "protocol/ChangeDetection.h"

#include <cstring>
#include <memory>

namespace halvern {

namespace {

template <typename T>
bool Differs(const T& a, const T& b) {
    static_assert(std::is_trivially_copyable_v<T>);
    return std::memcmp(&a, &b, sizeof(T)) != 0;
}

bool DpiGroupDiffers(const MouseProfile& a, const MouseProfile& b) {
    return a.spareE != b.spareE || a.liftOffDistance != b.liftOffDistance || a.spareF != b.spareF ||
           a.rippleControl != b.rippleControl || a.angleSnap != b.angleSnap || a.dpiStep != b.dpiStep ||
           Differs(a.dpiValue, b.dpiValue) || Differs(a.dpiValueCopy, b.dpiValueCopy) ||
           Differs(a.dpiEnabled, b.dpiEnabled) || Differs(a.dpiColor, b.dpiColor);
}

bool LightGroupDiffers(const MouseProfile& a, const MouseProfile& b) {
    return a.lightEffect != b.lightEffect || a.lightEffectBle != b.lightEffectBle || a.breathSpeed != b.breathSpeed ||
           a.brightness != b.brightness || a.keyDebounce != b.keyDebounce || a.lightColor != b.lightColor ||
           a.sleepTimer != b.sleepTimer || a.lightOffTimer != b.lightOffTimer;
}

// The step count is compared too: deleting the last step leaves the step bytes as they
// were, and the mouse would keep the longer macro. A button that becomes a macro button
// gets its chunks even when the copy it holds equals the stale one in lastApplied,
// because the mouse's blocks may hold another profile's macro by then.
bool MacroDiffers(const ButtonAssignment& a, const ButtonAssignment& b) {
    return a.macroMode != b.macroMode || a.macroLoopCount != b.macroLoopCount ||
           a.macroActionCount != b.macroActionCount || Differs(a.macroHeader, b.macroHeader) ||
           a.zero1087 != b.zero1087 || Differs(a.macroActions, b.macroActions) ||
           (a.function == ButtonFunction::Macro && b.function != ButtonFunction::Macro);
}

}  // namespace

ChangeFlags ChangeFlags::All() {
    ChangeFlags all{true, true, true, true, {}};
    all.macro.fill(true);
    return all;
}

ChangeFlags& ChangeFlags::operator|=(const ChangeFlags& other) {
    dpi = dpi || other.dpi;
    polling = polling || other.polling;
    light = light || other.light;
    button = button || other.button;
    for (std::size_t i = 0; i < macro.size(); ++i) macro[i] = macro[i] || other.macro[i];
    return *this;
}

ChangeFlags DetectChanges(const MouseProfile& current, const MouseProfile& lastApplied) {
    ChangeFlags flags;
    flags.dpi = DpiGroupDiffers(current, lastApplied);
    flags.polling = current.pollingRate != lastApplied.pollingRate;
    flags.light = LightGroupDiffers(current, lastApplied);
    flags.button = Differs(current.buttons, lastApplied.buttons);
    for (std::size_t i = 0; i < kButtonPositions; ++i)
        flags.macro[i] = MacroDiffers(current.buttons[i], lastApplied.buttons[i]);
    return flags;
}

ChangeFlags GroupsOf(const SettingRow& setting) {
    // Asked of the detection itself, so the two can never disagree about a field.
    auto before = std::make_unique<MouseProfile>();
    auto after = std::make_unique<MouseProfile>();
    if (std::int32_t* field = IntField(*after, setting)) *field = 1;
    if (RgbColor* color = ColorField(*after, setting)) color->r = 1;
    return DetectChanges(*after, *before);
}

}  // namespace halvern
