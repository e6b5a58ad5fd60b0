#include "platform/FontWarmUp.h"

#include <fontconfig/fontconfig.h>

namespace halvern {

FontWarmUp::FontWarmUp() : thread_([] { FcInit(); }) {}

FontWarmUp::~FontWarmUp() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace halvern
