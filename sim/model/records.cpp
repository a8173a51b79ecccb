#include "records.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace orvy::sim {
namespace {

constexpr std::array<InquiryKind, 6> kInquiries{{
    {0x01, 2, 14},   // status
    {0x02, 3, 109},  // information
    {0x04, 4, 35},   // sensor
    {0x08, 5, 163},  // flash
    {0x10, 6, 26},   // presenter
    {0x20, 7, 39},   // life
}};

// Packed little-endian fields at fixed offsets; the record starts all zero.
class RecordWriter {
public:
    explicit RecordWriter(std::size_t size) : bytes_(size, 0) {}

    void u8(std::size_t offset, std::uint8_t value) { put(offset, value, 1); }
    void u16(std::size_t offset, std::uint16_t value) { put(offset, value, 2); }
    void u32(std::size_t offset, std::uint32_t value) { put(offset, value, 4); }
    void raw(std::size_t offset, const Bytes &value)
    {
        assert(offset + value.size() <= bytes_.size());
        std::memcpy(bytes_.data() + offset, value.data(), value.size());
    }
    // A text may fill its slot completely, leaving no terminating zero.
    void text(std::size_t offset, std::size_t width, std::string_view value)
    {
        assert(offset + width <= bytes_.size());
        std::memcpy(bytes_.data() + offset, value.data(), std::min(value.size(), width));
    }
    Bytes take() { return std::move(bytes_); }

private:
    void put(std::size_t offset, std::uint32_t value, std::size_t width)
    {
        assert(offset + width <= bytes_.size());
        for (std::size_t i = 0; i < width; ++i) bytes_[offset + i] = (value >> (8 * i)) & 0xFF;
    }
    Bytes bytes_;
};

// Status word bits: 0 online (ready to print), 2 paper near end, 3 paper
// out, 31 cover closed. The state byte is 01 ready or 02 waiting for paper;
// the error word has bit 0 for paper out.
Bytes status_record(const PrinterCounters &c)
{
    RecordWriter w(14);
    std::uint32_t status = 0x80000000u;
    status |= c.paper_out ? 0x08u : 0x01u;
    if (c.paper_near_end) status |= 0x04u;
    w.u32(0, status);
    w.u8(4, c.print_job_id);
    w.u16(5, static_cast<std::uint16_t>(c.head_temperature_c));
    w.u16(7, c.board_voltage_tv);
    w.u8(9, c.paper_out ? 0x02 : 0x01);
    w.u16(10, c.paper_out ? 0x0001 : 0x0000);
    return w.take();
}

Bytes information_record(const PrinterCounters &counters)
{
    RecordWriter w(109);
    w.u8(0, 3);
    w.text(1, 17, kPartNumber);
    w.text(18, 17, counters.serial_number.c_str());
    w.text(35, 17, "2026-03-14");
    w.u32(52, 0x00011203u);
    w.u32(56, 0x000003FFu);
    w.u32(60, 0x00000015u);
    w.text(64, 17, "FW-K80-0173");
    w.text(81, 11, "1.7.3");
    w.text(92, 13, "2026-02-27");
    w.u32(105, 0x00000002u);
    return w.take();
}

Bytes sensor_record(const PrinterCounters &c)
{
    RecordWriter w(35);
    w.u8(0, 1);
    w.raw(1, {0x7A, 0x80, 0x33, 0x0F, 0xC4, 0x00, 0x12, 0x9E, 0x41, 0x41, 0x00, 0xFF, 0x27, 0x08,
              0x90, 0x5C});
    w.u16(17, 0x0155);
    w.u16(19, static_cast<std::uint16_t>(c.head_temperature_c));
    w.u16(21, c.board_voltage_tv);
    // paper pre-end, entry 1, entry 2, head up, cutter 1, cutter 2, exit,
    // auxiliary, presenter 1, presenter 2; the entry sensors see paper
    const std::uint8_t paper = c.paper_out ? 0x00 : 0x01;
    w.raw(23, {c.paper_near_end ? std::uint8_t{0x01} : std::uint8_t{0x00}, paper, paper, 0x00, 0x01,
               0x00, 0x00, 0x00, 0x00, 0x00});
    return w.take();
}

Bytes flash_record()
{
    RecordWriter w(163);
    w.u8(0, 1);
    // Slot 1 is exactly as wide as its 21 bytes (no zero), slot 3 is empty.
    const std::array<std::string_view, 6> entries{"BOOT 1.02 2025-11-04", "APPL 1.7.3 2026-02-27",
                                                  "FONT LATIN-1 V4",      "",
                                                  "LOGO KIOSK-A",         "CONF PL1255"};
    const std::array<std::uint32_t, 6> checksums{0x4C2A, 0xE1D7, 0x9B03, 0x0000, 0x71F0, 0xA55A};
    const std::array<std::uint8_t, 6> states{0x01, 0x01, 0x01, 0x00, 0x01, 0x01};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        w.text(1 + 21 * i, 21, entries[i]);
        w.u32(127 + 4 * i, checksums[i]);
        w.u8(151 + i, states[i]);
    }
    return w.take();
}

Bytes presenter_record(const PrinterCounters &c)
{
    RecordWriter w(26);
    w.u8(0, 1);
    w.u8(1, 2);
    w.u16(2, 0x0010);
    w.u8(4, 0x01);
    w.u8(5, 0);
    w.u32(6, c.processed_pages);
    w.u32(10, c.ejected_pages);
    w.u32(14, 0xFFFFFFFFu);  // rejects are not counted by this presenter
    return w.take();
}

Bytes life_record(const PrinterCounters &c)
{
    RecordWriter w(39);
    w.u8(0, 1);
    w.u32(1, c.time_powered_s);
    w.u32(5, c.distance_stepped_mm);
    w.u32(9, c.distance_burned_mm);
    w.u32(13, c.paper_transported_mm);
    w.u32(17, c.system_starts);
    w.u32(21, c.hard_resets);
    w.u32(25, c.paper_cuts);
    w.u16(29, c.paper_loads);
    return w.take();
}

}  // namespace

const InquiryKind *find_inquiry(std::uint8_t mask)
{
    for (const auto &kind : kInquiries) {
        if (kind.mask == mask) return &kind;
    }
    return nullptr;
}

Bytes build_record(const InquiryKind &kind, const PrinterCounters &counters)
{
    switch (kind.mask) {
    case 0x01: return status_record(counters);
    case 0x02: return information_record(counters);
    case 0x04: return sensor_record(counters);
    case 0x08: return flash_record();
    case 0x10: return presenter_record(counters);
    default: return life_record(counters);
    }
}

std::string serial_number_of(unsigned index)
{
    char text[32];
    std::snprintf(text, sizeof text, "K80P1-26-%06u", 4711u + index);
    return text;
}

}  // namespace orvy::sim
