#include "coded_notation.h"

#include <array>
#include <bit>
#include <cctype>
#include <cstdint>
#include <cstring>

namespace orvy::tb {

namespace {

constexpr unsigned char kBlank = 0x20;
constexpr unsigned char kTab = 0x09;
constexpr unsigned char kSlash = 0x2F;
constexpr unsigned char kBackslash = 0x5C;
constexpr unsigned char kQuote = 0x22;
constexpr unsigned char kOpenBracket = 0x5B;
constexpr unsigned char kCloseBracket = 0x5D;

// Marks a byte that is no hexadecimal digit in the digit table.
constexpr std::uint16_t kNoDigit = 0x100;

// The locale's character classes for all 256 byte values, looked up once per
// conversion so the walk over the text costs one table read per byte. Built
// at every call, never cached: the locale may have changed in between.
class CharClasses {
public:
    CharClasses() noexcept
    {
        for (int c = 0; c < 256; ++c) {
            printable_[c] = std::isprint(c) != 0;
            const int upper = std::toupper(c);
            if (std::isxdigit(upper)) {
                const int value = std::isdigit(upper) ? upper - '0' : upper - 'A' + 10;
                // Only the low eight bits ever reach the assembled byte.
                digit_[c] = static_cast<std::uint16_t>(value & 0xFF);
            } else {
                digit_[c] = kNoDigit;
            }
            plain_digit_[c] = digit_[c];
        }
        // Bytes with a rule of their own that comes before the hex digit rule
        // never count as plain digits, whatever the locale says about them.
        for (const unsigned char c : {kBlank, kTab, kSlash, kBackslash, kQuote}) {
            plain_digit_[c] = kNoDigit;
        }
    }

    bool printable(unsigned char c) const noexcept { return printable_[c]; }
    // The digit's value, or kNoDigit.
    std::uint16_t digit(unsigned char c) const noexcept { return digit_[c]; }
    // The same, but kNoDigit for every byte that an earlier rule claims.
    std::uint16_t plain_digit(unsigned char c) const noexcept { return plain_digit_[c]; }

private:
    std::array<bool, 256> printable_{};
    std::array<std::uint16_t, 256> digit_{};
    std::array<std::uint16_t, 256> plain_digit_{};
};

// The walk's state; names follow the record's field convention.
struct ParseState {
    bool fAscii = false;      // inside a quoted run
    bool fBackslash = false;  // an escape is pending
    bool fHex = false;        // hex mode
    unsigned char bHex = 0;   // the byte being assembled in hex mode
    unsigned nHex = 0;        // its digits seen so far, 0 or 1

    void enter_hex() noexcept
    {
        fHex = true;
        bHex = 0;
        nHex = 0;
    }
    void leave_hex() noexcept
    {
        fHex = false;
        bHex = 0;
        nHex = 0;
    }
};

class Parser {
public:
    Parser(const unsigned char *text, std::size_t n, unsigned char *raw) noexcept
        : text_(text), n_(n), raw_(raw)
    {}

    std::size_t run() noexcept
    {
        while (i_ < n_) {
            if (s_.fAscii) {
                copy_quoted_run();
                continue;
            }
            if (s_.fHex && !s_.fBackslash) {
                consume_hex_digits();
                if (i_ == n_) break;
            }
            const unsigned char c = text_[i_];
            if (c == kSlash && i_ + 1 < n_ && text_[i_ + 1] == kSlash) {
                break;  // a comment, even in hex mode or after a backslash
            }
            if (c == kBlank || c == kTab) {
                ++i_;  // a pending escape or half byte survives
                continue;
            }
            if (s_.fBackslash) {
                s_.fBackslash = false;
                escape(c);
            } else if (c == kBackslash) {
                s_.fBackslash = true;
            } else if (c == kQuote) {
                s_.fAscii = true;  // hex mode and a half byte resume after it
            } else if (s_.fHex) {
                const std::uint16_t value = classes_.digit(c);
                if (value != kNoDigit) {
                    add_digit(value);
                } else {
                    s_.leave_hex();  // a half byte is lost, the byte dropped
                }
            } else if (c == kOpenBracket) {
                s_.enter_hex();
            } else if (classes_.printable(c)) {
                raw_[o_++] = c;
            }
            ++i_;
        }
        // Whatever is still open at the end produces nothing.
        return o_;
    }

private:
    // Up to the closing quotation mark every byte counts as it stands.
    void copy_quoted_run() noexcept
    {
        const auto *start = text_ + i_;
        const auto *quote = static_cast<const unsigned char *>(std::memchr(start, kQuote, n_ - i_));
        const std::size_t length =
            quote != nullptr ? static_cast<std::size_t>(quote - start) : n_ - i_;
        std::memcpy(raw_ + o_, start, length);
        o_ += length;
        i_ += length;
        if (quote != nullptr) {
            s_.fAscii = false;
            ++i_;
        }
    }

