// COMMAND, run in the simulated environment. It dies with the simulator.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvy::sim {

// Variables to set (or, without a value, to remove) in the child's environment.
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

// Forks and executes `command` (searched in PATH) with the current
// environment, minus the simulator's own markers and with `changes`.
// -1 with the reason on failure.
pid_t spawn_child(const std::vector<std::string> &command, const EnvironmentChanges &changes,
                  std::string &error);

// Exit code, or 128 + N when killed by signal N.
int exit_status_of(int wait_status);

}  // namespace orvy::sim
