// Running sim_client under the simulator and reading what it printed.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "sim_run.h"

namespace orvy::sim::test {

inline const std::string kUsb = "/dev/bus/usb/001/011";
inline const std::string kLp = "/dev/usb/lp0";
inline const std::string kTty = "/dev/ttyS1";
// "vvvv:0001" for the configured vendor id, as lsusb and sim_client print it.
inline std::string family_id(unsigned product = 1, unsigned vendor = ORVY_USB_VENDOR_ID)
{
    char id[16];
    std::snprintf(id, sizeof id, "%04x:%04x", vendor, product);
    return id;
}

inline const char *const kStatusAnswer = "1B FF 02 0E 01 00 00 80 00 F9 FF F1 00 01 00 00 00 00";

// sim_client PORT [claim] STEPS under the simulator; USB claims interface 0 first.
inline orvy::test::RunResult client(const std::vector<std::string> &sim_options,
                                    const std::string &port, const std::vector<std::string> &steps,
                                    bool claim = true)
{
    std::vector<std::string> command{SIM_CLIENT_PATH, port};
    if (port == kUsb && claim) command.push_back("claim");
    command.insert(command.end(), steps.begin(), steps.end());
    return orvy::test::run_under_simulator(sim_options, command, 30);
}

// The nth output line that starts with `prefix`, or "".
inline std::string line(const orvy::test::RunResult &r, const std::string &prefix, int nth = 0)
{
    for (const auto &l : orvy::test::lines_of(r.out)) {
        if (l.rfind(prefix, 0) == 0 && nth-- == 0) return l;
    }
    return "";
}

inline bool has_line(const std::string &text, const std::string &wanted)
{
    for (const auto &l : orvy::test::lines_of(text)) {
        if (l == wanted) return true;
    }
    return false;
}

}  // namespace orvy::sim::test
