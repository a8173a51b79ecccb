// The simulator's command line: the input split at zero bytes into
// arguments. Whatever it holds, the parse ends in options and a command that
// is the tail of the arguments, or in an error and no command.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_arguments.h"
#include "fuzz_check.h"
#include "options.h"

namespace {

using orvy::fuzz::require;

constexpr std::size_t kMostArguments = 24;

bool starts_with(const std::string &text, const char *start) { return text.rfind(start, 0) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<std::string> arguments =
        orvy::fuzz::arguments_of(data, size, {}, kMostArguments);
    const orvy::sim::ParsedOptions parsed = orvy::sim::parse_options(arguments);
    const auto &command = parsed.options.command;
    if (!parsed.error.empty()) {
        require(command.empty(), "no command after an error");
        require(starts_with(parsed.error, "option ") ||
                    starts_with(parsed.error, "unknown option ") ||
                    starts_with(parsed.error, "bad value '"),
                "an error of a known form");
        return 0;
    }
    require(command.size() <= arguments.size(), "a command no longer than the arguments");
    require(std::equal(command.begin(), command.end(),
                       arguments.end() - static_cast<std::ptrdiff_t>(command.size())),
            "the command is the tail of the arguments");
    return 0;
}
