// The command line "[-s] [-h] [-v] [-j] Printer Code", read left to right by a
// state machine: options, then the port name, then the code.
#pragma once

#include <cstdint>
#include <string>

namespace orvy::inquiry {

struct CommandLine {
    enum class Outcome { complete, invalid_argument, missing_port, missing_code };

    Outcome outcome = Outcome::missing_port;
    bool silent = false;
    bool help = false;
    bool verbose = false;
    bool json = false;         // -j: standard output carries only the JSON document
    std::string port;          // copy of the Printer argument
    std::uint8_t code = 0;     // bit mask of inquiries
    int invalid_position = 0;  // 1-based position of the argument that stopped parsing
    std::string invalid_argument;
};

// Parses argv[1] .. argv[argc - 1].
CommandLine parse_command_line(int argc, const char *const *argv);

}  // namespace orvy::inquiry
