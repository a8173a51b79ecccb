#include "run_control.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "command_line.h"
#include "inquiry_exchange.h"
#include "inquiry_table.h"
#include "json_report.h"
#include "messages.h"
#include "printer_connection.h"
#include "report.h"

namespace orvy::inquiry {
namespace {

constexpr int kExitFailure = -1;
constexpr int kExitSuccess = 0;

// Where a run writes: with -j standard output holds the document alone, so
// errors move to standard error and progress is left out.
struct Output {
    explicit Output(const CommandLine &line)
        : messages(line.json ? stderr : stdout), progress(!line.silent && !line.json)
    {
        if (line.json) document.emplace(line.port, line.code);
    }

    std::FILE *messages;
    bool progress;
    std::optional<JsonReport> document;
};

void inquire(std::intptr_t printer, const InquiryEntry &entry, const CommandLine &line,
             Output &output)
{
    if (output.progress) {
        say(stdout, "# Inquiring data [%2.2X] = %s, Size=%d, ...  ", entry.mask, entry.name,
            entry.size);
    }
    // Exactly the record's size, so a fault in a layout shows as an overread.
    std::vector<unsigned char> area(entry.size);
    const char *failure =
        lo_inquire_data(printer, entry.mask, entry.type, area.data(), entry.size, output.messages);
    if (failure != nullptr) {
        if (output.progress) say(stdout, "failed\n");
        say(output.messages, "! %s: inquiry [%2.2X] failed => %s\n", kProgramName, entry.mask,
            failure);
        if (output.document) output.document->record_failed(entry, failure);
        return;
    }
    if (output.progress) {
        say(stdout, "done\n");
        say(stdout, "# Inquiry [%2.2X] - %s\n", entry.mask, entry.name);
    }
    if (output.document) {
        output.document->record_received(entry, area);
    } else {
        report_block(stdout, entry.mask, entry.name, area, line.verbose);
    }
}

int run(const CommandLine &line, Output &output)
{
    const char *port = line.port.c_str();
    if (output.progress) say(stdout, "# Opening connection to printer port \"%s\" ... ", port);
    PrinterConnection printer(line.port);
    if (!printer.is_open()) {
        if (output.progress) say(stdout, "failed\n");
        say(output.messages, "! %s: could not open connection \"%s\"to printer, error=%ld \n",
            kProgramName, port, static_cast<long>(printer.handle()));
        if (output.document) output.document->open_failed(static_cast<long>(printer.handle()));
        return kExitFailure;
    }
    if (output.progress) {
        say(stdout, "done\n");
        say(stdout, "# Sending synchronization characters ... ");
    }
    send_synchronisation(printer.handle());
    if (output.progress) say(stdout, "done\n");

    for (unsigned bit = 0; bit < 8; ++bit) {
        const unsigned mask = 1U << bit;
        if ((line.code & mask) == 0) continue;
        if (const InquiryEntry *entry = inquiry_for(mask)) {
            inquire(printer.handle(), *entry, line, output);
        } else {
            say(output.messages, "! %s: data inquiry [%2.2X] not supported \n", kProgramName, mask);
            if (output.document) output.document->inquiry_unsupported(mask);
        }
    }

    if (output.progress) say(stdout, "# Closing connection to printer port \"%s\" ... ", port);
    printer.close();
    if (output.progress) say(stdout, "done\n");
    return kExitSuccess;
}

}  // namespace

int run_inquiry_tool(int argc, const char *const *argv, const BuildStamp &stamp)
{
    const CommandLine line = parse_command_line(argc, argv);
    std::FILE *messages = line.json ? stderr : stdout;
    bool help = line.help;
    switch (line.outcome) {
    case CommandLine::Outcome::invalid_argument:
        print_invalid_argument(messages, line.invalid_position, line.invalid_argument.c_str());
        help = true;
        break;
    case CommandLine::Outcome::missing_port:
        print_missing_port(messages);
        help = true;
        break;
    case CommandLine::Outcome::missing_code:
        print_missing_arguments(messages);
        help = true;
        break;
    case CommandLine::Outcome::complete: break;
    }

    if ((!line.silent && !line.json) || help) print_banner(messages, stamp);
    if (help) print_help(messages);
    if (line.outcome != CommandLine::Outcome::complete) return kExitFailure;

    Output output(line);
    const int status = run(line, output);
    // The document is whole also after a failed open, so a caller always parses it.
    if (output.document) output.document->write(stdout);
    return status;
}

}  // namespace orvy::inquiry
