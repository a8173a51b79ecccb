// The printer's receive buffer: host bytes wait in it, in order, until the
// printer has printed them at its print rate. A full buffer takes nothing
// more; a printer out of paper stops draining it. Times are microseconds of
// a monotonic clock, passed in by the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "command_parser.h"
#include "printer.h"

namespace orvy::sim {

// A receive buffer of 16 KiB, drained as fast as the head prints full-width
// raster lines: 72 bytes per dot row, 8 rows per mm, 200 mm/s.
inline constexpr std::size_t kDefaultPrintBuffer = 16 * 1024;
inline constexpr std::uint32_t kDefaultPrintRate = 72 * 8 * 200;

class PrintBuffer {
public:
    // 0 for either: no limit.
    PrintBuffer(std::size_t capacity, std::uint32_t rate) : capacity_(capacity), rate_(rate) {}

    std::size_t used() const { return used_; }
    bool empty() const { return queue_.empty(); }
    // Whether `size` more bytes fit. An empty buffer takes any amount, so
    // that a USB packet larger than the buffer still gets in.
    bool fits(std::size_t size) const;
    // Bytes that fit now.
    std::size_t room() const;

    void push(Command command, std::int64_t now_us);

    // Hands the printer what its rate allows up to `now_us`. True when
    // anything drained.
    bool drain(Printer &printer, std::int64_t now_us);
    // Everything the printer takes now, at no rate (the run ends).
    void finish(Printer &printer);

    // Microseconds from `now_us` until `size` more bytes will have drained
    // at the rate; nothing when the buffer is empty, the printer stopped it
    // or the rate is unlimited.
    std::optional<std::int64_t> wait_for(std::size_t size, std::int64_t now_us) const;

private:
    // Bytes drained up to `budget`; stops where the printer waits for paper.
    std::size_t hand_over(Printer &printer, std::size_t budget);

    std::size_t capacity_;
    std::uint32_t rate_;
    std::deque<Command> queue_;
    std::size_t front_done_ = 0;  // bytes of the front print data already printed
    std::size_t used_ = 0;
    std::int64_t accounted_us_ = 0;  // the rate is counted up to here
    std::uint64_t credit_ = 0;       // byte-microseconds not yet drained
    bool stopped_ = false;           // the printer waits for paper
};

}  // namespace orvy::sim
