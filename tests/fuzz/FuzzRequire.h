// A fuzz target's promise check: a broken promise must stop the fuzzer, in release
// builds too, so it aborts rather than asserts.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace halvern::fuzz {

inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

}  // namespace halvern::fuzz
