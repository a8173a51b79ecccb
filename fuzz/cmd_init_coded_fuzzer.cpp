// Any text is a command: whatever orvy_tb_cmd_init_coded makes of it must
// agree with the plain byte-at-a-time rules, must not change when the text is
// counted with a terminating zero byte (unless that byte lands in a quoted run
// or behind a backslash) and must survive the trip through its canonical
// coded form unchanged.
#include "Orvy_Tb.h"

#include "coded_notation_model.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

bool is_upper_hex(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// "[XX XX ...]" and a zero byte, nothing else.
bool is_canonical(const unsigned char *coded, unsigned int n_coded, unsigned int n_raw)
{
    if (n_coded != 3 * n_raw + 2 || coded[0] != '[' || coded[n_coded - 2] != ']' ||
        coded[n_coded - 1] != '\0') {
        return false;
    }
    for (unsigned int k = 0; k < n_raw; ++k) {
        const unsigned char *pair = coded + 1 + 3 * k;
        if ((k > 0 && pair[-1] != ' ') || !is_upper_hex(pair[0]) || !is_upper_hex(pair[1])) {
            return false;
        }
    }
    return true;
}

std::vector<unsigned char> raw_of_text(std::vector<unsigned char> text)
{
    const intptr_t cmd =
        orvy_tb_cmd_init_coded(text.data(), static_cast<unsigned int>(text.size()));
    require(cmd != 0, "a record from the text");
    unsigned char *raw = nullptr;
    unsigned int n = 0;
    require(orvy_tb_cmd_get_raw(cmd, &raw, &n) == 1, "raw getter");
    std::vector<unsigned char> result(raw, raw + n);
    orvy_tb_cmd_exit(cmd);
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0 || size > 1U << 20) return 0;
    // The constructor takes a non-const pointer; the fuzzer's buffer is not ours.
    std::vector<unsigned char> text(data, data + size);
    const auto n = static_cast<unsigned int>(size);

    const intptr_t coded_cmd = orvy_tb_cmd_init_coded(text.data(), n);
    require(coded_cmd != 0, "every non-empty text makes a record");

    unsigned char *raw = nullptr;
    unsigned int n_raw = 0;
    require(orvy_tb_cmd_get_raw(coded_cmd, &raw, &n_raw) == 1, "raw getter");
    require(n_raw <= n, "no more raw bytes than text bytes");
    unsigned char *coded = nullptr;
    unsigned int n_coded = 0;
    require(orvy_tb_cmd_get_coded(coded_cmd, &coded, &n_coded) == 1, "coded getter");
    require(n_coded == n && std::memcmp(coded, data, size) == 0, "the text is kept as given");
    char *str = nullptr;
    require(orvy_tb_cmd_get_coded_str(coded_cmd, &str) == 1 &&
                str == reinterpret_cast<char *>(coded),
            "string getter");
    require(orvy_tb_cmd_get_raw(coded_cmd, nullptr, &n_raw) == 0, "missing destination");

    const orvy::tb::model::Parse expected = orvy::tb::model::parse(data, size);
    require(expected.raw.size() == n_raw &&
                (n_raw == 0 || std::memcmp(expected.raw.data(), raw, n_raw) == 0),
            "the bytes the plain rules give");

    std::vector<unsigned char> counted_zero = text;
    counted_zero.push_back(0);
    std::vector<unsigned char> expected_with_zero = expected.raw;
    if (!expected.comment && (expected.open_quote || expected.open_escape)) {
        expected_with_zero.push_back(0);
    }
    require(raw_of_text(counted_zero) == expected_with_zero, "a counted zero byte changes nothing");

    const intptr_t raw_cmd = orvy_tb_cmd_init_raw(raw, n_raw);
    if (n_raw == 0) {
        require(raw_cmd == 0, "no record from no bytes");
    } else {
        require(raw_cmd != 0, "a record from the raw bytes");
        unsigned char *canonical = nullptr;
        unsigned int n_canonical = 0;
        require(orvy_tb_cmd_get_coded(raw_cmd, &canonical, &n_canonical) == 1, "canonical text");
        require(is_canonical(canonical, n_canonical, n_raw), "canonical form");

        const intptr_t again = orvy_tb_cmd_init_coded(canonical, n_canonical);
        unsigned char *raw_again = nullptr;
        unsigned int n_raw_again = 0;
        require(again != 0 && orvy_tb_cmd_get_raw(again, &raw_again, &n_raw_again) == 1,
                "a record from the canonical text");
        require(n_raw_again == n_raw && std::memcmp(raw_again, raw, n_raw) == 0,
                "raw -> coded -> raw gives the same bytes");
        orvy_tb_cmd_exit(again);
        orvy_tb_cmd_exit(raw_cmd);
    }
    orvy_tb_cmd_exit(coded_cmd);
    return 0;
}
