// Connections of orvy_api_conn_open under the simulated printer: several
// printers and threads at once, a port held twice, a printer unplugged
// during a read, a second alternate setting, and the codes' texts.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "Orvy_Api.h"
#include "sim_run.h"
#include "usb_scenario.h"

namespace {

using orvy::api::test::kUsbPort;
using orvy::api::test::run_usb_scenario;
using orvy::test::run_under_simulator;

const std::string kLpPort = "/dev/usb/lp0";

// The only line of a run's output that starts with `key`.
std::string line_with(const std::string &out, const std::string &key)
{
    for (const auto &line : orvy::test::lines_of(out)) {
        if (line.rfind(key, 0) == 0) return line;
    }
    return "<no line " + key + " in:\n" + out + ">";
}

TEST(Connections, TwoPrintersOnTwoTransportsAtOnce)
{
    // The example: one thread per printer, one line per printer.
    const auto example =
        run_under_simulator({"--printers", "2"}, {ORVY_EXAMPLE_PATH, kUsbPort, "/dev/usb/lp1"});
    EXPECT_EQ(example.exit_status, 0) << example.out << example.err;
    const std::string status = ": status 80000001, state 01, error 0000, head -7 C, 24.1 V";
    EXPECT_EQ(orvy::test::lines_of(example.out),
              (std::vector<std::string>{kUsbPort + status, "/dev/usb/lp1" + status}));

    // A wait on one printer does not hold up an inquiry on the other.
    for (const auto &[a, b] :
         {std::pair{kUsbPort, std::string("/dev/usb/lp1")},
          std::pair{std::string("/dev/usb/lp0"), std::string("/dev/bus/usb/001/012")}}) {
        const auto run =
            run_under_simulator({"--printers", "2"}, {ORVY_CONN_THREADS_PATH, "independent", a, b});
        EXPECT_EQ(line_with(run.out, "b_done"), "b_done_first=1 b_ok=1") << a << " " << b;
    }
}

TEST(Connections, ThreadsShareOneConnectionOneCallAtATime)
{
    for (const std::string &port : {kUsbPort, kLpPort}) {
        const auto waiting = run_under_simulator({}, {ORVY_CONN_THREADS_PATH, "serialised", port});
        EXPECT_EQ(line_with(waiting.out, "b_after_a"), "b_after_a=1 b_sent=3") << port;
        const auto shared = run_under_simulator({}, {ORVY_CONN_THREADS_PATH, "shared", port, "4"});
        EXPECT_EQ(line_with(shared.out, "bytes"), "bytes=410 same_bytes=1") << port;
    }
}

TEST(Connections, APortHeldInThisProcessIsRefusedAtOnce)
{
    const auto s = run_usb_scenario({}, {"conn-open:" + kUsbPort, "conn-open:" + kUsbPort,
                                         "conn-open:" + kLpPort, "conn-open:" + kLpPort, "conn:@1",
                                         "conn-close", "conn-open:" + kUsbPort, "open:/dev/ttyS1",
                                         "conn-open:/dev/ttyS1"});
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("open", 1).result, ORVY_API_E_INTERFACE_BUSY);
    EXPECT_LT(s.step("open", 1).ms, 500) << "no claim retries against our own process";
    EXPECT_EQ(s.step("open", 3).result, ORVY_API_E_OPEN);
    EXPECT_TRUE(s.out_has("# port cannot be opened (busy, missing or no access), errno EBUSY"));
    EXPECT_EQ(s.step("open", 4).result, 0) << "free again after close";
    EXPECT_GE(s.step("open", 5).result, 0);
    EXPECT_EQ(s.step("open", 6).result, ORVY_API_E_OPEN) << "held by orvy_api_printer_open";
    EXPECT_EQ(s.sent(), "") << "nothing reached the printer";
}

TEST(Connections, UnplugDuringAReadEndsTheCallAtOnce)
{
    for (const std::string &port : {kUsbPort, kLpPort, std::string("/dev/ttyS1")}) {
        const auto s = run_usb_scenario({"--silent", "--unplug-after-ms", "500"},
                                        {"conn-open:" + port, "conn-read:4:8000",
                                         "conn-write:1D6101", "conn-clear", "conn-close"});
        ORVY_EXPECT_CLEAN_EXIT(s);
        EXPECT_EQ(s.step("read").result, ORVY_API_E_GONE) << port;
        EXPECT_LT(s.step("read").ms, 4000) << port;
        EXPECT_EQ(s.step("write").result, ORVY_API_E_GONE) << port;
        EXPECT_LT(s.step("write").ms, 100) << port;
        EXPECT_EQ(s.step("clear").result, ORVY_API_E_GONE) << port;
    }
}

TEST(Connections, APrinterWithTwoAlternateSettingsWorks)
{
    const auto s = run_usb_scenario({"--alt-settings", "2"},
                                    {"conn-open:" + kUsbPort, "conn-write:1D6101", "conn-read:18"});
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("open").result, 0);
    EXPECT_TRUE(s.log_has("usb: claim interface 0"));
    EXPECT_EQ(orvy::api::test::hex_bytes(s.step("read").hex, 0, 4), "1B FF 02 0E");
}

TEST(Codes, EveryCodeHasItsOwnLineOfText)
{
    std::set<std::string> texts;
    for (int code = ORVY_API_E_GONE; code <= ORVY_API_OK; ++code) {
        const std::string text = orvy_api_strerror(code);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_EQ(text.find('\n'), std::string::npos) << code;
        EXPECT_NE(text, "unknown code") << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), static_cast<std::size_t>(1 - ORVY_API_E_GONE)) << "texts differ";
    EXPECT_STREQ(orvy_api_strerror(1), "unknown code");
    EXPECT_STREQ(orvy_api_strerror(ORVY_API_E_GONE - 1), "unknown code");
}

TEST(Codes, NoConnectionAndBadArgumentsAreRefusedAtOnce)
{
    unsigned char byte = 0;
    EXPECT_EQ(orvy_api_conn_write(nullptr, &byte, 1, 10), ORVY_API_E_NO_CONNECTION);
    EXPECT_EQ(orvy_api_conn_read(nullptr, &byte, 1, 10), ORVY_API_E_NO_CONNECTION);
    EXPECT_EQ(orvy_api_conn_clear(nullptr), ORVY_API_E_NO_CONNECTION);
    orvy_api_conn_close(nullptr);
    EXPECT_EQ(orvy_api_conn_open("/dev/bus/usb/001/011", nullptr), ORVY_API_E_INVALID_ARGUMENT);
    orvy_api_conn *conn = reinterpret_cast<orvy_api_conn *>(&byte);
    EXPECT_EQ(orvy_api_conn_open("/tmp/no-known-form", &conn), ORVY_API_E_NO_PRINTER);
    EXPECT_EQ(conn, nullptr);
}

}  // namespace
