#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>

#include "platform/StartWarmUp.h"

namespace halvern {
namespace {

// A second copy of the program leaves before its toolkit is ready for the rest of the
// warm-up; the font thread must end anyway, with fontconfig's part done.
TEST(StartWarmUp, EndsWhenTheToolkitNeverCameUp) {
    { StartWarmUp warmUp; }
    EXPECT_NE(FcConfigGetCurrent(), nullptr);
    // Without Qt's font database, which would do it at its end.
    FcFini();
}

}  // namespace
}  // namespace halvern
