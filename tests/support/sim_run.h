// Runs real programs, alone or under the printer simulator, and collects
// what they printed, their exit status and the simulator's transcript.
#pragma once

#include <string>
#include <vector>

namespace orvy::test {

struct RunResult {
    int exit_status = -1;  // exit code, or 128 + signal number
    std::string out;       // standard output
    std::string err;       // standard error
    std::string log;       // simulator transcript (--log), empty without simulator
    double seconds = 0;    // wall time of the whole run
};

// Runs `command` directly. A run longer than `limit_seconds` is killed and
// reported with exit status 128 + SIGKILL.
RunResult run_program(const std::vector<std::string> &command, double limit_seconds = 60);

// Runs `Orvy_Simulator --log <tmp> <sim_options> -- <command>`.
RunResult run_under_simulator(const std::vector<std::string> &sim_options,
                              const std::vector<std::string> &command, double limit_seconds = 60);

// Path of the simulator binary the tests were built with.
std::string simulator_path();

// The lines of a text, without their line breaks.
std::vector<std::string> lines_of(const std::string &text);

// Transcript lines of one port and direction joined into one byte string in
// upper-case hex separated by blanks ("usb", ">" gives everything the host sent
// on USB), so that tests check the byte stream whatever its chunking.
std::string transcript_bytes(const std::string &log, const std::string &port,
                             const std::string &direction);

}  // namespace orvy::test
