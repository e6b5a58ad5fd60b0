// Reading the desktop's font configuration is the largest single piece of a first
// start (every fonts.conf and the font caches). Nothing waits for it until the first
// text is measured, so a thread of its own starts it while the toolkit comes up; the
// toolkit's own call then finds it done. Fontconfig makes its configuration once, by
// an atomic exchange, so the two calls cannot clash.
#pragma once

#include <thread>

namespace halvern {

class FontWarmUp {
public:
    FontWarmUp();
    // Waits for the thread (done by the time the first window is built).
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

private:
    std::thread thread_;
};

}  // namespace halvern
