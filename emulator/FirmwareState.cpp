#include "FirmwareState.h"

#include <algorithm>
#include <sstream>

#include "FirmwareTables.h"

namespace halvern::emu {

namespace {

// Index of `reg` within kSensorRegister[from..to], or -1.
int IndexIn(std::uint8_t reg, int from, int to) {
    for (int i = from; i <= to; ++i)
        if (kSensorRegister[static_cast<std::size_t>(i)] == reg) return i;
    return -1;
}

int ExpectedLevelValue(std::int32_t v) {
    if (v <= 300) return v;
    return 300 + 2 * ((v - 300) / 2);
}

int ExpectedDelay(int delay) {
    if (delay <= 127) return std::max(delay, 2);
    return (delay / 100) * 100 + std::max(delay % 100, 2);
}

template <typename T>
void Compare(std::vector<std::string>& out, const std::string& field, const T& actual, const T& expected) {
    if (actual == expected) return;
    std::ostringstream line;
    line << field << ": actual " << actual << ", expected " << expected;
    out.push_back(line.str());
}

std::string ColorText(RgbColor c) {
    std::ostringstream s;
    s << '(' << int{c.r} << ',' << int{c.g} << ',' << int{c.b} << ')';
    return s.str();
}

std::string BytesText(const std::array<std::uint8_t, 3>& b) {
    char text[16];
    std::snprintf(text, sizeof text, "%02x %02x %02x", b[0], b[1], b[2]);
    return text;
}

std::string MacroText(const FirmwareMacro& m) {
    std::ostringstream s;
    s << (m.complete ? "" : "incomplete ") << "mode " << int{m.mode} << " header " << int{m.header[0]} << ','
      << int{m.header[1]} << ',' << int{m.header[2]} << " loop " << int{m.loopCount} << " steps [";
    for (const MacroStep& step : m.steps) s << ' ' << int{step.key} << '/' << int{step.kind} << '/' << step.delay;
    s << " ]";
    return s.str();
}

}  // namespace

int DecodeDpiLevel(std::uint8_t reg, bool rangeFlag, bool highRange) {
    if (!rangeFlag && !highRange) return IndexIn(reg, 0, 200);
    if (rangeFlag && !highRange) {
        int i = IndexIn(reg, 201, 220);
        return i;
    }
    if (!rangeFlag && highRange) {
        int i = IndexIn(reg, 121, 200);
        return i < 0 ? -1 : i + 100;
    }
    int i = IndexIn(reg, 200, 220);
    return i < 0 ? -1 : 300 + 2 * (i - 200);
}

std::array<std::uint8_t, 3> DeviceBytes(const ButtonAssignment& button, std::size_t entry) {
    std::array<std::uint8_t, 3> bytes{};
    for (const DeviceCode& code : kDeviceCodes) {
        if (code.function != button.function) continue;
        bytes = {code.bytes[0], code.bytes[1], code.bytes[2]};
        break;
    }
    if (button.function == 16) bytes = {bytes[0], button.keyModifiers, button.keyUsage};
    if (button.function == 17)
        bytes = {bytes[0], 0, entry < kMacroFirstBlock.size() ? kMacroFirstBlock[entry] : std::uint8_t{0}};
    return bytes;
}

FirmwareState ExpectedState(const MouseProfile& p) {
    FirmwareState s;
    s.angleSnap = p.angleSnap & 0xFF;
    s.rippleControl = p.rippleControl & 0xFF;
    for (std::size_t k = 0; k < 8; ++k) {
        s.dpiValue[k] = ExpectedLevelValue(p.dpiValue[k]);
        s.dpiEnabled[k] = p.dpiEnabled[k] == 1;
        s.dpiColor[k] = p.dpiColor[k];
    }
    s.dpiLevel = p.dpiStep + 1;

    s.lightEffect = p.lightEffect & 0x0F;
    s.breathSpeed = p.breathSpeed;
    s.sleepTimer = p.sleepTimer & 0xFF;
    s.brightness = (p.lightEffect == 1 || p.lightEffect == 9) ? (p.brightness & 0x0F) : 8;
    s.lightColor = p.lightColor;
    s.lightOffTimer = p.lightOffTimer & 0xFF;
    s.keyDebounce = p.keyDebounce & 0xFF;

    switch (p.pollingRate) {
        case 0: s.pollingInterval = 8; break;
        case 1: s.pollingInterval = 4; break;
        case 3: s.pollingInterval = 1; break;
        default: s.pollingInterval = 2; break;
    }

    for (std::size_t i = 0; i < kButtonPositions; ++i) {
        const ButtonAssignment& b = p.buttons[i];
        s.buttons[i] = DeviceBytes(b, i);
        if (b.function != 17 || kMacroFirstBlock[i] == 0) continue;
        FirmwareMacro m;
        m.complete = true;
        m.mode = static_cast<std::uint8_t>(b.macroMode);
        m.header = {b.macroHeader[0], b.macroHeader[1], b.macroHeader[2]};
        std::uint8_t loop = static_cast<std::uint8_t>(b.macroLoopCount);
        m.loopCount = loop == 0 ? 1 : loop;
        for (std::size_t a = 0; a < b.validActionCount(); ++a) {
            const MacroAction& action = b.macroActions[a];
            if (action.kind == 0) continue;
            m.steps.push_back(
                {action.key, static_cast<std::uint8_t>(action.kind == 1 ? 1 : 2), ExpectedDelay(action.delay)});
        }
        s.macros[static_cast<int>(i)] = std::move(m);
    }
    return s;
}

std::vector<std::string> Differences(const FirmwareState& a, const FirmwareState& e) {
    std::vector<std::string> out;
    Compare(out, "angleSnap", a.angleSnap, e.angleSnap);
    Compare(out, "rippleControl", a.rippleControl, e.rippleControl);
    for (std::size_t k = 0; k < 8; ++k) {
        std::string level = "[" + std::to_string(k) + "]";
        Compare(out, "dpiValue" + level, a.dpiValue[k], e.dpiValue[k]);
        Compare(out, "dpiEnabled" + level, a.dpiEnabled[k], e.dpiEnabled[k]);
        Compare(out, "dpiColor" + level, ColorText(a.dpiColor[k]), ColorText(e.dpiColor[k]));
    }
    Compare(out, "dpiLevel", a.dpiLevel, e.dpiLevel);
    Compare(out, "lightEffect", a.lightEffect, e.lightEffect);
    Compare(out, "breathSpeed", a.breathSpeed, e.breathSpeed);
    Compare(out, "sleepTimer", a.sleepTimer, e.sleepTimer);
    Compare(out, "brightness", a.brightness, e.brightness);
    Compare(out, "lightColor", ColorText(a.lightColor), ColorText(e.lightColor));
    Compare(out, "lightOffTimer", a.lightOffTimer, e.lightOffTimer);
    Compare(out, "keyDebounce", a.keyDebounce, e.keyDebounce);
    Compare(out, "pollingInterval", a.pollingInterval, e.pollingInterval);
    for (std::size_t i = 0; i < kButtonPositions; ++i)
        Compare(out, "button[" + std::to_string(i) + "]", BytesText(a.buttons[i]), BytesText(e.buttons[i]));
    for (const auto& [entry, macro] : e.macros) {
        auto found = a.macros.find(entry);
        Compare(out, "macro[" + std::to_string(entry) + "]",
                found == a.macros.end() ? std::string("none") : MacroText(found->second), MacroText(macro));
    }
    for (const auto& [entry, macro] : a.macros)
        if (!e.macros.count(entry))
            Compare(out, "macro[" + std::to_string(entry) + "]", MacroText(macro), std::string("none"));
    return out;
}

}  // namespace halvern::emu
