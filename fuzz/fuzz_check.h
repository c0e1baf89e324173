#pragma once

// What a fuzz target does when an input breaks a property that every
// accepted input must have: say which, and stop so that the input is kept.

#include <cstdio>
#include <cstdlib>

namespace tovani::fuzz {

inline void check(bool ok, const char* property) {
    if (ok) return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

}  // namespace tovani::fuzz
