// A printer that says what the fuzzer tells it to: the library's interface
// over a byte string instead of a port, so that the programs' parsers meet
// the input exactly as they would meet a printer's answer. Pauses are skipped
// (usleep returns at once), which keeps every run in microseconds.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orvy::fuzz {

// What the printer sends from now on; reads take from it in order. Forgets
// what was written and opened before.
void replay_answer(const unsigned char *bytes, std::size_t size);

// The bytes the program wrote since replay_answer.
const std::vector<unsigned char> &written();

// The port name of the last open since replay_answer, "" without one.
const std::string &opened_port();

// Sends standard output to /dev/null: the programs print a lot, the fuzzer
// reports on standard error.
void silence_standard_output();

}  // namespace orvy::fuzz
