#include "run_control.h"

#include <unistd.h>

#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "Orvy_Api.h"
#include "command_line.h"
#include "inquiry_exchange.h"
#include "inquiry_table.h"
#include "report.h"

namespace orvy::inquiry {
namespace {

constexpr unsigned long sync_timeout_ms = 500;
// Gives the printer time to settle after the synchronisation bytes.
constexpr useconds_t sync_pause_us = 500 * 1000;
constexpr int exit_failure = -1;
constexpr int exit_success = 0;

// Every message is flushed, so progress shows before each slow step.
__attribute__((format(printf, 1, 2))) void say(const char *format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}

// Closes the connection when the run leaves without closing it itself.
class PrinterConnection {
public:
    explicit PrinterConnection(std::intptr_t handle) : handle_(handle) {}
    ~PrinterConnection() { close(); }
    PrinterConnection(const PrinterConnection &) = delete;
    PrinterConnection &operator=(const PrinterConnection &) = delete;

    std::intptr_t handle() const { return handle_; }
    bool is_open() const { return handle_ >= 0; }
    void close()
    {
        if (handle_ >= 0) orvy_api_printer_close(handle_);
        handle_ = -1;
    }

private:
    std::intptr_t handle_;
};

void inquire(std::intptr_t printer, const InquiryEntry &entry, const CommandLine &line)
{
    if (!line.silent) {
        say("# Inquiring data [%2.2X] = %s, Size=%d, ...  ", entry.mask, entry.name, entry.size);
    }
    // Exactly the record's size, so a fault in a layout shows as an overread.
    std::vector<unsigned char> area(entry.size);
    const char *failure = lo_inquire_data(printer, entry.mask, entry.type, area.data(), entry.size);
    if (failure != nullptr) {
        if (!line.silent) say("failed\n");
        say("! %s: inquiry [%2.2X] failed => %s\n", program_name, entry.mask, failure);
        return;
    }
    if (!line.silent) {
        say("done\n");
        say("# Inquiry [%2.2X] - %s\n", entry.mask, entry.name);
    }
    report_block(stdout, entry.mask, entry.name, area, line.verbose);
}

int run(const CommandLine &line)
{
    // The library takes a mutable name; it does not alter it.
    std::vector<char> port(line.port.begin(), line.port.end());
    port.push_back('\0');

    if (!line.silent) say("# Opening connection to printer port \"%s\" ... ", port.data());
    PrinterConnection printer(orvy_api_printer_open(port.data()));
    if (!printer.is_open()) {
        if (!line.silent) say("failed\n");
        say("! %s: could not open connection \"%s\"to printer, error=%ld \n", program_name,
            port.data(), static_cast<long>(printer.handle()));
        return exit_failure;
    }
    if (!line.silent) {
        say("done\n");
        say("# Sending synchronization characters ... ");
    }
    std::array<unsigned char, 10> sync{};
    orvy_api_printer_write(printer.handle(), sync.data(), sync.size(), sync_timeout_ms);
    usleep(sync_pause_us);
    if (!line.silent) say("done\n");

    for (unsigned bit = 0; bit < 8; ++bit) {
        const unsigned mask = 1U << bit;
        if ((line.code & mask) == 0) continue;
        if (const InquiryEntry *entry = inquiry_for(mask)) {
            inquire(printer.handle(), *entry, line);
        } else {
            say("! %s: data inquiry [%2.2X] not supported \n", program_name, mask);
        }
    }

    if (!line.silent) say("# Closing connection to printer port \"%s\" ... ", port.data());
    printer.close();
    if (!line.silent) say("done\n");
    return exit_success;
}

}  // namespace

int run_inquiry_tool(int argc, const char *const *argv, const BuildStamp &stamp)
{
    const CommandLine line = parse_command_line(argc, argv);
    bool help = line.help;
    switch (line.outcome) {
    case CommandLine::Outcome::invalid_argument:
        print_invalid_argument(stdout, line.invalid_position, line.invalid_argument.c_str());
        help = true;
        break;
    case CommandLine::Outcome::missing_port:
        print_missing_port(stdout);
        help = true;
        break;
    case CommandLine::Outcome::missing_code:
        print_missing_arguments(stdout);
        help = true;
        break;
    case CommandLine::Outcome::complete: break;
    }

    if (!line.silent || help) print_banner(stdout, stamp);
    if (help) print_help(stdout);
    if (line.outcome != CommandLine::Outcome::complete) return exit_failure;
    return run(line);
}

}  // namespace orvy::inquiry
