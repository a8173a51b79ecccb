// The inquiry tool's command line: the input split at zero bytes into
// arguments, run through the whole tool against a printer that never answers.
// The tool must go on to the printer exactly when the line is complete, open
// the Printer argument as given, and name the argument that stopped it.
#include <cstdint>
#include <string>
#include <vector>

#include "command_line.h"
#include "fuzz_arguments.h"
#include "fuzz_check.h"
#include "replay_printer.h"
#include "run_control.h"

namespace {

using orvy::fuzz::require;
using namespace orvy::inquiry;

constexpr std::size_t kMostArguments = 17;  // the program name included

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    orvy::fuzz::silence_standard_output();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<std::string> arguments =
        orvy::fuzz::arguments_of(data, size, {"Orvy_InquiryTool"}, kMostArguments);
    std::vector<const char *> argv;
    for (const auto &argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(arguments.size());

    const CommandLine line = parse_command_line(argc, argv.data());
    if (line.outcome == CommandLine::Outcome::invalid_argument) {
        require(line.invalid_position >= 1 && line.invalid_position < argc,
                "the position of an argument");
        require(line.invalid_argument == arguments[line.invalid_position],
                "the argument at that position");
    }
    if (line.outcome == CommandLine::Outcome::complete) {
        require(!line.port.empty() && line.port[0] == '/', "a port name that starts with /");
    }

    orvy::fuzz::replay_answer(nullptr, 0);
    const int status = run_inquiry_tool(argc, argv.data(), {"Jan  1 2000", "00:00:00"});
    const bool complete = line.outcome == CommandLine::Outcome::complete;
    require((status == 0) == complete, "exit status 0 exactly for a complete line");
    require(orvy::fuzz::opened_port() == (complete ? line.port : std::string()),
            "the Printer argument opened as given, and only for a complete line");
    return 0;
}
