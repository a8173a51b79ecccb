// A command line from fuzz input: the bytes split at zero bytes into
// arguments, after the fixed leading ones (the program name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace orvy::fuzz {

inline std::vector<std::string> arguments_of(const std::uint8_t *data, std::size_t size,
                                             std::vector<std::string> arguments, std::size_t most)
{
    const char *text = reinterpret_cast<const char *>(data);
    for (std::size_t at = 0; at < size && arguments.size() < most;) {
        const std::size_t length = strnlen(text + at, size - at);
        arguments.emplace_back(text + at, length);
        at += length + 1;
    }
    return arguments;
}

}  // namespace orvy::fuzz
