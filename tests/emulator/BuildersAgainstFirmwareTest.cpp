// The program's report builders against the virtual mouse's own tables: every value a
// table covers goes through the builder and the firmware's decoding, so a row that
// differs between the two shows up as a mouse holding something else.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "Scheduler.h"
#include "SettlingClock.h"
#include "VirtualMouse.h"
#include "protocol/CommandReports.h"

namespace halvern::emu {
namespace {

class BuildersAgainstFirmware : public ::testing::Test {
protected:
    SettlingClock clock;
    Scheduler scheduler{clock};
    VirtualMouse mouse{scheduler};
};

TEST_F(BuildersAgainstFirmware, EveryAssignmentCodeArrivesAsTheMouseOwnTableSays) {
    auto p = MouseProfile::Create(u"x");
    for (int code = 0; code <= 255; ++code) {
        for (std::size_t i = 0; i < kButtonPositions; ++i) {
            p->buttons[i].function = static_cast<std::uint8_t>(code);
            p->buttons[i].keyModifiers = kModAlt;
            p->buttons[i].keyUsage = 0x2C;
        }
        ASSERT_TRUE(mouse.receive(Link::Cable, BuildButtonReport(*p).bytes())) << "code " << code << " refused";
        EXPECT_EQ(mouse.state().buttons, ExpectedState(*p).buttons) << "code " << code;
    }
}

TEST_F(BuildersAgainstFirmware, EveryDpiLevelValueArrivesAsTheValueItStandsFor) {
    auto p = MouseProfile::Create(u"x");
    // Up to the last value the register table reaches; the page keeps to 0..280.
    for (std::int32_t v = 0; v <= 341; ++v) {
        std::fill(std::begin(p->dpiValue), std::end(p->dpiValue), v);
        ASSERT_TRUE(mouse.receive(Link::Cable, BuildSensorReport(*p).bytes())) << "value " << v << " refused";
        EXPECT_EQ(mouse.state().dpiValue, ExpectedState(*p).dpiValue) << "value " << v;
    }
}

}  // namespace
}  // namespace halvern::emu
