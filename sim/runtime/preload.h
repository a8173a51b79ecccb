// umockdev works by a preloaded library. The simulator runs under it itself
// (uevents are delivered through libudev inside the calling process), so it
// re-executes itself with the library in LD_PRELOAD; the child inherits it.
#pragma once

#include <string>

namespace orvy::sim {

// True when the preload library is loaded into this process.
bool preload_active();

// Re-executes /proc/self/exe with `argv` under the preload library. Returns
// only on failure, with the reason.
std::string reexec_under_preload(char **argv);

// ASAN_OPTIONS with verify_asan_link_order=0 added: an instrumented program
// refuses to start when the preload library comes before the ASan runtime.
std::string asan_options_for_preload(const char *current);

// Set while re-executing, so that a preload that fails to load is reported
// instead of re-executing forever.
inline constexpr const char *kReexecMarker = "ORVY_SIMULATOR_REEXEC";

}  // namespace orvy::sim
