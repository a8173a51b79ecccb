// Which file `--output PATH` may replace. The program renames its own regular
// file into place; anything else that PATH names (a device such as /dev/full,
// a FIFO, a socket, a directory, the open file of a process that /dev/stdout
// stands for) belongs to someone else and is left exactly as it is.
#pragma once

#include <string>

namespace orvy::metrics {

struct OutputTarget {
    // The name to rename over: PATH itself, or the regular file that PATH's
    // symbolic link names, so that the link stays.
    std::string path;
    bool exists = false;
    // Why PATH may not be replaced; empty when it may.
    std::string refusal;
};

OutputTarget output_target(const std::string &path);

}  // namespace orvy::metrics
