// The tool's fixed messages: banner, help and command-line errors. Each is
// flushed at once, so it is seen before the next, possibly slow, step.
#pragma once

#include <cstdio>

namespace orvy::inquiry {

inline constexpr const char *kProgramName = "Orvy_InquiryTool";

// The compiler's date ("Aug 15 2018", days 1 to 9 padded with a blank) and
// time ("11:02:41") of the build.
struct BuildStamp {
    const char *date;
    const char *time;
};

void print_banner(std::FILE *out, const BuildStamp &stamp);
void print_help(std::FILE *out);
void print_invalid_argument(std::FILE *out, int position, const char *argument);
void print_missing_port(std::FILE *out);
void print_missing_arguments(std::FILE *out);

// A formatted message, flushed at once; nothing when `out` is none.
__attribute__((format(printf, 2, 3))) void say(std::FILE *out, const char *format, ...);

}  // namespace orvy::inquiry
