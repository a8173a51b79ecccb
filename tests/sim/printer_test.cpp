// The command stream, whatever its chunking, and what the commands do to
// the printer's state.
#include <gtest/gtest.h>

#include "printer.h"

namespace orvy::sim {
namespace {

using Kind = Command::Kind;

// Print data may come in as many pieces as the stream had chunks.
std::vector<Kind> kinds(const std::vector<Command> &commands)
{
    std::vector<Kind> k;
    for (const auto &c : commands) {
        if (k.empty() || c.kind != Kind::PrintData || k.back() != Kind::PrintData) {
            k.push_back(c.kind);
        }
    }
    return k;
}

// Feeds the stream in chunks of `chunk` bytes.
std::vector<Command> parse_in_chunks(const Bytes &stream, std::size_t chunk)
{
    CommandParser parser;
    std::vector<Command> all;
    for (std::size_t i = 0; i < stream.size(); i += chunk) {
        auto part = parser.feed(stream.data() + i, std::min(chunk, stream.size() - i));
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const Bytes kSampleStream = {
    0x00, 0x00,                                // sync
    0x1D, 0x61, 0x02,                          // inquiry
    0x1B, 0xF1, 0x01, 0x03, 0x0A, 0x04, 0xEB,  // page length 1255
    0x1B, 0xF2, 0x03, 0x00,                    // hard reset
    0x0C,                                      // form feed
    0x1B, 0xF0, 0x06, 0x01, 0x02,              // full cut
    'A',  'B',                                 // print data
};

TEST(CommandParser, SameCommandsWhateverTheChunking)
{
    const std::vector<Kind> expected = {Kind::Sync,       Kind::Sync,      Kind::Inquiry,
                                        Kind::PageLength, Kind::HardReset, Kind::FormFeed,
                                        Kind::FullCut,    Kind::PrintData};
    for (std::size_t chunk : {1u, 2u, 3u, 5u, 7u, 64u}) {
        const auto commands = parse_in_chunks(kSampleStream, chunk);
        EXPECT_EQ(kinds(commands), expected) << "chunk " << chunk;
        ASSERT_GE(commands.size(), expected.size());
        EXPECT_EQ(commands[3].bytes, (Bytes{0x1B, 0xF1, 0x01, 0x03, 0x0A, 0x04, 0xEB}));
    }
}

TEST(CommandParser, AnUnfinishedCommandWaitsForItsRest)
{
    CommandParser parser;
    EXPECT_TRUE(parser.feed(Bytes{0x1D, 0x61}).empty());
    EXPECT_EQ(parser.pending(), (Bytes{0x1D, 0x61}));
    const auto commands = parser.feed(Bytes{0x20});
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].bytes, (Bytes{0x1D, 0x61, 0x20}));
}

TEST(CommandParser, PrefixBytesOfNoCommandArePrintData)
{
    struct Case {
        Bytes stream;
        std::vector<Kind> kinds;
    };
    const Case cases[] = {
        {{0x1D, 0x41, 0x1D, 0x61, 0x01}, {Kind::PrintData, Kind::Inquiry}},
        {{0x1B, 0x40, 0x0C}, {Kind::PrintData, Kind::FormFeed}},
        {{0x1B, 0xF0, 0x01, 0x01, 0x01}, {Kind::Unknown}},
        {{0x1B, 0xF2, 0x03, 0x01}, {Kind::Unknown}},
        {{0x1B, 0x1B, 0xF2, 0x03, 0x00}, {Kind::PrintData, Kind::HardReset}},
    };
    for (const auto &c : cases) EXPECT_EQ(kinds(parse_in_chunks(c.stream, 1)), c.kinds);
}

std::uint32_t life_field(const Printer &p, std::size_t offset)
{
    const Bytes a = *p.answer_to_inquiry(0x20);
    const std::size_t at = 4 + offset;
    return a[at] | a[at + 1] << 8 | a[at + 2] << 16 | static_cast<std::uint32_t>(a[at + 3]) << 24;
}

void run(Printer &printer, const Bytes &stream)
{
    CommandParser parser;
    for (const auto &command : parser.feed(stream)) printer.execute(command);
}

TEST(PrinterState, CutsAndHardResetsCountInTheLifeRecord)
{
    Printer printer;
    const std::uint32_t cuts = life_field(printer, 25);
    const std::uint32_t resets = life_field(printer, 21);
    const std::uint32_t starts = life_field(printer, 17);
    run(printer,
        {0x1B, 0xF0, 0x06, 0x01, 0x02, 0x1B, 0xF0, 0x06, 0x01, 0x02, 0x1B, 0xF2, 0x03, 0x00});
    EXPECT_EQ(life_field(printer, 25), cuts + 2);
    EXPECT_EQ(life_field(printer, 21), resets + 1);
    EXPECT_EQ(life_field(printer, 17), starts + 1);
}

TEST(PrinterState, PageLengthIsKeptAcrossAHardReset)
{
    Printer printer;
    run(printer, {0x1B, 0xF1, 0x01, 0x03, 0x0A, 0x01, 0x2D});  // 300
    EXPECT_EQ(printer.page_length_tenth_mm(), 300);
    run(printer, {0x1B, 0xF2, 0x03, 0x00});
    EXPECT_EQ(printer.page_length_tenth_mm(), 300);
    const std::uint32_t transported = life_field(printer, 13);
    run(printer, {0x0C});
    EXPECT_EQ(life_field(printer, 13), transported + 30) << "a 30 mm page";
}

TEST(PrinterState, InquiriesAnswerAndOtherCommandsDoNot)
{
    Printer printer;
    CommandParser parser;
    int answers = 0;
    for (const auto &command : parser.feed(kSampleStream)) {
        answers += printer.execute(command) ? 1 : 0;
    }
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(printer.sync_bytes(), 2u);
    EXPECT_EQ(printer.print_bytes(), 2u);
}

}  // namespace
}  // namespace orvy::sim