    void escape(unsigned char c) noexcept
    {
        switch (c) {
        case 'A':
        case 'a': s_.leave_hex(); break;
        case 'X':
        case 'x': s_.enter_hex(); break;
        case 'b': raw_[o_++] = 0x08; break;
        case 'f': raw_[o_++] = 0x0C; break;
        case 'n': raw_[o_++] = 0x0A; break;
        case 'r': raw_[o_++] = 0x0D; break;
        case 't': raw_[o_++] = 0x09; break;
        default: raw_[o_++] = c; break;
        }
    }

    // Hex mode with no escape pending: digits, blanks and tabs (the bulk of
    // a typical command) mean the same under every rule, so they are taken
    // in one tight loop. Stops at the first other byte, which the general
    // rules then decide.
    void consume_hex_digits() noexcept
    {
        for (;;) {
            if (s_.nHex == 0) consume_whole_pairs();
            if (i_ == n_) return;
            const unsigned char c = text_[i_];
            const std::uint16_t value = classes_.plain_digit(c);
            if (value != kNoDigit) {
                add_digit(value);
            } else if (c != kBlank && c != kTab) {
                return;
            }
            ++i_;
        }
    }

    // The common shape "1B 40 0A": two digits, then perhaps a blank or tab.
    void consume_whole_pairs() noexcept
    {
        while (i_ + 1 < n_) {
            const std::uint16_t high = classes_.plain_digit(text_[i_]);
            const std::uint16_t low = classes_.plain_digit(text_[i_ + 1]);
            if ((high | low) >= kNoDigit) return;
            raw_[o_++] = static_cast<unsigned char>((high << 4) + low);
            i_ += 2;
            if (i_ < n_ && (text_[i_] == kBlank || text_[i_] == kTab)) ++i_;
        }
    }

    void add_digit(std::uint16_t value) noexcept
    {
        if (s_.nHex == 0) {
            s_.bHex = static_cast<unsigned char>(value << 4);
            s_.nHex = 1;
        } else {
            s_.bHex = static_cast<unsigned char>(s_.bHex + value);
            raw_[o_++] = s_.bHex;
            s_.bHex = 0;
            s_.nHex = 0;
        }
    }

    const unsigned char *text_;
    std::size_t n_;
    unsigned char *raw_;
    std::size_t i_ = 0;
    std::size_t o_ = 0;
    ParseState s_;
    const CharClasses classes_;
};

// "XX" of every byte value, upper-case digits, high half first.
constexpr std::array<std::array<char, 2>, 256> make_hex_pairs()
{
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::array<std::array<char, 2>, 256> pairs{};
    for (std::size_t b = 0; b < 256; ++b) pairs[b] = {kDigits[b >> 4], kDigits[b & 0x0F]};
    return pairs;
}
constexpr auto kHexPairs = make_hex_pairs();

// " XX" of every byte value, in the low three bytes of a word in memory
// order, so that two of them make " XX XX" in one 64-bit store.
constexpr std::array<std::uint64_t, 256> make_blank_hex_words()
{
    std::array<std::uint64_t, 256> words{};
    for (std::size_t b = 0; b < 256; ++b) {
        const auto text =
            std::array<unsigned char, 3>{' ', static_cast<unsigned char>(kHexPairs[b][0]),
                                         static_cast<unsigned char>(kHexPairs[b][1])};
        if constexpr (std::endian::native == std::endian::little) {
            words[b] =
                std::uint64_t{text[0]} | std::uint64_t{text[1]} << 8 | std::uint64_t{text[2]} << 16;
        } else {
            words[b] = std::uint64_t{text[0]} << 56 | std::uint64_t{text[1]} << 48 |
                       std::uint64_t{text[2]} << 40;
        }
    }
    return words;
}
constexpr auto kBlankHexWords = make_blank_hex_words();

// " XX XX" of two bytes in the first six bytes of a word in memory order.
inline std::uint64_t two_blank_hex(unsigned char first, unsigned char second) noexcept
{
    if constexpr (std::endian::native == std::endian::little) {
        return kBlankHexWords[first] | kBlankHexWords[second] << 24;
    } else {
        return kBlankHexWords[first] | kBlankHexWords[second] >> 24;
    }
}

}  // namespace

std::size_t parse_coded_notation(const unsigned char *text, std::size_t n,
                                 unsigned char *raw) noexcept
{
    return Parser(text, n, raw).run();
}

std::size_t write_canonical_coded(const unsigned char *raw, std::size_t n,
                                  unsigned char *coded) noexcept
{
    // Words are stored whole and the writing position advances by the bytes
    // that count; the spare bytes are overwritten by the next store or the
    // closing bracket, and never reach beyond canonical_coded_capacity(n).
    unsigned char *out = coded;
    *out++ = kOpenBracket;
    std::memcpy(out, kHexPairs[raw[0]].data(), 2);
    out += 2;
    std::size_t k = 1;
    for (; k + 1 < n; k += 2) {
        const std::uint64_t word = two_blank_hex(raw[k], raw[k + 1]);
        std::memcpy(out, &word, sizeof word);
        out += 6;
    }
    if (k < n) {
        const std::uint64_t word = kBlankHexWords[raw[k]];
        std::memcpy(out, &word, 3);
        out += 3;
    }
    *out++ = kCloseBracket;
    *out++ = '\0';
    return static_cast<std::size_t>(out - coded);
}

}  // namespace orvy::tb
