// The tool's main line: command line, banner and help, then the run: open,
// synchronise, one inquiry per bit of the code, report, close.
#pragma once

#include "messages.h"

namespace orvy::inquiry {

// Writes to standard output. Returns 0 when the run reached the close (also
// when single inquiries failed), -1 after a command-line error, help alone or
// a failed open.
int run_inquiry_tool(int argc, const char *const *argv, const BuildStamp &stamp);

}  // namespace orvy::inquiry
