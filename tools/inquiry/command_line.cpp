#include "command_line.h"

#include <cctype>
#include <cstring>
#include <optional>

namespace orvy::inquiry {
namespace {

enum class State { options, port, code, done };

int hex_digit_value(unsigned char digit)
{
    if (std::isdigit(digit)) return digit - '0';
    return std::toupper(digit) - 55;
}

std::optional<std::uint8_t> parse_code(const char *argument)
{
    const auto *text = reinterpret_cast<const unsigned char *>(argument);
    if (std::strlen(argument) != 4 || text[0] != '[' || text[3] != ']' || !std::isxdigit(text[1]) ||
        !std::isxdigit(text[2])) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(hex_digit_value(text[1]) * 16 + hex_digit_value(text[2]));
}

}  // namespace

CommandLine parse_command_line(int argc, const char *const *argv)
{
    CommandLine line;
    State state = State::options;
    int index = 1;
    while (index < argc) {
        const char *argument = argv[index];
        bool valid = false;
        switch (state) {
        case State::options:
            if (argument[0] != '-') {
                state = State::port;
                continue;  // the same argument again, as the port name
            }
            valid = true;
            if (std::strcmp(argument, "-s") == 0) {
                line.silent = true;
            } else if (std::strcmp(argument, "-h") == 0) {
                line.help = true;
            } else if (std::strcmp(argument, "-v") == 0) {
                line.verbose = true;
            } else if (std::strcmp(argument, "-j") == 0) {
                line.json = true;
            } else {
                valid = false;
            }
            break;
        case State::port:
            if (argument[0] == '/') {
                line.port = argument;
                state = State::code;
                valid = true;
            }
            break;
        case State::code:
            if (const auto code = parse_code(argument)) {
                line.code = *code;
                state = State::done;
                valid = true;
            }
            break;
        case State::done: break;
        }
        if (!valid) {
            line.outcome = CommandLine::Outcome::invalid_argument;
            line.invalid_position = index;
            line.invalid_argument = argument;
            return line;
        }
        ++index;
    }
    switch (state) {
    case State::options:
    case State::port: line.outcome = CommandLine::Outcome::missing_port; break;
    case State::code: line.outcome = CommandLine::Outcome::missing_code; break;
    case State::done: line.outcome = CommandLine::Outcome::complete; break;
    }
    return line;
}

}  // namespace orvy::inquiry
