#include "command_boundary.h"

namespace orvy::backend {
namespace {

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kGs = 0x1D;

// Length of the ESC command by its second byte; 0: ESC is print data.
std::size_t esc_command_length(std::uint8_t second)
{
    switch (second) {
    case 0xF0: return 5;
    case 0xF1: return 7;
    case 0xF2: return 4;
    default: return 0;
    }
}

}  // namespace

void CommandBoundary::start(std::uint8_t byte) { lead_ = byte == kEsc || byte == kGs ? byte : 0; }

void CommandBoundary::feed(const std::uint8_t *data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = data[i];
        if (remaining_ > 0) {
            --remaining_;
        } else if (lead_ == kEsc) {
            lead_ = 0;
            const std::size_t length = esc_command_length(byte);
            if (length > 0) {
                remaining_ = length - 2;
            } else {
                start(byte);
            }
        } else if (lead_ == kGs) {
            lead_ = 0;
            if (byte == 0x61) {
                remaining_ = 1;
            } else {
                start(byte);
            }
        } else {
            start(byte);
        }
    }
}

}  // namespace orvy::backend
