// Orvy_PrinterMetrics: one inquiry round on a printer, as Prometheus metrics
// for node_exporter's textfile collector.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "atomic_file.h"
#include "exposition.h"
#include "output_target.h"
#include "printer_round.h"

namespace {

constexpr const char *kProgram = "Orvy_PrinterMetrics";
// A printer that is down is a fact for the metrics, not a failure of the
// program: only an output that could not be written fails the run, so a timer
// neither marks the unit failed nor logs a failure every minute.
constexpr int kExitWritten = 0;
constexpr int kExitNotWritten = 1;
constexpr int kExitUsage = 2;

struct Arguments {
    std::optional<std::string> output;
    std::string port;
    bool help = false;
};

void print_usage(std::FILE *out)
{
    std::fprintf(out, "Usage: %s [--output FILE] PORT\n", kProgram);
}

void print_help()
{
    print_usage(stdout);
    std::puts("Inquires all six records of the printer at PORT once and prints them in the\n"
              "Prometheus text exposition format on standard output, the way to stream them.\n"
              "  -o, --output FILE  replace FILE in one step instead of printing. FILE is a\n"
              "                     regular file or missing; a symbolic link to a regular\n"
              "                     file stays and the file it names is replaced. Anything\n"
              "                     else (a device, a FIFO, a socket, a directory,\n"
              "                     /dev/stdout) is refused and left as it is.\n"
              "  -h, --help         this text\n"
              "Exit status: 0 when the metrics were written (also with orvy_printer_up 0),\n"
              "1 when the output could not be written or FILE was refused, 2 on a usage error.");
}

std::optional<Arguments> parse(int argc, char **argv)
{
    Arguments arguments;
    bool have_port = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            arguments.help = true;
        } else if (argument == "-o" || argument == "--output") {
            if (i + 1 >= argc || arguments.output) return std::nullopt;
            arguments.output = argv[++i];
        } else if (argument.rfind("--output=", 0) == 0 && !arguments.output) {
            arguments.output = argument.substr(std::strlen("--output="));
        } else if (argument.empty() || argument[0] == '-' || have_port) {
            return std::nullopt;
        } else {
            arguments.port = argument;
            have_port = true;
        }
    }
    if (arguments.output && arguments.output->empty()) return std::nullopt;
    if (!have_port && !arguments.help) return std::nullopt;
    return arguments;
}

// The whole text on standard output; a short or failed write (a full disk,
// a closed pipe) is reported, not hidden behind a successful flush.
bool print_all(const std::string &text)
{
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) == 0 && written && !std::ferror(stdout)) return true;
    std::fprintf(stderr, "%s: standard output: %s\n", kProgram, std::strerror(errno));
    return false;
}

}  // namespace

int main(int argc, char **argv)
{
    const auto arguments = parse(argc, argv);
    if (!arguments) {
        print_usage(stderr);
        return kExitUsage;
    }
    if (arguments->help) {
        print_help();
        return kExitWritten;
    }

    // A refused FILE is known before the printer is held for the round.
    if (arguments->output) {
        const auto target = orvy::metrics::output_target(*arguments->output);
        if (!target.refusal.empty()) {
            std::fprintf(stderr, "%s: %s: %s\n", kProgram, arguments->output->c_str(),
                         target.refusal.c_str());
            return kExitNotWritten;
        }
    }
    const std::string text =
        orvy::metrics::exposition_text(orvy::metrics::inquire_printer(arguments->port));
    if (!arguments->output) {
        return print_all(text) ? kExitWritten : kExitNotWritten;
    }
    const std::string failure = orvy::metrics::replace_file(*arguments->output, text);
    if (!failure.empty()) {
        std::fprintf(stderr, "%s: %s: %s\n", kProgram, arguments->output->c_str(), failure.c_str());
        return kExitNotWritten;
    }
    return kExitWritten;
}
