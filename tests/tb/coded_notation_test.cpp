// The coded notation, seen through orvy_tb_cmd_init_coded / orvy_tb_cmd_get_raw.
#include "test_support.h"

#include "coded_notation.h"
#include "coded_notation_model.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <random>
#include <string>

namespace {

using namespace std::string_literals;
using orvy::tb::testing::Bytes;
using orvy::tb::testing::parse_to_hex;
using orvy::test::hex_text;

struct NotationCase {
    std::string coded;
    const char *raw;  // hex
    const char *why;
};

// Test names carry the case's purpose, in characters that every runner takes.
void PrintTo(const NotationCase &c, std::ostream *os)
{
    for (const char *p = c.why; *p != '\0'; ++p) {
        *os << (std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
    }
}

class NotationTest : public ::testing::TestWithParam<NotationCase> {};

TEST_P(NotationTest, GivesTheExpectedBytes)
{
    EXPECT_EQ(parse_to_hex(GetParam().coded), GetParam().raw) << GetParam().why;
}

// The rules where they meet one another.
INSTANTIATE_TEST_SUITE_P(
    Rules, NotationTest,
    ::testing::Values(
        NotationCase{"[41 // 42]", "41", "comment ends the parse in hex mode"},
        NotationCase{"A\\//B", "41", "comment ends the parse with an escape pending"},
        NotationCase{"\"a//b\"//c", "61 2F 2F 62", "double slash is text only in a quoted run"},
        NotationCase{"a/b/", "61 2F 62 2F", "single slash, also last, is text"},
        NotationCase{"\\/", "2F", "escaped single slash"},
        NotationCase{"[4\t 1]", "41", "half byte survives blanks and tabs"},
        NotationCase{"[4\"\"1]", "41", "half byte survives an empty quoted run"},
        NotationCase{"[4\"xy\"1 2]", "78 79 41",
                     "quoted bytes come before the pair they interrupt"},
        NotationCase{"[41\"x\"42]", "41 78 42", "hex mode resumes after a quoted run"},
        NotationCase{"\\ \tn", "0A", "escape survives blanks and tabs"},
        NotationCase{"[4\\n1]", "0A 41", "escape byte comes at once, half byte survives"},
        NotationCase{"[4\\x12]", "12", "\\x restarts hex mode and drops the half byte"},
        NotationCase{"[41\\A42]", "41 34 32 5D", "\\A ends hex mode"},
        NotationCase{"[41\\a42]", "41 34 32 5D", "\\a ends hex mode"},
        NotationCase{"\\X4142", "41 42", "\\X begins hex mode"},
        NotationCase{"\\a41", "34 31", "\\a outside hex mode does nothing"},
        NotationCase{"\\b\\f\\n\\r\\t", "08 0C 0A 0D 09", "control escapes"},
        NotationCase{"\\B\\F\\N\\R\\T", "42 46 4E 52 54", "control escapes are lower case only"},
        NotationCase{"\\\\\\\"\\[\\]", "5C 22 5B 5D", "escaped marks are literal"},
        NotationCase{"\\\"ab", "22 61 62", "escaped quote opens no run"},
        NotationCase{"\\5", "35", "escaped digit"},
        NotationCase{"\\\x01", "01", "escaped control byte is kept"},
        NotationCase{"\\\xE9", "E9", "escaped high byte is kept"},
        NotationCase{"\"\\n[41]\"", "5C 6E 5B 34 31 5D", "no escapes or hex inside a quoted run"},
        NotationCase{"\"\t\x01\x7F\xE9 \"", "09 01 7F E9 20", "a quoted run keeps every byte"},
        NotationCase{"[aB cD]", "AB CD", "digits in either case"},
        NotationCase{"[123]", "12", "odd digit count loses the last digit"},
        NotationCase{"[12 3", "12", "open hex mode at the end produces nothing"},
        NotationCase{"[[41", "34 31", "an opening bracket ends hex mode"},
        NotationCase{"[41/42]", "41 34 32 5D", "a single slash ends hex mode"},
        NotationCase{"[41\n42]", "41 34 32 5D", "a line feed ends hex mode"},
        NotationCase{"]41]", "5D 34 31 5D", "closing bracket is text outside hex mode"},
        NotationCase{"\"ab", "61 62", "unterminated quoted run"},
        NotationCase{"ab\\", "61 62", "pending escape at the end"},
        NotationCase{"a\x01\x7F\r\x80\xFF"
                     "b",
                     "61 62", "unprintable bytes are dropped"},
        NotationCase{" \t \t", "", "blanks and tabs only"},
        NotationCase{"// nothing", "", "a comment only"}, NotationCase{"/", "2F", "one slash"},
        NotationCase{"ab\0"s, "61 62", "counted zero byte is dropped"},
        NotationCase{"\"a\0"s, "61 00", "zero byte inside an open quoted run"},
        NotationCase{"a\\\0"s, "61 00", "zero byte after a lone backslash"},
        NotationCase{"[1B 40]\0"s, "1B 40", "canonical text with its zero byte"}));

// The worked examples that document the notation.
INSTANTIATE_TEST_SUITE_P(
    Examples, NotationTest,
    ::testing::Values(NotationCase{"[1B 40]", "1B 40", "pair"},
                      NotationCase{"[1b40]", "1B 40", "lower case, no blank"},
                      NotationCase{"[1B 40 0A]", "1B 40 0A", "three pairs"},
                      NotationCase{"[4 1]", "41", "split pair"},
                      NotationCase{"[1B 4]", "1B", "lone half byte"},
                      NotationCase{"[0A] // line feed", "0A", "comment"},
                      NotationCase{"A B C", "41 42 43", "text"},
                      NotationCase{"ESC\\x1B\\a", "45 53 43 1B", "\\x ... \\a"},
                      NotationCase{"\\n\\r", "0A 0D", "escapes"},
                      NotationCase{"\\[", "5B", "escaped bracket"},
                      NotationCase{"\\q\\B", "71 42", "unlisted escapes"},
                      NotationCase{"[41 G 42]", "41 34 32 5D", "G ends hex mode"},
                      NotationCase{"\\x1B[40]", "1B 34 30 5D", "bracket inside hex mode"},
                      NotationCase{"41]", "34 31 5D", "stray closing bracket"},
                      NotationCase{"[41\\n 42]", "41 0A 42", "escape inside hex mode"},
                      NotationCase{"\"AB\"", "41 42", "quoted run"},
                      NotationCase{"[41 \"AB\" 42]", "41 41 42 42", "quoted run inside hex mode"},
                      NotationCase{"[4\"A\"1]", "41 41", "quoted run inside a pair"},
                      NotationCase{"\"a//b\"", "61 2F 2F 62", "slashes in a quoted run"},
                      NotationCase{"\\//x", "", "comment after a backslash"},
                      NotationCase{"A\nB", "41 42", "line feed dropped"},
                      NotationCase{"\\\nB", "0A 42", "escaped line feed"}));

Bytes random_text(std::mt19937 &rng, std::size_t length)
{
    // Mostly the bytes that carry meaning, so that rules meet often.
    static const std::string kAlphabet = "[] \t\\\"/0123456789abcdefABCDEFxXaAnrtbfGq\n\0\x7F\xE9"s;
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::uniform_int_distribution<int> any_byte(0, 255);
    std::bernoulli_distribution from_alphabet(0.9);
    Bytes text(length);
    for (auto &b : text) {
        b = from_alphabet(rng) ? static_cast<unsigned char>(kAlphabet[pick(rng)])
                               : static_cast<unsigned char>(any_byte(rng));
    }
    return text;
}

TEST(CodedNotation, AgreesWithTheByteAtATimeRulesOnRandomTexts)
{
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<std::size_t> length(1, 400);
    for (int round = 0; round < 4000; ++round) {
        const Bytes text = random_text(rng, length(rng));
        Bytes raw(text.size());
        raw.resize(orvy::tb::parse_coded_notation(text.data(), text.size(), raw.data()));
        // The library's fast paths must agree with the plain rules.
        ASSERT_EQ(hex_text(raw), hex_text(orvy::tb::model::parse(text.data(), text.size()).raw))
            << "text: " << std::string(text.begin(), text.end());
    }
}

// A locale of its own, compiled into a private directory (the machine's locale
// set-up is left alone), where bytes above 7F are printable. glibc looks up
// LOCPATH at every setlocale, so setting it here is enough. localedef's
// sources come with the `locales` package, which install-deps.sh installs:
// a locale that cannot be built is a failure, never a skip.
class LatinLocale : public ::testing::Test {
protected:
    void SetUp() override
    {
        // -c: warnings about the character set must not stop the build.
        const std::string command =
            "localedef -c -i en_US -f ISO-8859-1 '" + dir_.path("latin1") + "' >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        setenv("LOCPATH", dir_.path().c_str(), 1);
        ASSERT_NE(std::setlocale(LC_CTYPE, "latin1"), nullptr)
            << "localedef (status " << status << ") could not build an ISO-8859-1 locale in "
            << dir_.path();
        std::setlocale(LC_CTYPE, "C");
    }
    void TearDown() override
    {
        std::setlocale(LC_CTYPE, "C");
        unsetenv("LOCPATH");
    }
    const orvy::test::ScratchDir dir_{"orvy-tb-locale"};
};

TEST_F(LatinLocale, PrintableBytesFollowTheLocaleOfEachCallHexDigitsDoNot)
{
    const std::string text = "a\xE9\xFF"
                             "b";
    EXPECT_EQ(parse_to_hex(text), "61 62");
    std::setlocale(LC_CTYPE, "latin1");
    EXPECT_EQ(parse_to_hex(text), "61 E9 FF 62");
    EXPECT_EQ(parse_to_hex("[e9 Fa]"), "E9 FA");
    EXPECT_EQ(parse_to_hex("[\xE9 41]"), "34 31 5D");  // not a digit: ends hex mode
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(parse_to_hex(text), "61 62");
}

}  // namespace
