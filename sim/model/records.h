// The six inquiry records: which inquiry bit asks for which record, and the
// record bytes built from the printer's state.
#pragma once

#include <cstdint>
#include <string>

#include "bytes.h"

namespace orvy::sim {

struct InquiryKind {
    std::uint8_t mask;  // the n of 1D 61 n
    std::uint8_t type;  // block type in the answer header
    std::uint8_t size;  // record length
};

// The record kind that inquiry bit `mask` asks for; nullptr for any other n.
const InquiryKind *find_inquiry(std::uint8_t mask);

// What the records report. Starts with the life history of a printer that has
// been in service for a while; commands of this run add to it.
struct PrinterCounters {
    std::string serial_number;  // set by the printer's owner
    std::uint8_t print_job_id = 0;
    std::int16_t head_temperature_c = -7;  // an unheated kiosk in winter
    std::uint16_t board_voltage_tv = 241;  // tenths of a volt
    std::uint32_t processed_pages = 1523;
    std::uint32_t ejected_pages = 1519;
    std::uint32_t time_powered_s = 3456789012u;       // beyond INT32_MAX on purpose
    std::uint32_t distance_stepped_mm = 4012345678u;  // likewise
    std::uint32_t distance_burned_mm = 2749321;
    std::uint32_t paper_transported_mm = 3104432;
    std::uint32_t system_starts = 412;
    std::uint32_t hard_resets = 17;
    std::uint32_t paper_cuts = 1519;
    std::uint16_t paper_loads = 88;
    bool paper_near_end = false;  // the roll is below its near-end mark
    bool paper_out = false;       // the roll is out: printing has stopped
};

// Header 1B FF type size is not part of the record.
Bytes build_record(const InquiryKind &kind, const PrinterCounters &counters);

// Identity texts shared by the records and the USB string descriptors.
inline constexpr const char *kManufacturer = "Velmora";
inline constexpr const char *kProductName = "Orvy K80 Kiosk Printer";
inline constexpr const char *kPartNumber = "ORVY-K80-P1";
inline constexpr const char *kSerialNumber = "K80P1-26-004711";

// The serial number of the simulator's printer number `index` (0: the first,
// kSerialNumber); consecutive, as printers from one batch are.
std::string serial_number_of(unsigned index);

}  // namespace orvy::sim
