// Diagnostic output of the library: standard output, and only when the
// application has set DEBUG_MESSAGES to 1.
#pragma once

namespace orvy::api {

bool debug_enabled();

// printf to standard output when diagnostics are on.
void debug_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// puts to standard output when diagnostics are on.
void debug_puts(const char *line);

}  // namespace orvy::api
