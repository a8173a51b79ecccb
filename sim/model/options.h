// The simulator's command line: Orvy_Simulator [options] [--] [COMMAND [ARG...]].
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "answer_shaping.h"
#include "bytes.h"
#include "print_buffer.h"
#include "printer.h"
#include "records.h"

namespace orvy::sim {

enum class KernelDriver { None, Detachable, Stuck };

struct UsbShape {
    std::uint16_t vendor_id = ORVY_USB_VENDOR_ID;
    std::uint16_t product_id = 1;
    unsigned endpoints = 2;  // per alternate setting: IN, or IN and OUT
    unsigned alt_settings = 1;
    unsigned in_packet_size = 64;
    unsigned out_packet_size = 64;
    std::string serial_number = kSerialNumber;
};

// A knob given to one printer only: --printer K:NAME[=VALUE].
struct PrinterKnob {
    unsigned printer = 1;  // from 1
    std::string name;      // the option without its dashes
    std::optional<std::string> value;
};

struct Options {
    std::string log_path;
    unsigned delay_ms = 0;
    bool silent = false;
    std::vector<std::size_t> split;
    unsigned trickle_ms = 0;
    Bytes pending;
    unsigned babble_ms = 0;
    AnswerShape shape;
    bool paper_out = false;
    std::optional<std::size_t> out_partial;
    std::optional<unsigned> unplug_after_ms;
    bool no_usb = false;
    UsbShape usb;
    KernelDriver kernel_driver = KernelDriver::None;
    unsigned claim_busy = 0;
    bool claim_always_busy = false;
    bool stall = false;
    unsigned printers = 1;
    std::string tty_name = "ttyS1";  // the first printer's serial port
    std::optional<unsigned> replug_after_ms;
    std::size_t print_buffer = kDefaultPrintBuffer;  // bytes, 0: no limit
    std::uint32_t print_rate = kDefaultPrintRate;    // bytes per second, 0: no limit
    std::uint64_t paper_mm = kDefaultPaperMm;
    std::uint64_t near_end_mm = kDefaultNearEndMm;
    std::string paper_path;    // the printed receipt
    std::string control_path;  // the control FIFO; empty: one in the scratch directory
    std::vector<PrinterKnob> printer_knobs;
    bool help = false;
    std::vector<std::string> command;  // empty: the user's shell
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the command line is good
};

// `args` excludes the program name.
ParsedOptions parse_options(const std::vector<std::string> &args);

// The options of printer `index` (0: the first): the common ones with its
// --printer knobs applied. With --paper FILE, printer k > 1 writes FILE.k.
Options options_for_printer(const Options &options, unsigned index);

std::string usage_text();

}  // namespace orvy::sim
