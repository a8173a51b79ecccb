// Where the job's byte stream stands between the printer's commands. The
// backend slips its status inquiries in only at a boundary, so that an
// inquiry never lands inside one of the printer's own commands (the page
// length, hard reset and cut commands, and inquiries, as the printer reads
// them: ESC F0/F1/F2 of fixed lengths, GS 61 n). Other bytes are print data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvy::backend {

class CommandBoundary {
public:
    // Bytes that the printer has taken, in order.
    void feed(const std::uint8_t *data, std::size_t size);
    bool at_boundary() const { return lead_ == 0 && remaining_ == 0; }
    // Bytes still missing from the command that was started; 0 at a boundary
    // and while only its first byte is known.
    std::size_t remaining() const { return remaining_; }

private:
    void start(std::uint8_t byte);

    std::uint8_t lead_ = 0;      // an ESC or GS whose next byte decides
    std::size_t remaining_ = 0;  // bytes left of a command under way
};

}  // namespace orvy::backend
