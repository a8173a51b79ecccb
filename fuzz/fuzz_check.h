// A property of the code under fuzzing that must hold for every input.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace orvy::fuzz {

inline void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

}  // namespace orvy::fuzz
