// The printer's inner working: what each command does to its state, the
// paper that printing takes from the roll, and the answer (header and
// record) that an inquiry gets.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "command_parser.h"
#include "paper_roll.h"
#include "receipt.h"
#include "records.h"

namespace orvy::sim {

// A full roll, and a near-end mark a few metres before its end.
inline constexpr std::uint64_t kDefaultPaperMm = 80000;
inline constexpr std::uint64_t kDefaultNearEndMm = 5000;

class Printer {
public:
    explicit Printer(std::string serial_number = kSerialNumber,
                     PaperRoll roll = PaperRoll(kDefaultPaperMm, kDefaultNearEndMm))
        : roll_(roll)
    {
        counters_.serial_number = std::move(serial_number);
        update_paper_state();
    }

    // Executes the whole command at once, whatever the paper: the answer to
    // send back, if the command asks for one.
    std::optional<Bytes> execute(const Command &command);

    // The print path, in the order the bytes arrived. Print data: how many of
    // the bytes were printed; it stops at the first one that needs paper
    // while the roll is out. Other commands: false when the command waits
    // for paper.
    std::size_t print(const std::uint8_t *data, std::size_t size);
    bool run(const Command &command);

    // Header 1B FF type size followed by the record, for inquiry bit `mask`.
    std::optional<Bytes> answer_to_inquiry(std::uint8_t mask) const;

    // The roll is out: nothing more is printed until a roll is loaded.
    bool paper_empty() const { return roll_.empty(); }
    bool paper_near_end() const { return roll_.near_end(); }
    std::uint64_t paper_left_um() const { return roll_.left_um(); }
    // The operator puts in a new roll of `paper_mm`.
    void load_paper(std::uint64_t paper_mm);
    // The roll ends now.
    void run_out_of_paper();

    // Where the printed receipt goes, record by record.
    void set_receipt_sink(Receipt::Sink sink) { receipt_ = Receipt(std::move(sink)); }
    void flush_receipt() { receipt_.flush(); }

    const PrinterCounters &counters() const { return counters_; }
    int page_length_tenth_mm() const { return page_length_tenth_mm_; }
    unsigned form_feeds() const { return form_feeds_; }
    unsigned sync_bytes() const { return sync_bytes_; }
    unsigned long print_bytes() const { return print_bytes_; }
    unsigned unknown_commands() const { return unknown_commands_; }

private:
    bool feed_line();
    bool feed_page();
    bool cut();
    void set_page_length(std::uint8_t hi, std::uint8_t lo);
    void hard_reset();
    // Moves the paper by up to `um`; what the roll gave.
    std::uint64_t advance(std::uint64_t um);
    void update_paper_state();

    PrinterCounters counters_;
    PaperRoll roll_;
    Receipt receipt_;
    int page_length_tenth_mm_ = 1255;
    std::uint64_t page_position_um_ = 0;     // paper fed since the page began
    std::uint64_t transported_rest_um_ = 0;  // below the life record's millimetre
    unsigned line_characters_ = 0;
    unsigned form_feeds_ = 0;
    unsigned sync_bytes_ = 0;
    unsigned long print_bytes_ = 0;
    unsigned unknown_commands_ = 0;
};

}  // namespace orvy::sim
