// The page-length sample's command line: the input split at zero bytes into
// arguments, run through the whole sample against a printer that takes
// everything. The sample must open the port argument as given and send the
// page length the way it reads it: strtol, clamped to int, split in base 255.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_arguments.h"
#include "fuzz_check.h"
#include "replay_printer.h"

// The sample's own main, renamed when it is compiled for this target.
extern "C" int page_length_sample_main(int argc, char **argv);

namespace {

using orvy::fuzz::require;

constexpr std::size_t kMostArguments = 5;  // the program name included

std::vector<unsigned char> expected_commands(const std::string &argument)
{
    const long value = std::strtol(argument.c_str(), nullptr, 10);
    const int length = value > INT_MAX   ? INT_MAX
                       : value < INT_MIN ? INT_MIN
                                         : static_cast<int>(value);
    const int hi = length / 255;
    const int lo = length - 255 * hi;
    return {0x1B,
            0xF1,
            0x01,
            0x03,
            0x0A,
            static_cast<unsigned char>(hi),
            static_cast<unsigned char>(lo),
            0x1B,
            0xF2,
            0x03,
            0x00};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    orvy::fuzz::silence_standard_output();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::vector<std::string> arguments =
        orvy::fuzz::arguments_of(data, size, {"Orvy_Demo_PageLength"}, kMostArguments);
    std::vector<char *> argv;
    for (auto &argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(arguments.size());

    orvy::fuzz::replay_answer(nullptr, 0);
    require(page_length_sample_main(argc, argv.data()) == 0, "exit status 0, always");
    if (argc < 3) {
        require(orvy::fuzz::opened_port().empty() && orvy::fuzz::written().empty(),
                "no printer without port and page length");
        return 0;
    }
    require(orvy::fuzz::opened_port() == arguments[1], "the port argument opened as given");
    require(orvy::fuzz::written() == expected_commands(arguments[2]),
            "page length as read, then the hard reset");
    return 0;
}
