// The simulator's command line.
#include <gtest/gtest.h>

#include "options.h"

namespace orvy::sim {
namespace {

ParsedOptions parse(const std::vector<std::string> &args) { return parse_options(args); }

TEST(Options, KnobsAndCommand)
{
    const auto p = parse({"--log",
                          "/tmp/x.log",
                          "--delay-ms",
                          "250",
                          "--split",
                          "4,14",
                          "--pending",
                          "AA BB CC",
                          "--answer-esc=0x1c",
                          "--answer-size",
                          "16",
                          "--short-answer",
                          "3",
                          "--garbage",
                          "2",
                          "--claim-busy",
                          "always",
                          "--kernel-driver",
                          "stuck",
                          "--vendor-id",
                          "0x1234",
                          "--in-packet-size",
                          "8",
                          "--",
                          "prog",
                          "--silent"});
    ASSERT_EQ(p.error, "");
    const Options &o = p.options;
    EXPECT_EQ(o.log_path, "/tmp/x.log");
    EXPECT_EQ(o.delay_ms, 250u);
    EXPECT_EQ(o.split, (std::vector<std::size_t>{4, 14}));
    EXPECT_EQ(o.pending, (Bytes{0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(o.shape.esc, 0x1C);
    EXPECT_EQ(o.shape.size, 16);
    EXPECT_EQ(o.shape.short_length, 3u);
    EXPECT_EQ(o.shape.garbage, 2u);
    EXPECT_TRUE(o.claim_always_busy);
    EXPECT_EQ(o.kernel_driver, KernelDriver::Stuck);
    EXPECT_EQ(o.usb.vendor_id, 0x1234);
    EXPECT_EQ(o.usb.in_packet_size, 8u);
    EXPECT_FALSE(o.silent) << "options after the command belong to it";
    EXPECT_EQ(o.command, (std::vector<std::string>{"prog", "--silent"}));
}

TEST(Options, DefaultsAreThePrinterAsSold)
{
    const auto p = parse({});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.usb.vendor_id, ORVY_USB_VENDOR_ID);
    EXPECT_EQ(p.options.usb.product_id, 1);
    EXPECT_EQ(p.options.usb.endpoints, 2u);
    EXPECT_EQ(p.options.usb.alt_settings, 1u);
    EXPECT_EQ(p.options.usb.in_packet_size, 64u);
    EXPECT_TRUE(p.options.command.empty());
}

TEST(Options, CommandStartsAtTheFirstNonOption)
{
    const auto p = parse({"--silent", "lsusb", "-v"});
    ASSERT_EQ(p.error, "");
    EXPECT_TRUE(p.options.silent);
    EXPECT_EQ(p.options.command, (std::vector<std::string>{"lsusb", "-v"}));
}

TEST(Options, BadCommandLinesAreRefused)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--delay-ms"},
        {"--delay-ms", "x"},
        {"--delay-ms", "-1"},
        {"--split", "0"},
        {"--split", "4,,2"},
        {"--pending", "AB C"},
        {"--answer-type", "256"},
        {"--kernel-driver", "maybe"},
        {"--endpoints", "3"},
        {"--alt-settings", "0"},
        {"--claim-busy", "often"},
        {"--silent=1"},
        {"--vendor-id", "0x10000"},
    };
    for (const auto &args : bad) EXPECT_NE(parse(args).error, "") << args[0];
}

TEST(Options, LeadingZeroIsDecimal)
{
    EXPECT_EQ(parse({"--delay-ms", "010"}).options.delay_ms, 10u);
    EXPECT_EQ(parse({"--product-id", "0x0002"}).options.usb.product_id, 2);
}

TEST(Options, SeveralPrintersPortNamesAndReplug)
{
    const auto p = parse({"--printers", "8", "--tty-name", "ttyUSB0", "--replug-after-ms", "600"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.printers, 8u);
    EXPECT_EQ(p.options.tty_name, "ttyUSB0");
    EXPECT_EQ(p.options.replug_after_ms, 600u);
    EXPECT_EQ(parse({}).options.tty_name, "ttyS1");
    // Names that would leave /dev or collide with the printer-class files.
    for (const char *bad : {"0", "9", "x"}) EXPECT_NE(parse({"--printers", bad}).error, "") << bad;
    for (const char *bad : {"", "../ttyS1", "usb/ttyS1", "lp0", "tty S1"}) {
        EXPECT_NE(parse({"--tty-name", bad}).error, "") << bad;
    }
}

}  // namespace
}  // namespace orvy::sim
