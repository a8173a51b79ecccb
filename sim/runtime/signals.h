// Signals that end the simulator: the terminating ones arrive on a pipe that
// the main loop watches; on a crash the child is killed and the scratch
// directory removed before the signal takes its course.
#pragma once

#include <sys/types.h>

namespace orvy::sim {

// Returns the read end of the signal pipe, -1 on failure.
int install_signal_pipe();
struct CaughtSignal {
    int number = 0;              // 0: none waiting
    bool from_keyboard = false;  // INT or QUIT from the terminal, which the child got as well
};
CaughtSignal next_signal(int pipe_fd);

// What a crash handler cleans up.
void set_crash_cleanup(pid_t child, const char *work_dir);

}  // namespace orvy::sim
