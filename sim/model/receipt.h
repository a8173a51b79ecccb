// The printed receipt as text (--paper FILE), one record per line:
//   |TEXT             a printed line; bytes the head does not print appear in
//                     it in coded notation ("[1B 45 01]"), a literal "[" as
//                     "\[" and "\" as "\\"
//   <form feed>       the paper was fed to the end of the page
//   <cut>             the paper was cut
//   [1B F2 03 00]     a command that prints nothing, in coded notation; a run
//                     of sync bytes is one record ("[00 00 00]")
#pragma once

#include <functional>
#include <string>

#include "bytes.h"

namespace orvy::sim {

class Receipt {
public:
    using Sink = std::function<void(const std::string &line)>;

    explicit Receipt(Sink sink = {}) : sink_(std::move(sink)) {}

    // A byte of the line that waits for its line feed.
    void add_to_line(std::uint8_t byte);
    bool line_is_empty() const { return line_.empty(); }
    // The line was printed; an empty line is "|".
    void print_line();
    void form_feed();
    void cut();
    void command(const Bytes &bytes);
    void sync_byte();
    // Ends a pending run of sync bytes; the line itself waits for its feed.
    void flush();

private:
    void emit(const std::string &record);
    void close_code_run();

    Sink sink_;
    std::string line_;
    bool in_code_run_ = false;  // the line ends with an open "[.." group
    unsigned pending_sync_ = 0;
};

}  // namespace orvy::sim
