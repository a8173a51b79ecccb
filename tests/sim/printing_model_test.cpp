// What printing does inside the printer: paper taken from the roll, the
// receipt it writes, the receive buffer drained at the print rate, and the
// control lines and per-printer knobs that change it.
#include <gtest/gtest.h>

#include "control_command.h"
#include "options.h"
#include "print_buffer.h"
#include "printer.h"

namespace orvy::sim {
namespace {

Bytes text(const std::string &s) { return Bytes(s.begin(), s.end()); }

// A printer whose receipt is collected line by line.
struct Receipted {
    explicit Receipted(std::uint64_t paper_mm = 1000, std::uint64_t near_end_mm = 0)
        : printer(kSerialNumber, PaperRoll(paper_mm, near_end_mm))
    {
        printer.set_receipt_sink([this](const std::string &line) { lines.push_back(line); });
    }
    void send(const Bytes &stream)
    {
        CommandParser parser;
        for (const auto &command : parser.feed(stream)) printer.run(command);
        printer.flush_receipt();
    }
    Printer printer;
    std::vector<std::string> lines;
};

TEST(PaperUse, LinesPagesAndCutsTakeTheirLength)
{
    Receipted r(1000);
    r.send(text("A\n\n"));
    EXPECT_EQ(r.printer.paper_left_um(), 1000000u - 2 * 3750);
    // Page length 300 (30 mm): the form feed tops up the page begun by the lines.
    r.send({0x1B, 0xF1, 0x01, 0x03, 0x0A, 0x01, 0x2D, 0x0C});
    EXPECT_EQ(r.printer.paper_left_um(), 1000000u - 30000);
    r.send({0x1B, 0xF0, 0x06, 0x01, 0x02});
    EXPECT_EQ(r.printer.paper_left_um(), 1000000u - 42000);
    EXPECT_EQ(r.lines, (std::vector<std::string>{"|A", "|", "[1B F1 01 03 0A 01 2D]", "<form feed>",
                                                 "<cut>"}));
}

TEST(PaperUse, TheRollRunsOutMidJobAndALoadedRollGoesOn)
{
    Receipted r(10, 4);  // room for two lines and a bit
    const Bytes job = text("ONE\nTWO\nTHREE\nFOUR\n");
    EXPECT_FALSE(r.printer.paper_near_end());
    std::size_t printed = r.printer.print(job.data(), job.size());
    EXPECT_EQ(printed, job.size() - 1) << "FOUR waits for paper to feed its line";
    EXPECT_TRUE(r.printer.paper_empty());
    EXPECT_TRUE(r.printer.paper_near_end());
    const Bytes status = *r.printer.answer_to_inquiry(0x01);
    EXPECT_EQ(status[4 + 9], 0x02) << "waiting for paper";
    EXPECT_EQ(status[4 + 10], 0x01) << "error: paper out";
    const Bytes sensor = *r.printer.answer_to_inquiry(0x04);
    EXPECT_EQ(Bytes(sensor.begin() + 4 + 23, sensor.begin() + 4 + 26), (Bytes{0x01, 0x00, 0x00}));
    EXPECT_FALSE(r.printer.run({Command::Kind::FullCut, {0x1B, 0xF0, 0x06, 0x01, 0x02}}));

    r.printer.load_paper(100);
    EXPECT_EQ(r.printer.print(job.data() + printed, job.size() - printed), job.size() - printed);
    EXPECT_EQ(r.lines, (std::vector<std::string>{"|ONE", "|TWO", "|THREE", "|FOUR"}));
    EXPECT_EQ(r.printer.counters().paper_loads, 89u);
}

TEST(Receipt, CodesMarkWhatIsNotPrinted)
{
    Receipted r;
    r.send({0x00, 0x00, 0x1B, 0x45, 0x01, 'a', '[', '\\', 0x0D, 0x0A, 0x1B, 0xF2, 0x03, 0x00});
    r.send(Bytes(49, 'x'));
    r.send({0x0C});
    EXPECT_EQ(r.lines,
              (std::vector<std::string>{"[00 00]", "|[1B]E[01]a\\[\\\\[0D]", "[1B F2 03 00]",
                                        "|" + std::string(48, 'x'), "|x", "<form feed>"}));
}

TEST(PrintBuffer, DrainsAtTheRateAndStopsWithoutPaper)
{
    Printer printer(kSerialNumber, PaperRoll(1, 0));
    PrintBuffer buffer(100, 1000);  // 1 byte per ms
    buffer.push({Command::Kind::PrintData, Bytes(40, 'x')}, 0);
    EXPECT_TRUE(buffer.fits(60));
    EXPECT_FALSE(buffer.fits(61));
    EXPECT_EQ(buffer.wait_for(10, 0), 10000);
    buffer.drain(printer, 25500);
    EXPECT_EQ(buffer.used(), 15u);
    buffer.push({Command::Kind::PrintData, text("\n\n\n")}, 25500);
    buffer.drain(printer, 200000);
    EXPECT_EQ(buffer.used(), 2u) << "the roll gives one line of 1 mm, then the rest waits";
    EXPECT_EQ(buffer.wait_for(1, 200000), std::nullopt);
    printer.load_paper(10);
    buffer.drain(printer, 900000);  // the time waiting for paper printed nothing
    EXPECT_EQ(buffer.used(), 2u);
    buffer.drain(printer, 902000);
    EXPECT_TRUE(buffer.empty());
}

TEST(ControlLine, CommandsAndTheirErrors)
{
    const auto load = parse_control_line("  load 2   80000 ", 2);
    ASSERT_EQ(load.error, "");
    EXPECT_EQ(load.command.kind, ControlCommand::Kind::Load);
    EXPECT_EQ(load.command.printer, 2u);
    EXPECT_EQ(load.command.paper_mm, 80000u);
    EXPECT_EQ(parse_control_line("silent 1", 1).command.kind, ControlCommand::Kind::Silent);
    for (const char *bad :
         {"load 1", "paper-out 3", "paper-out 0", "plug", "jam 1", "load 1 -5", "unplug 1 2"}) {
        EXPECT_NE(parse_control_line(bad, 2).error, "") << bad;
    }
}

TEST(PrinterKnobs, OnePrinterDiffersFromTheOthers)
{
    const auto p =
        parse_options({"--printers", "3", "--delay-ms", "5", "--paper", "/tmp/r", "--printer",
                       "2:silent", "--printer=3:delay-ms=400", "--printer", "3:paper-mm=0"});
    ASSERT_EQ(p.error, "");
    const Options first = options_for_printer(p.options, 0);
    const Options second = options_for_printer(p.options, 1);
    const Options third = options_for_printer(p.options, 2);
    EXPECT_FALSE(first.silent);
    EXPECT_TRUE(second.silent);
    EXPECT_EQ(second.delay_ms, 5u);
    EXPECT_EQ(third.delay_ms, 400u);
    EXPECT_EQ(third.paper_mm, 0u);
    EXPECT_EQ(first.paper_path, "/tmp/r");
    EXPECT_EQ(third.paper_path, "/tmp/r.3");
    for (std::vector<std::string> bad : {std::vector<std::string>{"--printer", "2:silent"},
                                         {"--printers", "2", "--printer", "2:log=x"},
                                         {"--printers", "2", "--printer", "2:delay-ms=soon"},
                                         {"--printers", "2", "--printer", "2:bogus"},
                                         {"--printers", "2", "--printer", "silent"}}) {
        EXPECT_NE(parse_options(bad).error, "") << bad.back();
    }
}

}  // namespace
}  // namespace orvy::sim
