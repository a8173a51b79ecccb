// Diagnostic output of the library: standard output, and only when the
// application has set DEBUG_MESSAGES to 1.
#pragma once

#include <cstdio>

#include "Orvy_Api.h"

namespace orvy::api {

inline bool debug_enabled() { return DEBUG_MESSAGES == 1; }

template <typename... Args>
inline void debug_printf(const char *format, Args... args)
{
    if (debug_enabled()) {
        if constexpr (sizeof...(Args) == 0) {
            std::fputs(format, stdout);
        } else {
            std::printf(format, args...);
        }
    }
}

inline void debug_puts(const char *line)
{
    if (debug_enabled()) std::puts(line);
}

}  // namespace orvy::api
