// Runs orvy_api_probe against the simulated printer's USB port and reads its
// result lines back.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "sim_run.h"

namespace orvy::api::test {

inline const std::string kUsbPort = "/dev/bus/usb/001/011";

// One result line of the probe: "read = 4 [1B FF 02 0E] (12 ms)".
struct ProbeStep {
    std::string verb;
    long result = 0;
    std::string hex;  // bytes of a read, as the transcript shows them
    long ms = -1;
};

struct UsbScenario {
    orvy::test::RunResult run;
    std::vector<ProbeStep> steps;     // result lines in order (debug output skipped)
    std::vector<std::string> states;  // "state ..." lines

    // The n-th result line of a verb (0 = first).
    const ProbeStep &step(const std::string &verb, std::size_t n = 0) const
    {
        static const ProbeStep kMissing{"missing", -999, "", -1};
        for (const auto &s : steps) {
            if (s.verb == verb && n-- == 0) return s;
        }
        return kMissing;
    }
    bool log_has(const std::string &line) const
    {
        for (const auto &l : orvy::test::lines_of(run.log)) {
            if (l == line) return true;
        }
        return false;
    }
    std::size_t log_count(const std::string &line) const
    {
        std::size_t n = 0;
        for (const auto &l : orvy::test::lines_of(run.log)) n += l == line ? 1 : 0;
        return n;
    }
    bool out_has(const std::string &line) const
    {
        for (const auto &l : orvy::test::lines_of(run.out)) {
            if (l == line) return true;
        }
        return false;
    }
    std::string sent() const { return orvy::test::transcript_bytes(run.log, "usb", ">"); }
    std::string answered() const { return orvy::test::transcript_bytes(run.log, "usb", "<"); }
    // The text of the simulator's refusal when it lacks an option, else nothing.
    std::optional<std::string> simulator_lacks_option() const
    {
        if (run.exit_status == 125 && run.err.find("unknown option") != std::string::npos) {
            return run.err;
        }
        return std::nullopt;
    }
};

inline UsbScenario run_usb_scenario(const std::vector<std::string> &sim_options,
                                    const std::vector<std::string> &probe_steps,
                                    double limit_seconds = 60)
{
    std::vector<std::string> command{ORVY_API_PROBE_PATH};
    command.insert(command.end(), probe_steps.begin(), probe_steps.end());
    UsbScenario scenario;
    scenario.run = orvy::test::run_under_simulator(sim_options, command, limit_seconds);
    static const std::regex kResultLine(
        R"(^(open|write|read|clear|close)(?: = (-?\d+))?(?: \[([0-9A-F ]*)\])?(?: \((\d+) ms\))?$)");
    for (const auto &line : orvy::test::lines_of(scenario.run.out)) {
        std::smatch m;
        if (std::regex_match(line, m, kResultLine)) {
            scenario.steps.push_back({m[1], m[2].matched ? std::stol(m[2]) : 0, m[3],
                                      m[4].matched ? std::stol(m[4]) : -1});
        } else if (line.rfind("state ", 0) == 0) {
            scenario.states.push_back(line);
        }
    }
    return scenario;
}

// The first `count` bytes of a hex string, starting at byte `from`.
inline std::string hex_bytes(const std::string &hex, std::size_t from, std::size_t count)
{
    if (hex.size() < (from + count) * 3 - 1) return "<only " + hex + ">";
    return hex.substr(from * 3, count * 3 - 1);
}

}  // namespace orvy::api::test

// Skips the test when the simulator does not know one of the options yet.
#define ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(scenario)                                              \
    do {                                                                                           \
        if (const auto lacking = (scenario).simulator_lacks_option()) {                            \
            GTEST_SKIP() << "simulator: " << *lacking;                                             \
        }                                                                                          \
    } while (false)

// Fails with everything the run printed.
#define ORVY_EXPECT_CLEAN_EXIT(scenario)                                                           \
    EXPECT_EQ((scenario).run.exit_status, 0) << "out:\n"                                           \
                                             << (scenario).run.out << "\nerr:\n"                   \
                                             << (scenario).run.err << "\nlog:\n"                   \
                                             << (scenario).run.log
