// The printer's inner working: what each command does to its state, and the
// answer (header and record) that an inquiry gets.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "command_parser.h"
#include "records.h"

namespace orvy::sim {

class Printer {
public:
    explicit Printer(std::string serial_number = kSerialNumber)
    {
        counters_.serial_number = std::move(serial_number);
    }

    // The answer to send back, if the command asks for one.
    std::optional<Bytes> execute(const Command &command);

    // Header 1B FF type size followed by the record, for inquiry bit `mask`.
    std::optional<Bytes> answer_to_inquiry(std::uint8_t mask) const;

    const PrinterCounters &counters() const { return counters_; }
    int page_length_tenth_mm() const { return page_length_tenth_mm_; }
    unsigned form_feeds() const { return form_feeds_; }
    unsigned sync_bytes() const { return sync_bytes_; }
    unsigned long print_bytes() const { return print_bytes_; }
    unsigned unknown_commands() const { return unknown_commands_; }

private:
    void feed_page();
    void set_page_length(std::uint8_t hi, std::uint8_t lo);
    void hard_reset();
    void cut();
    void print(std::size_t bytes);

    PrinterCounters counters_;
    int page_length_tenth_mm_ = 1255;
    unsigned form_feeds_ = 0;
    unsigned sync_bytes_ = 0;
    unsigned long print_bytes_ = 0;
    unsigned unknown_commands_ = 0;
};

}  // namespace orvy::sim
