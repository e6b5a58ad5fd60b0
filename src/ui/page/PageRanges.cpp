#include "ui/page/PageRanges.h"

#include <algorithm>

namespace halvern {

namespace {

bool Clamp(std::int32_t& value, SettingRange range) {
    const std::int32_t clamped = std::clamp(value, range.min, range.max);
    if (clamped == value) return false;
    value = clamped;
    return true;
}

bool Opaque(RgbColor& color) {
    if (color.zero == 0) return false;
    color.zero = 0;
    return true;
}

}  // namespace

bool MakeSettingsSane(MouseProfile& p) {
    using namespace PageRange;
    bool changed = false;
    for (std::size_t i = 0; i < kDpiLevels; ++i) {
        changed |= Clamp(p.dpiValue[i], kDpiValue);
        changed |= Clamp(p.dpiValueCopy[i], kDpiValue);
        changed |= Clamp(p.dpiEnabled[i], kOnOff);
        changed |= Opaque(p.dpiColor[i]);
    }
    changed |= Clamp(p.dpiStep, kDpiStep);
    changed |= Clamp(p.lightEffect, kLightEffect);
    changed |= Clamp(p.lightEffectBle, kLightEffect);
    changed |= Clamp(p.brightness, kBrightness);
    changed |= Clamp(p.breathSpeed, kBreathSpeed);
    changed |= Clamp(p.sleepTimer, kSleepTimer);
    changed |= Clamp(p.lightOffTimer, kLightOffTimer);
    changed |= Clamp(p.keyDebounce, kKeyDebounce);
    changed |= Clamp(p.pollingRate, kPollingRate);
    changed |= Clamp(p.liftOffDistance, kOnOff);
    changed |= Clamp(p.rippleControl, kOnOff);
    changed |= Clamp(p.angleSnap, kOnOff);
    changed |= Clamp(p.moveMode, kOnOff);
    changed |= Opaque(p.lightColor);
    return changed;
}

}  // namespace halvern
