// Fault knobs that change what an answer looks like on the wire, and the
// packets a USB answer travels in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "bytes.h"

namespace orvy::sim {

struct AnswerShape {
    std::optional<std::uint8_t> esc;          // header byte 0
    std::optional<std::uint8_t> marker;       // header byte 1
    std::optional<std::uint8_t> type;         // header byte 2
    std::optional<std::uint8_t> size;         // header byte 3 (the record keeps its length)
    std::optional<std::size_t> short_length;  // only the first N bytes of header + record
    std::size_t garbage = 0;                  // 0xEE bytes before the header
};

Bytes shape_answer(Bytes answer, const AnswerShape &shape);

// Packets of the given sizes, the last size repeating; no sizes: packets of
// `max_packet`. No packet is larger than `max_packet`.
std::vector<Bytes> split_into_packets(const Bytes &bytes, const std::vector<std::size_t> &sizes,
                                      std::size_t max_packet);

}  // namespace orvy::sim
