// A line of the control channel, as a test or a developer at a shell writes
// it while COMMAND runs: "load 2 80000", "paper-out 1", "unplug 1",
// "plug 1", "silent 2", "answer 2".
#pragma once

#include <cstdint>
#include <string>

namespace orvy::sim {

struct ControlCommand {
    enum class Kind { Load, PaperOut, Unplug, Plug, Silent, Answer };
    Kind kind = Kind::Load;
    unsigned printer = 1;        // from 1
    std::uint64_t paper_mm = 0;  // Load
};

struct ParsedControl {
    ControlCommand command;
    std::string error;  // empty when the line is good
};

// Blanks around and between the words are free; `printers` bounds K.
ParsedControl parse_control_line(const std::string &line, unsigned printers);

// `text` as a message quotes it: its first 80 characters, then "..." when
// there is more, so that a line of junk makes one short line of complaint.
std::string clipped(const std::string &text);

}  // namespace orvy::sim
