// Splits the byte stream that the host sends into printer commands, whatever
// its chunking: a command may straddle writes, several may share one.
#pragma once

#include <cstdint>
#include <vector>

#include "bytes.h"

namespace orvy::sim {

struct Command {
    enum class Kind {
        Sync,        // 00
        FormFeed,    // 0C
        Inquiry,     // 1D 61 n
        FullCut,     // 1B F0 06 01 02
        PageLength,  // 1B F1 01 03 0A hi lo
        HardReset,   // 1B F2 03 00
        Unknown,     // 1B F0/F1/F2 with other parameter bytes
        PrintData,   // anything else
    };
    Kind kind;
    Bytes bytes;  // the whole command as received
};

class CommandParser {
public:
    std::vector<Command> feed(const std::uint8_t *data, std::size_t size);
    std::vector<Command> feed(const Bytes &bytes) { return feed(bytes.data(), bytes.size()); }

    // Bytes of a command that has begun but is not complete yet.
    const Bytes &pending() const { return pending_; }

private:
    void parse_pending(std::vector<Command> &out);
    static void add_print_data(std::vector<Command> &out, std::uint8_t byte);

    Bytes pending_;
};

}  // namespace orvy::sim
