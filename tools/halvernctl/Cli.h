// What every halvernctl command shares: its arguments, where it prints, and the exit
// codes others rely on (0 success, 1 failure, 2 usage error); errors and warnings are
// one line each.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace halvern::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct Invocation {
    std::vector<std::string> args;  // after the command words
    std::ostream& out;
    std::ostream& err;

    // Prints "halvernctl: <message>" on standard error and returns the exit code. The
    // message is one line whatever it holds: user text in it is quoted where it is made
    // (QuoteForLine), and any control character still left is escaped here.
    int fail(int code, const std::string& message) const;
    // The same line for something the command did and goes on from (a repair).
    void warn(const std::string& message) const;
};

}  // namespace halvern::cli
