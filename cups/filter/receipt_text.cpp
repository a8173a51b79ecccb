#include "receipt_text.h"

#include <Orvy_Tb.h>

#include <cstdlib>
#include <map>
#include <sstream>

namespace orvy::filter {
namespace {

using Bytes = std::vector<std::uint8_t>;

void append(Bytes &out, std::size_t (*command)(unsigned char *, std::size_t))
{
    unsigned char bytes[ORVY_TB_COMMAND_MAX_SIZE];
    const std::size_t size = command(bytes, sizeof bytes);
    out.insert(out.end(), bytes, bytes + size);
}

constexpr int kMaxPageLength = 65279;  // the largest that the command carries exactly

std::optional<int> page_length_of(const std::string &value)
{
    char *end = nullptr;
    const long tenths = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || tenths <= 0 || tenths > kMaxPageLength) {
        return std::nullopt;
    }
    return static_cast<int>(tenths);
}

bool is_off(const std::string &value)
{
    return value == "None" || value == "False" || value == "false" || value == "no" ||
           value == "off";
}

void apply(ReceiptOptions &options, const std::string &name, const std::string &value)
{
    if (name == "OrvyCut") {
        options.full_cut = !is_off(value);
    } else if (name == "OrvyFeed") {
        options.form_feed = !is_off(value);
    } else if (name == "OrvyPageLength") {
        options.page_length = page_length_of(value);
    }
}

}  // namespace

Bytes ReceiptText::start() const
{
    Bytes out;
    if (options_.page_length) {
        unsigned char bytes[ORVY_TB_COMMAND_MAX_SIZE];
        const std::size_t size =
            orvy_tb_command_page_length(*options_.page_length, bytes, sizeof bytes);
        out.assign(bytes, bytes + size);
    }
    return out;
}

void ReceiptText::end_line(Bytes &out)
{
    out.push_back(0x0A);
    column_ = 0;
}

void ReceiptText::put(Bytes &out, std::uint8_t byte)
{
    out.push_back(byte);
    ++column_;
}

Bytes ReceiptText::feed(const std::uint8_t *data, std::size_t size)
{
    Bytes out;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = data[i];
        const bool was_cr = after_cr_;
        after_cr_ = false;
        if (utf8_left_ > 0 && (byte & 0xC0) == 0x80) {
            --utf8_left_;  // the rest of a character already shown as '?'
            continue;
        }
        utf8_left_ = 0;
        if (byte >= 0x20 && byte < 0x7F) {
            put(out, byte);
        } else if (byte == '\n') {
            if (!was_cr) end_line(out);
        } else if (byte == '\r') {
            end_line(out);
            after_cr_ = true;
        } else if (byte == '\t') {
            do {
                put(out, ' ');
            } while (column_ % 8 != 0);
        } else if (byte == '\f') {
            if (column_ > 0) end_line(out);
            append(out, orvy_tb_command_form_feed);
        } else if (byte >= 0x80) {
            put(out, '?');
            if ((byte & 0xE0) == 0xC0) utf8_left_ = 1;
            if ((byte & 0xF0) == 0xE0) utf8_left_ = 2;
            if ((byte & 0xF8) == 0xF0) utf8_left_ = 3;
        }
    }
    return out;
}

Bytes ReceiptText::finish()
{
    Bytes out;
    if (column_ > 0) end_line(out);
    if (options_.form_feed) append(out, orvy_tb_command_form_feed);
    if (options_.full_cut) append(out, orvy_tb_command_full_cut);
    return out;
}

ReceiptOptions receipt_options(const std::string &ppd_text, const JobOptions &job_options)
{
    ReceiptOptions options;
    std::istringstream ppd(ppd_text);
    std::string line;
    while (std::getline(ppd, line)) {
        // *DefaultOrvyCut: Full
        if (line.rfind("*DefaultOrvy", 0) != 0) continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t\r") + 1);
        apply(options, line.substr(8, colon - 8), value);
    }
    for (const auto &[name, value] : job_options) apply(options, name, value);
    return options;
}

}  // namespace orvy::filter
