// The simulator's command line: the input split at zero bytes into
// arguments. Whatever it holds, the parse ends in options and a command that
// is the tail of the arguments, or in an error and no command.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "options.h"

namespace {

using orvy::fuzz::require;

constexpr std::size_t kMostArguments = 24;

std::vector<std::string> arguments_of(const std::uint8_t *data, std::size_t size)
{
    std::vector<std::string> arguments;
    const char *text = reinterpret_cast<const char *>(data);
    for (std::size_t at = 0; at < size && arguments.size() < kMostArguments;) {
        const std::size_t length = strnlen(text + at, size - at);
        arguments.emplace_back(text + at, length);
        at += length + 1;
    }
    return arguments;
}

bool starts_with(const std::string &text, const char *start) { return text.rfind(start, 0) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<std::string> arguments = arguments_of(data, size);
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
