// The printer's own commands, as the sample programs send them.
#include "Orvy_Tb.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

template <std::size_t N>
std::size_t put(const std::array<unsigned char, N> &command, unsigned char *buffer,
                std::size_t size) noexcept
{
    if (buffer != nullptr && size >= N) std::copy(command.begin(), command.end(), buffer);
    return N;
}

}  // namespace

extern "C" {

size_t orvy_tb_command_status_inquiry(unsigned char *buffer, size_t size)
{
    return put(std::array<unsigned char, 3>{0x1D, 0x61, 0x02}, buffer, size);
}

size_t orvy_tb_command_page_length(int tenths_mm, unsigned char *buffer, size_t size)
{
    // Both bytes count in 255s, not 256s; only their low eight bits are sent.
    const int hi = tenths_mm / 255;
    const int lo = tenths_mm - 255 * hi;
    return put(std::array<unsigned char, 7>{0x1B, 0xF1, 0x01, 0x03, 0x0A,
                                            static_cast<unsigned char>(hi & 0xFF),
                                            static_cast<unsigned char>(lo & 0xFF)},
               buffer, size);
}

size_t orvy_tb_command_hard_reset(unsigned char *buffer, size_t size)
{
    return put(std::array<unsigned char, 4>{0x1B, 0xF2, 0x03, 0x00}, buffer, size);
}

size_t orvy_tb_command_form_feed(unsigned char *buffer, size_t size)
{
    return put(std::array<unsigned char, 1>{0x0C}, buffer, size);
}

size_t orvy_tb_command_full_cut(unsigned char *buffer, size_t size)
{
    return put(std::array<unsigned char, 5>{0x1B, 0xF0, 0x06, 0x01, 0x02}, buffer, size);
}

}  // extern "C"
