// A private X server for tests that need real X input: Xvfb on a display number it
// picks itself, ended with the test. xdotool, run against it, acts as the user's hands
// through the XTEST extension, which XInput2 reports like any other device.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/RunProcess.h"

namespace halvern::test {

class XvfbServer {
public:
    XvfbServer()
        : process_("/usr/bin/Xvfb",
                   {"-displayfd", "1", "-screen", "0", "1280x900x24", "-nolisten", "tcp", "-noreset"}) {
        if (std::optional<std::string> number = process_.readLine(std::chrono::seconds(20)); number && !number->empty())
            display_ = ":" + *number;
    }

    bool ok() const { return !display_.empty(); }
    const std::string& display() const { return display_; }
    std::string err() const { return process_.err(); }

    // Runs xdotool with `args` against this server, ended after `seconds`: its --sync
    // waits for ever for what never comes (a window never mapped, an activation no window
    // manager saw), which is a failure, not a test that hangs until ctest's timeout.
    ProcessResult runXdotool(std::vector<std::string> args, int seconds = 60) const {
        args.insert(args.begin(), {std::to_string(seconds), "/usr/bin/xdotool"});
        return RunProcess("/usr/bin/timeout", args, {{"DISPLAY", display_}});
    }

    // The same; true when it succeeded.
    bool xdotool(const std::vector<std::string>& args, int seconds = 60) const {
        ProcessResult result = runXdotool(args, seconds);
        EXPECT_EQ(result.exitCode, 0) << "xdotool: " << result.err;
        return result.exitCode == 0;
    }

private:
    BackgroundProcess process_;
    std::string display_;
};

}  // namespace halvern::test
