#include "command_parser.h"

#include <algorithm>

namespace orvy::sim {
namespace {

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kGs = 0x1D;

// Total length of the ESC commands of the family, by their second byte.
std::size_t esc_command_length(std::uint8_t second)
{
    switch (second) {
    case 0xF0: return 5;
    case 0xF1: return 7;
    case 0xF2: return 4;
    default: return 0;
    }
}

bool parameters_are(const Bytes &command, std::initializer_list<std::uint8_t> expected)
{
    return std::equal(expected.begin(), expected.end(), command.begin() + 2);
}

Command classify_esc(Bytes command)
{
    using Kind = Command::Kind;
    Kind kind = Kind::Unknown;
    switch (command[1]) {
    case 0xF0:
        if (parameters_are(command, {0x06, 0x01, 0x02})) kind = Kind::FullCut;
        break;
    case 0xF1:
        if (parameters_are(command, {0x01, 0x03, 0x0A})) kind = Kind::PageLength;
        break;
    case 0xF2:
        if (parameters_are(command, {0x03, 0x00})) kind = Kind::HardReset;
        break;
    }
    return {kind, std::move(command)};
}

}  // namespace

void CommandParser::add_print_data(std::vector<Command> &out, std::uint8_t byte)
{
    if (!out.empty() && out.back().kind == Command::Kind::PrintData) {
        out.back().bytes.push_back(byte);
    } else {
        out.push_back({Command::Kind::PrintData, {byte}});
    }
}

std::vector<Command> CommandParser::feed(const std::uint8_t *data, std::size_t size)
{
    std::vector<Command> out;
    for (std::size_t i = 0; i < size; ++i) {
        pending_.push_back(data[i]);
        parse_pending(out);
    }
    return out;
}

// Called after each byte: `pending_` holds a command prefix that was
// incomplete before that byte arrived.
void CommandParser::parse_pending(std::vector<Command> &out)
{
    using Kind = Command::Kind;
    while (!pending_.empty()) {
        const std::uint8_t first = pending_[0];
        if (first == 0x00) {
            out.push_back({Kind::Sync, {first}});
        } else if (first == 0x0C) {
            out.push_back({Kind::FormFeed, {first}});
        } else if (first == kGs) {
            if (pending_.size() < 2) return;
            if (pending_[1] != 0x61) {
                // Not an inquiry: GS is print data, the next byte starts afresh.
                add_print_data(out, first);
                pending_.erase(pending_.begin());
                continue;
            }
            if (pending_.size() < 3) return;
            out.push_back({Kind::Inquiry, Bytes(pending_.begin(), pending_.begin() + 3)});
            pending_.erase(pending_.begin(), pending_.begin() + 3);
            continue;
        } else if (first == kEsc) {
            if (pending_.size() < 2) return;
            const std::size_t length = esc_command_length(pending_[1]);
            if (length == 0) {
                add_print_data(out, first);
                pending_.erase(pending_.begin());
                continue;
            }
            if (pending_.size() < length) return;
            out.push_back(classify_esc(Bytes(pending_.begin(), pending_.begin() + length)));
            pending_.erase(pending_.begin(), pending_.begin() + length);
            continue;
        } else {
            add_print_data(out, first);
        }
        pending_.erase(pending_.begin());
    }
}

}  // namespace orvy::sim
