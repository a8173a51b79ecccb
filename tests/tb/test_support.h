#pragma once

#include "Orvy_Tb.h"
#include "allocation.h"
#include "hex_text.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace orvy::tb::testing {

using Bytes = std::vector<unsigned char>;

// "1B 40" for readable failure messages.
using orvy::test::hex_text;

inline Bytes bytes_of(const std::string &text) { return Bytes(text.begin(), text.end()); }

// The raw bytes of the coded text, through the exported interface, in hex;
// "<refused>" when no record could be made.
inline std::string parse_to_hex(const std::string &coded)
{
    Bytes text = bytes_of(coded);
    const intptr_t cmd =
        orvy_tb_cmd_init_coded(text.data(), static_cast<unsigned int>(text.size()));
    if (cmd == 0) return "<refused>";
    unsigned char *raw = nullptr;
    unsigned int n = 0;
    orvy_tb_cmd_get_raw(cmd, &raw, &n);
    std::string result = hex_text(raw, n);
    orvy_tb_cmd_exit(cmd);
    return result;
}

// The count-th allocation from now on fails (1 = the next one); 0 puts
// malloc back.
inline void fail_allocation_number(unsigned count)
{
    static unsigned allocations_until_failure = 0;
    allocations_until_failure = count;
    if (count == 0) {
        orvy::tb::seams::restore_all();
        return;
    }
    orvy::tb::seams::allocate = [](std::size_t size) -> void * {
        if (allocations_until_failure != 0 && --allocations_until_failure == 0) return nullptr;
        return std::malloc(size);
    };
}

}  // namespace orvy::tb::testing
