// The inquiries the tool knows: one per bit of the inquiry code GS a n.
#pragma once

#include <cstdint>
#include <span>

namespace orvy::inquiry {

struct InquiryEntry {
    std::uint8_t mask;   // inquiry bit n of GS a n
    const char *name;    // printed in progress and hex lines
    int type;            // block type the printer puts in the response header
    std::uint16_t size;  // record length, also the length in the response header
};

// The six inquiries in bit order; bits 6 and 7 have none.
std::span<const InquiryEntry> inquiry_table();

// The entry for one inquiry bit, or none.
const InquiryEntry *inquiry_for(unsigned mask);

}  // namespace orvy::inquiry
