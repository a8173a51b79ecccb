// Replaces a file in one step, so that a reader sees the old or the new
// contents, never part of them.
#pragma once

#include <string>

namespace orvy::metrics {

// Writes `contents` to a temporary file in the directory of `path`, syncs it,
// makes it readable by all (the collector runs as another user) and renames
// it over `path`, only when `path` is missing or a regular file: a symbolic
// link to a regular file stays, and the file it names is replaced in its own
// directory; anything else is refused and left alone (output_target.h).
// Returns an empty string on success, otherwise why not; the temporary file
// is gone either way.
std::string replace_file(const std::string &path, const std::string &contents);

}  // namespace orvy::metrics
