// Bytes as hex text and back, the one form every test and test program
// prints and reads: upper-case pairs, by default separated by one blank.
#pragma once

#include <cctype>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvy::test {

inline std::string hex_text(const unsigned char *bytes, std::size_t count,
                            std::string_view separator = " ")
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) text += separator;
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

inline std::string hex_text(const std::vector<unsigned char> &bytes,
                            std::string_view separator = " ")
{
    return hex_text(bytes.data(), bytes.size(), separator);
}

// Every two hex digits make a byte; anything else between them is ignored,
// so "1D6101", "1D 61 01" and "1D-61-01" are the same three bytes.
inline std::vector<unsigned char> bytes_of_hex(std::string_view text)
{
    std::vector<unsigned char> bytes;
    int high = -1;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
        const int value = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<unsigned char>(high << 4 | value));
            high = -1;
        }
    }
    return bytes;
}

}  // namespace orvy::test
