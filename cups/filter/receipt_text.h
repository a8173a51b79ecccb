// A text file as a receipt for the Orvy printers: printable text line by
// line, then the ending that the queue and the job ask for (form feed, full
// cut). Only the printer's own commands of the toolkit's samples are sent;
// nothing else of its command set is guessed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvy::filter {

struct ReceiptOptions {
    std::optional<int> page_length;  // tenths of a mm; none: the printer's own
    bool form_feed = true;
    bool full_cut = true;
};

// Turns text into the printer's bytes, in pieces as it arrives.
class ReceiptText {
public:
    explicit ReceiptText(const ReceiptOptions &options) : options_(options) {}

    // The bytes that go before the text (the page length, when set).
    std::vector<std::uint8_t> start() const;
    // Printable ASCII as it stands; LF ends a line (CR LF and a lone CR as
    // well); a tab becomes blanks up to the next multiple of 8; FF becomes
    // the printer's form feed; every other control byte is dropped; each
    // character beyond ASCII (a UTF-8 sequence, or a lone byte from 80 to
    // FF) prints as one '?'.
    std::vector<std::uint8_t> feed(const std::uint8_t *data, std::size_t size);
    // The end of the receipt: the last line's line feed if it had none, then
    // the form feed and the cut as the options say.
    std::vector<std::uint8_t> finish();

private:
    void put(std::vector<std::uint8_t> &out, std::uint8_t byte);
    void end_line(std::vector<std::uint8_t> &out);

    ReceiptOptions options_;
    std::size_t column_ = 0;
    bool after_cr_ = false;
    int utf8_left_ = 0;  // continuation bytes still expected
};

using JobOptions = std::vector<std::pair<std::string, std::string>>;

// The receipt options from the queue's PPD defaults (*DefaultOrvyCut: ...)
// and the job's options (name and value, as cupsParseOptions gives them),
// the job's winning.
ReceiptOptions receipt_options(const std::string &ppd_text, const JobOptions &job_options);

}  // namespace orvy::filter
