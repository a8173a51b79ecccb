#include "json_writer.h"

#include <cstdio>

namespace orvy::json {
namespace {

void append_escaped(std::string &literal, unsigned char byte)
{
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
    literal += escaped;
}

// Appends a quote or backslash escaped, printable ASCII as it is; false for
// every other byte.
bool append_plain(std::string &literal, unsigned char byte)
{
    if (byte == '"' || byte == '\\') {
        literal += '\\';
        literal += static_cast<char>(byte);
        return true;
    }
    if (byte >= 0x20 && byte < 0x7F) {
        literal += static_cast<char>(byte);
        return true;
    }
    return false;
}

// Length of the valid UTF-8 sequence at the start of `text`, 0 if none.
std::size_t utf8_sequence_length(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    unsigned min_second = 0x80, max_second = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) min_second = 0xA0;
        if (lead == 0xED) max_second = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) min_second = 0x90;
        if (lead == 0xF4) max_second = 0x8F;
    }
    if (length == 0 || text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const unsigned low = i == 1 ? min_second : 0x80, high = i == 1 ? max_second : 0xBF;
        if (byte < low || byte > high) return 0;
    }
    return length;
}

std::string bracketed(char open, const Layout &layout, const std::string &members, char close)
{
    if (members.empty()) return std::string{open} + close;
    std::string text{open};
    text += layout.open;
    text += members;
    text += layout.close;
    return text + close;
}

void append_member(std::string &members, const Layout &layout, std::string_view member)
{
    if (!members.empty()) members += layout.separator;
    members += member;
}

}  // namespace

std::string bytes_string(std::string_view bytes)
{
    std::string literal = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (!append_plain(literal, byte)) append_escaped(literal, byte);
    }
    return literal + "\"";
}

std::string text_string(std::string_view text)
{
    std::string literal = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (append_plain(literal, byte)) {
            ++i;
        } else if (const std::size_t length =
                       byte >= 0x80 ? utf8_sequence_length(text.substr(i)) : 0) {
            literal += text.substr(i, length);
            i += length;
        } else {
            append_escaped(literal, byte);
            ++i;
        }
    }
    return literal + "\"";
}

std::string number(long long value) { return std::to_string(value); }

Object &Object::add(std::string_view key, std::string_view value)
{
    std::string member = bytes_string(key);
    member += ": ";
    member += value;
    append_member(members_, layout_, member);
    return *this;
}

std::string Object::text() const { return bracketed('{', layout_, members_, '}'); }

Array &Array::add(std::string_view value)
{
    append_member(members_, layout_, value);
    return *this;
}

std::string Array::text() const { return bracketed('[', layout_, members_, ']'); }

}  // namespace orvy::json
