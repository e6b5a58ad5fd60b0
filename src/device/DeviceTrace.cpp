#include "device/DeviceTrace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace halvern {

namespace {
std::atomic<TraceSink> g_sink{nullptr};
}

void SetDeviceTraceSink(TraceSink sink) { g_sink.store(sink); }

void DeviceTrace(const char* format, ...) {
    TraceSink sink = g_sink.load();
    if (!sink) return;
    char line[512];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0) return;
    sink(std::string_view(line,
                          static_cast<std::size_t>(n) < sizeof line ? static_cast<std::size_t>(n) : sizeof line - 1));
}

}  // namespace halvern
