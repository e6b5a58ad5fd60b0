// Diagnostics of the device layer: the trace lines a developer reads while the mouse
// comes and goes. They go to one process-wide sink, which the host sets (the Qt glue
// forwards them to the "halvern.device" logging category); without a sink they are
// dropped. The sink may be called from any thread.
#pragma once

#include <string_view>

namespace halvern {

using TraceSink = void (*)(std::string_view line);

void SetDeviceTraceSink(TraceSink sink);

// printf-style; the line is cut at 511 characters.
void DeviceTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace halvern
