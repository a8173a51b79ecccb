#include "answer_header.h"

namespace orvy::inquiry {
namespace {

constexpr unsigned char kEscape = 0x1B;
constexpr unsigned char kResponseMarker = 0xFF;

}  // namespace

HeaderCheck check_answer_header(const AnswerHeader &header, int type, unsigned size)
{
    const bool marked = header[0] == kEscape && header[1] == kResponseMarker;
    if (marked && header[2] == type && header[3] == size) return HeaderCheck::ok;
    return header[2] == type ? HeaderCheck::size_mismatch : HeaderCheck::type_mismatch;
}

}  // namespace orvy::inquiry
