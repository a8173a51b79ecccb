#include "receipt.h"

#include <cstdio>

#include "hex.h"

namespace orvy::sim {
namespace {

bool printable(std::uint8_t byte) { return byte >= 0x20 && byte <= 0x7E; }

}  // namespace

void Receipt::add_to_line(std::uint8_t byte)
{
    if (printable(byte)) {
        close_code_run();
        if (byte == '[' || byte == '\\') line_ += '\\';
        line_ += static_cast<char>(byte);
        return;
    }
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", byte);
    line_ += in_code_run_ ? " " : "[";
    line_ += hex;
    in_code_run_ = true;
}

void Receipt::close_code_run()
{
    if (!in_code_run_) return;
    line_ += ']';
    in_code_run_ = false;
}

void Receipt::print_line()
{
    close_code_run();
    emit("|" + line_);
    line_.clear();
}

void Receipt::form_feed() { emit("<form feed>"); }

void Receipt::cut() { emit("<cut>"); }

void Receipt::command(const Bytes &bytes) { emit("[" + hex_line(bytes) + "]"); }

void Receipt::sync_byte() { ++pending_sync_; }

void Receipt::flush()
{
    if (pending_sync_ == 0) return;
    const Bytes zeros(pending_sync_, 0x00);
    pending_sync_ = 0;
    command(zeros);
}

void Receipt::emit(const std::string &record)
{
    flush();
    if (sink_) sink_(record);
}

}  // namespace orvy::sim
