#include "diagnostics.h"

#include <cstdarg>
#include <cstdio>

#include "Orvy_Api.h"

extern "C" {
int DEBUG_MESSAGES = 0;
}

namespace orvy::api {

bool debug_enabled() { return DEBUG_MESSAGES == 1; }

void debug_printf(const char *format, ...)
{
    if (!debug_enabled()) return;
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
}

void debug_puts(const char *line)
{
    if (debug_enabled()) std::puts(line);
}

}  // namespace orvy::api
