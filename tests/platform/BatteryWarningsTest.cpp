// A low battery is told once at 15 % and once at 5 % in each discharge, never again for
// levels that wander around a mark, and anew after a charge.
#include "platform/BatteryWarnings.h"

#include <gtest/gtest.h>

namespace halvern {
namespace {

using Warning = BatteryWarnings::Warning;

TEST(BatteryWarnings, OncePerMarkAndDischargeAcrossACharge) {
    constexpr int kCharge = -1;  // the mouse charges
    struct Step {
        int level;
        Warning expected;
    };
    // clang-format off
    const Step steps[] = {
        {100, Warning::None}, {40, Warning::None},  {16, Warning::None},     {15, Warning::Low},
        {16, Warning::None},  {15, Warning::None},  {14, Warning::None},     {6, Warning::None},
        {5, Warning::Critical}, {6, Warning::None}, {3, Warning::None},      {0, Warning::None},
        // Charging: the next discharge warns again.
        {kCharge, Warning::None}, {15, Warning::Low}, {kCharge, Warning::None}, {4, Warning::Critical},
        // Past the critical mark at once: one warning, not two.
        {10, Warning::None}, {kCharge, Warning::None}, {80, Warning::None},
        // A level well above the mark is a charge that was not seen; just above is not.
        {12, Warning::Low},  {24, Warning::None},  {13, Warning::None},     {25, Warning::None},
        {13, Warning::Low},
        // Levels the mouse cannot have change nothing.
        {-5, Warning::None}, {101, Warning::None}, {255, Warning::None},    {2, Warning::Critical},
    };
    // clang-format on
    BatteryWarnings warnings;
    int i = 0;
    for (const Step& s : steps) {
        if (s.level == kCharge) warnings.charging();
        else EXPECT_EQ(warnings.discharging(s.level), s.expected) << "step " << i << ", level " << s.level;
        ++i;
    }
}

}  // namespace
}  // namespace halvern
