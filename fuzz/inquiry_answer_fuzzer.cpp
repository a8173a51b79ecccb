// The printer's answer to one inquiry, as the inquiry tool checks and reports
// it. The first byte picks the inquiry (modulo the six the tool knows), the
// rest is what the printer sends back: response header, then the record.
// The exchange must take exactly a well-formed header followed by a whole
// record, and the verbose report of what it took must keep its form whatever
// the bytes; ASan watches the record area, which is exactly the record's size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "inquiry_exchange.h"
#include "inquiry_table.h"
#include "record_layouts.h"
#include "replay_printer.h"
#include "report.h"

namespace {

using orvy::fuzz::require;
using namespace orvy::inquiry;

constexpr std::intptr_t kPrinter = 3;

std::string padded(const char *name)
{
    std::string text(name);
    text.resize(50, ' ');
    return text + " = ";
}

std::string expected_hex_line(const InquiryEntry &entry, const std::vector<unsigned char> &record)
{
    std::string line = padded(entry.name) + std::to_string(entry.mask) + "[";
    char pair[3];
    for (const unsigned char byte : record) {
        std::snprintf(pair, sizeof pair, "%02X", byte);
        line += pair;
    }
    return line + "]\n";
}

std::string verbose_report(const InquiryEntry &entry, const std::vector<unsigned char> &record)
{
    char *text = nullptr;
    std::size_t length = 0;
    std::FILE *out = open_memstream(&text, &length);
    require(out != nullptr, "a memory stream");
    report_block(out, entry.mask, entry.name, record, true);
    std::fclose(out);
    std::string report(text, length);
    std::free(text);
    return report;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    orvy::fuzz::silence_standard_output();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0) return 0;
    const auto table = inquiry_table();
    const InquiryEntry &entry = table[data[0] % table.size()];
    const unsigned char *answer = data + 1;
    const std::size_t answer_size = size - 1;
    orvy::fuzz::replay_answer(answer, answer_size);

    std::vector<unsigned char> record(entry.size);
    const char *failure =
        lo_inquire_data(kPrinter, entry.mask, entry.type, record.data(), entry.size);

    const std::vector<unsigned char> request{0x1D, 0x61, entry.mask};
    require(orvy::fuzz::written() == request, "one inquiry sent, nothing else");
    const bool well_formed = answer_size >= 4u + entry.size && answer[0] == 0x1B &&
                             answer[1] == 0xFF && answer[2] == entry.type &&
                             answer[3] == entry.size;
    require((failure == nullptr) == well_formed,
            "taken exactly when the header is right and the record whole");
    if (failure != nullptr) return 0;
    require(std::memcmp(record.data(), answer + 4, entry.size) == 0, "the record as sent");

    const std::string report = verbose_report(entry, record);
    const std::string hex_line = expected_hex_line(entry, record);
    require(report.compare(0, hex_line.size(), hex_line) == 0, "the hex line first, all bytes");
    // Texts of the record may hold anything, line breaks and names included,
    // but every field line is there, in layout order.
    const RecordLayout *layout = record_layout_for(entry.mask);
    require(layout != nullptr && layout->size == entry.size, "a layout of the record's size");
    std::size_t from = hex_line.size();
    for (const FieldLayout &field : layout->fields) {
        const std::string start = padded(field.name);
        std::size_t found = from;
        if (report.compare(found, start.size(), start) != 0) {
            found = report.find("\n" + start, from);
            require(found != std::string::npos, "every field line, in order");
            ++found;
        }
        from = found + start.size();
    }
    require(!report.empty() && report.back() == '\n', "the report ends its last line");
    return 0;
}
