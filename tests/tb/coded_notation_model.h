// A byte-at-a-time model of the coded notation, written straight from its
// rules without any of the library's fast paths. The unit tests and the
// fuzzer hold the library to it.
#pragma once

#include <cctype>
#include <cstddef>
#include <vector>

namespace orvy::tb::model {

struct Parse {
    std::vector<unsigned char> raw;
    bool comment = false;      // the text ended in a comment
    bool open_quote = false;   // ... or inside a quoted run
    bool open_escape = false;  // ... or with an escape pending
};

inline Parse parse(const unsigned char *text, std::size_t n)
{
    Parse p;
    bool fHex = false;
    unsigned bHex = 0, nHex = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = text[i];
        if (p.open_quote) {
            if (c == '"') {
                p.open_quote = false;
            } else {
                p.raw.push_back(c);
            }
        } else if (c == '/' && i + 1 < n && text[i + 1] == '/') {
            p.comment = true;
            break;
        } else if (c == ' ' || c == '\t') {
        } else if (p.open_escape) {
            p.open_escape = false;
            switch (c) {
            case 'A':
            case 'a':
                fHex = false;
                bHex = nHex = 0;
                break;
            case 'X':
            case 'x':
                fHex = true;
                bHex = nHex = 0;
                break;
            case 'b': p.raw.push_back(0x08); break;
            case 'f': p.raw.push_back(0x0C); break;
            case 'n': p.raw.push_back(0x0A); break;
            case 'r': p.raw.push_back(0x0D); break;
            case 't': p.raw.push_back(0x09); break;
            default: p.raw.push_back(c); break;
            }
        } else if (c == '\\') {
            p.open_escape = true;
        } else if (c == '"') {
            p.open_quote = true;
        } else if (fHex) {
            const int upper = std::toupper(c);
            if (std::isxdigit(upper)) {
                const unsigned value = std::isdigit(upper) ? upper - '0' : upper - 'A' + 10;
                if (nHex == 0) {
                    bHex = (value << 4) & 0xFF;
                    nHex = 1;
                } else {
                    p.raw.push_back(static_cast<unsigned char>(bHex + value));
                    bHex = nHex = 0;
                }
            } else {
                fHex = false;
                bHex = nHex = 0;
            }
        } else if (c == '[') {
            fHex = true;
            bHex = nHex = 0;
        } else if (std::isprint(c)) {
            p.raw.push_back(c);
        }
    }
    return p;
}

}  // namespace orvy::tb::model
