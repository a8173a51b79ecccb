// What the sample programs print, built from their documented texts, and
// how the tests run them.
#pragma once

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "sim_run.h"

namespace orvy::test::demos {

inline const std::string kInquiryStatus = ORVY_DEMO_INQUIRY_STATUS_PATH;
inline const std::string kPageLength = ORVY_DEMO_PAGE_LENGTH_PATH;
inline const std::string kFormFeed = ORVY_DEMO_FORM_FEED_PATH;

inline const std::string kUsbPort = "/dev/bus/usb/001/011";
inline const std::string kRule(49, '-');

inline std::string usage(const std::string &program)
{
    const std::string example =
        program == kPageLength ? "\"/dev/bus/usb/001/011\" 1255 " : "\"/dev/bus/usb/001/011\"";
    return "\nERROR: No printer path available or page length missing, example usage : " + program +
           " " + example + "\n\n";
}

inline std::string start_banner(const std::string &program)
{
    return "\n" + kRule + "\n--- START OF APPLICATION (" + program + ")\n" + kRule + "\n";
}

// `handle` as printed; `millimetres` only for the page length sample.
inline std::string parameter_block(const std::string &port, const std::string &handle,
                                   const std::string &millimetres = "")
{
    std::string block = "\n" + kRule + "\n--- Printer name \t= " + port + "\n";
    if (!millimetres.empty()) block += "--- Page length \t= " + millimetres + " mm\n";
    return block + "--- Printer handler \t= " + handle + "\n" + kRule + "\n";
}

inline std::string end_banner(const std::string &program)
{
    return kRule + "\n\n" + kRule + "\n--- END OF APPLICATION (" + program + ")\n" + kRule + "\n";
}

// The byte dump of bytes given as blank-separated hex ("1B FF 03 6D"):
// "[XX] " each, a line break and six tabs after every 16th, a line break at the end.
inline std::string dump(const std::string &hex_bytes)
{
    std::istringstream in(hex_bytes);
    std::string dumped;
    int position = 1;
    for (std::string byte; in >> byte; ++position) {
        dumped += "[" + byte + "] ";
        if (position % 16 == 0) dumped += "\n\t\t\t\t\t\t";
    }
    return dumped + "\n";
}

// A successful open prints a handle that varies from run to run: the output
// with the handle's digits replaced by "<handle>", after checking that they
// form a non-negative intptr_t.
inline std::string with_handle_placeholder(const std::string &out)
{
    static const std::regex kHandleLine("--- Printer handler \t= ([0-9]+)\n");
    std::smatch match;
    if (!std::regex_search(out, match, kHandleLine)) {
        ADD_FAILURE() << "no handle line in:\n" << out;
        return out;
    }
    EXPECT_LE(std::stoull(match[1].str()), static_cast<unsigned long long>(INTPTR_MAX))
        << "a successful open printed a negative handle";
    return match.prefix().str() + "--- Printer handler \t= <handle>\n" + match.suffix().str();
}

// Parameterised cases carry a name: it names the test, and gtest prints it for the case.
#define NAMED_CASE(Case)                                                                           \
    friend void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }
inline const auto kCaseName = [](const auto &info) { return info.param.name; };

// The simulator's own failure (125: an option it does not know yet, no
// preload library) or its absence skips the test.
#define SKIP_WITHOUT_SIMULATOR(result)                                                             \
    if ((result).exit_status == 125 || (result).exit_status == -1)                                 \
    GTEST_SKIP() << "simulator unavailable: " << (result).err

}  // namespace orvy::test::demos
