// The entry point's work: one copy per user, the skin, the main window, the event
// loop, and the shutdown in its fixed order.
#pragma once

namespace halvern {

class Application {
public:
    // Exit codes: 0 after a normal end (and after --version or --help), 1 when another
    // copy was already running, 2 on a usage error (CommandLine.h).
    static int Run(int argc, char** argv);
};

}  // namespace halvern
