#pragma once

#include "Cli.h"

namespace halvern::cli {

int Devices(const Invocation& call);  // devices
int Monitor(const Invocation& call);  // monitor [--count N] [--seconds S]

}  // namespace halvern::cli
