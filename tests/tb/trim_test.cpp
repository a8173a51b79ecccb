#include "Orvy_Tb.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Trim, CutsWhiteSpaceAtBothEndsOnly)
{
    struct {
        const char *in;
        const char *out;
    } const cases[] = {
        {" \tab\n", "ab"},
        {"   ", ""},
        {"", ""},
        {"ab", "ab"},
        {"  a b\t c  ", "a b\t c"},
        {"\v\f\r x \r\n", "x"},
        {"x\n", "x"},
        {"\nx", "x"},
    };
    for (const auto &c : cases) {
        std::string buffer = c.in;
        buffer += '#';  // behind the terminator: must stay untouched
        buffer[buffer.size() - 1] = '\0';
        buffer += '#';
        char *s = buffer.data();
        EXPECT_EQ(orvy_tb_trim(s), s);
        EXPECT_STREQ(s, c.out) << "input \"" << c.in << "\"";
        EXPECT_EQ(buffer.back(), '#');
    }
}

TEST(Trim, OfNoneIsNone) { EXPECT_EQ(orvy_tb_trim(nullptr), nullptr); }

}  // namespace
