#include "Orvy_Tb.h"

#include <cctype>
#include <cstring>

namespace {

bool is_white_space(char c) noexcept { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

char *orvy_tb_trim(char *s)
{
    if (s == nullptr) return nullptr;
    std::size_t end = std::strlen(s);
    while (end > 0 && is_white_space(s[end - 1])) --end;
    s[end] = '\0';
    std::size_t start = 0;
    while (start < end && is_white_space(s[start])) ++start;
    if (start != 0) std::memmove(s, s + start, end - start + 1);
    return s;
}
