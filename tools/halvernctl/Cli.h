// What every halvernctl command shares: its arguments, where it prints, and the exit
// codes others rely on (0 success, 1 failure, 2 usage error).
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

    // Prints "halvernctl: <message>" and returns the exit code, for one-line errors.
    int fail(int code, const std::string& message) const;
};

}  // namespace halvern::cli
