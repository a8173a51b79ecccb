// The four bytes that open the printer's answer to GS a n: ESC, FF, the block
// type and the length of the record that follows.
#pragma once

#include <array>
#include <cstdint>

namespace orvy::inquiry {

inline constexpr std::size_t kAnswerHeaderSize = 4;
using AnswerHeader = std::array<unsigned char, kAnswerHeaderSize>;

enum class HeaderCheck { ok, size_mismatch, type_mismatch };

// Whether `header` announces a record of `type` and `size`. A wrong type is a
// type mismatch; a wrong marker or size with the right type a size mismatch.
HeaderCheck check_answer_header(const AnswerHeader &header, int type, unsigned size);

// The three bytes of the inquiry `mask`.
inline std::array<unsigned char, 3> inquiry_command(unsigned char mask)
{
    return {0x1D, 0x61, mask};
}

}  // namespace orvy::inquiry
