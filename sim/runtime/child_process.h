// COMMAND, run in the simulated environment. It dies with the simulator.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace orvy::sim {

// Forks and executes `command` (searched in PATH) with the current
// environment, minus the simulator's own markers. -1 with the reason on failure.
pid_t spawn_child(const std::vector<std::string> &command, std::string &error);

// Exit code, or 128 + N when killed by signal N.
int exit_status_of(int wait_status);

}  // namespace orvy::sim
