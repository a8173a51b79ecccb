#include "inquiry_table.h"

#include <array>

namespace orvy::inquiry {
namespace {

constexpr std::array kTable{
    InquiryEntry{0x01, "printer_status", 2, 14},  InquiryEntry{0x02, "printer_information", 3, 109},
    InquiryEntry{0x04, "printer_sensor", 4, 35},  InquiryEntry{0x08, "printer_flash", 5, 163},
    InquiryEntry{0x10, "printer_present", 6, 26}, InquiryEntry{0x20, "printer_life", 7, 39},
};

// The size byte of the response header caps a record at 255 bytes.
constexpr bool sizes_fit_header()
{
    for (const InquiryEntry &entry : kTable) {
        if (entry.size > 0xFF) return false;
    }
    return true;
}
static_assert(sizes_fit_header());

}  // namespace

std::span<const InquiryEntry> inquiry_table() { return kTable; }

const InquiryEntry *inquiry_for(unsigned mask)
{
    for (const InquiryEntry &entry : kTable) {
        if (entry.mask == mask) return &entry;
    }
    return nullptr;
}

}  // namespace orvy::inquiry
