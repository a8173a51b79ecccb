// Finding and keeping the printer, with the real programs under the
// simulator: the listing, stable names across a replug, serial adapters,
// and the access report for a user without rights.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "as_nobody.h"
#include "sim_run.h"

using orvy::test::lines_of;
using orvy::test::run_program;
using orvy::test::run_under_simulator;
using orvy::test::RunResult;

namespace {

const std::string kFirst = "K80P1-26-004711";
const std::string kSecond = "K80P1-26-004712";
const std::string kByFirst = "/dev/orvy/by-serial/" + kFirst;

// One line per printer from the JSON listing, through a real JSON parser.
std::vector<std::string> parsed_json(const std::string &json)
{
    const std::string file = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                             "/listing-" + std::to_string(getpid()) + ".json";
    std::ofstream(file) << json;
    const RunResult r = run_program(
        {"python3", "-c",
         "import json, sys\n"
         "for p in json.load(open(sys.argv[1])):\n"
         "    print(p['serial'], p['product_id'], p['usb_port'], p['lp_port'],\n"
         "          p['stable_usb_port'], p['stable_lp_port'], p['usb_access'], p['lp_access'])\n",
         file});
    std::remove(file.c_str());
    EXPECT_EQ(r.exit_status, 0) << r.err;
    return lines_of(r.out);
}

TEST(ListPrinters, ShowsBothPrintersWithPortsLinksAndSerialNumbers)
{
    const RunResult text = run_under_simulator({"--printers", "2"}, {ORVY_LIST_PATH});
    ASSERT_EQ(text.exit_status, 0) << text.out << text.err;
    for (const std::string &expected : std::vector<std::string>{
             "Printer " + kFirst + " (product id 1)",
             "  USB:        /dev/bus/usb/001/011  (read/write: yes)",
             "  usblp:      /dev/usb/lp0  (read/write: yes)", "  stable USB: " + kByFirst + "/usb",
             "  stable lp:  " + kByFirst + "/lp", "Printer " + kSecond + " (product id 1)",
             "  USB:        /dev/bus/usb/001/012  (read/write: yes)",
             "  usblp:      /dev/usb/lp1  (read/write: yes)"}) {
        EXPECT_NE(text.out.find(expected + "\n"), std::string::npos) << expected << "\n"
                                                                     << text.out;
    }

    const RunResult json = run_under_simulator({"--printers", "2"}, {ORVY_LIST_PATH, "--json"});
    ASSERT_EQ(json.exit_status, 0) << json.err;
    if (run_program({"python3", "-c", ""}).exit_status != 0) GTEST_SKIP() << "no python3";
    const std::string by_second = "/dev/orvy/by-serial/" + kSecond;
    EXPECT_EQ(parsed_json(json.out),
              (std::vector<std::string>{kFirst + " 1 /dev/bus/usb/001/011 /dev/usb/lp0 " +
                                            kByFirst + "/usb " + kByFirst + "/lp True True",
                                        kSecond + " 1 /dev/bus/usb/001/012 /dev/usb/lp1 " +
                                            by_second + "/usb " + by_second + "/lp True True"}));
}

TEST(ListPrinters, ExitStatusTellsFoundNoneAndUsageError)
{
    EXPECT_EQ(run_under_simulator({"--no-usb"}, {ORVY_LIST_PATH}).exit_status, 1);
    const RunResult none = run_under_simulator({"--no-usb"}, {ORVY_LIST_PATH, "--json"});
    EXPECT_EQ(none.exit_status, 1);
    EXPECT_EQ(none.out, "[]\n");
    EXPECT_EQ(run_program({ORVY_LIST_PATH, "--jsn"}).exit_status, 2);
}

// Root may open anything: the listing then runs as nobody, in a test bed
// that nobody owns, and the node is taken away from its owner.
TEST(ListPrinters, ReportsDeniedAccessWithTheReasonAndTheFix)
{
    const orvy::test::AsNobody nobody({ORVY_LIST_PATH});
    if (!nobody.unavailable().empty()) GTEST_SKIP() << nobody.unavailable();
    const RunResult r = run_program(
        nobody.under_simulator({}, {"sh", "-c",
                                    "chmod 0 \"$UMOCKDEV_DIR/dev/bus/usb/001/011\" && " +
                                        nobody.program(ORVY_LIST_PATH)}));
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("  USB:        /dev/bus/usb/001/011  (read/write: no)\n    why:  the node "
                         "has group "),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("    fix:  "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  usblp:      /dev/usb/lp0  (read/write: yes)"), std::string::npos);
}

// Only the lines that the host sent on the first printer's USB port.
std::vector<std::string> printed_lines(const std::string &log)
{
    std::string text;
    for (const std::string &line : lines_of(log)) {
        if (line.rfind("usb > ", 0) != 0) continue;
        for (std::size_t at = 6; at + 1 < line.size(); at += 3) {
            text += static_cast<char>(std::stoi(line.substr(at, 2), nullptr, 16));
        }
    }
    return lines_of(text);
}

TEST(StableNames, PrintingGoesOnAfterAReplugWithNoLineTwice)
{
    // 40 lines 50 ms apart: the printer leaves after 600 ms, for 500 ms.
    const RunResult r =
        run_under_simulator({"--replug-after-ms", "600"},
                            {ORVY_KEEP_PRINTING_PATH, kByFirst + "/usb", "40", "50"});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err << r.log;
    EXPECT_NE(r.log.find("usb: unplugged"), std::string::npos);
    EXPECT_NE(r.log.find("usb: plugged in at 001/012"), std::string::npos) << r.log;
    const auto out = lines_of(r.out);
    ASSERT_EQ(out.size(), 2u) << r.out;
    // Away for 500 ms, then printing within a second of the return (generous
    // for a loaded machine).
    long ms = 0;
    ASSERT_EQ(std::sscanf(out[0].c_str(), "reconnected after %ld ms", &ms), 1) << out[0];
    EXPECT_GE(ms, 300);
    EXPECT_LT(ms, 2500);
    EXPECT_EQ(out[1], "done 40 lines");

    std::vector<std::string> expected;
    for (int i = 1; i <= 40; ++i) {
        char line[16];
        std::snprintf(line, sizeof line, "LINE %04d", i);
        expected.emplace_back(line);
    }
    EXPECT_EQ(printed_lines(r.log), expected);
}

TEST(SerialAdapters, TtyUsbGetsTheSerialSettingsAlsoThroughALink)
{
    const std::string settings = "tty: speed=115200 data=8 parity=none stop=1 flow=rtscts";
    const RunResult direct =
        run_under_simulator({"--tty-name", "ttyUSB0"},
                            {ORVY_INQUIRY_TOOL_PATH, "-v", "/dev/ttyUSB0", "[3F]"});
    EXPECT_EQ(direct.exit_status, 0) << direct.out;
    EXPECT_NE(direct.log.find(settings), std::string::npos) << direct.log;
    EXPECT_NE(direct.out.find("printer_info.szSerialNr"), std::string::npos);

    // A link of no known form (as /dev/serial/by-id/...) leads to the adapter.
    const RunResult linked =
        run_under_simulator({"--tty-name", "ttyACM0"},
                            {"sh", "-c",
                             "mkdir -p \"$UMOCKDEV_DIR/dev/serial/by-id\" && ln -s ../../ttyACM0 "
                             "\"$UMOCKDEV_DIR/dev/serial/by-id/usb-Orvy-if00\" && " +
                                 std::string(ORVY_INQUIRY_TOOL_PATH) +
                                 " /dev/serial/by-id/usb-Orvy-if00 '[01]'"});
    EXPECT_EQ(linked.exit_status, 0) << linked.out << linked.err;
    EXPECT_NE(linked.log.find(settings), std::string::npos) << linked.log;
}

}  // namespace
