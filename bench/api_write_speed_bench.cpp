// Write speed against a printer that prints at its pace: 256 KiB of print
// data in one write call (open and close are not timed), through each transport (USB bulk, the
// usblp device file, the serial port) and both interfaces (orvy_api_printer_write and
// orvy_api_conn_write), to a simulated printer with a 16 KiB buffer that
// prints 115200 bytes/s. Reported per call:
//   floor_s          bytes beyond the buffer / rate: no write can end sooner
//   over_floor       wall time / floor
//   cpu_ms           this process's CPU time during the write, that is while
//                    it waits for the printer (the "CPU" column counts the
//                    whole iteration, open and close included)
// A device file ends its write sooner than the floor by what the pty itself
// holds (see bench/README.md). Run it directly: it starts itself again under
// Orvy_Simulator.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "Orvy_Api.h"
#include "run_selected.h"
#include "under_simulator.h"

namespace {

constexpr const char *kChildMark = "ORVY_API_WRITE_SPEED_BENCH_CHILD";
constexpr std::size_t kJobBytes = 256 * 1024;
constexpr std::size_t kBufferBytes = 16 * 1024;
constexpr double kRate = 115200;
constexpr unsigned long kTimeoutMs = 30000;
constexpr const char *kPorts[] = {"/dev/bus/usb/001/011", "/dev/usb/lp0", "/dev/ttyS1"};

enum Interface { kPrinterWrite = 0, kConnWrite = 1 };

double seconds_of(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Receipt lines of 47 characters and a line feed, as a long text job.
std::vector<unsigned char> print_job()
{
    std::vector<unsigned char> job;
    for (unsigned line = 0; job.size() < kJobBytes; ++line) {
        char text[64];
        const int length = std::snprintf(text, sizeof text, "%06u ITEM %s 12.50 EUR\n", line,
                                         std::string(25, '.').c_str());
        job.insert(job.end(), text, text + length);
    }
    job.resize(kJobBytes);
    return job;
}

// One write of the whole job on an open connection, timed alone.
struct Timed {
    long sent = 0;
    double wall = 0;
    double cpu = 0;
};

template <typename Write>
Timed timed(Write write)
{
    Timed t;
    const double wall_before = seconds_of(CLOCK_MONOTONIC);
    const double cpu_before = seconds_of(CLOCK_PROCESS_CPUTIME_ID);
    t.sent = write();
    t.wall = seconds_of(CLOCK_MONOTONIC) - wall_before;
    t.cpu = seconds_of(CLOCK_PROCESS_CPUTIME_ID) - cpu_before;
    return t;
}

Timed write_job(Interface interface, const char *port, std::vector<unsigned char> &job)
{
    if (interface == kPrinterWrite) {
        std::string name = port;
        const intptr_t printer = orvy_api_printer_open(name.data());
        if (printer < 0) return {printer};
        const Timed t = timed([&] {
            return orvy_api_printer_write(printer, job.data(), static_cast<int>(job.size()),
                                          kTimeoutMs);
        });
        orvy_api_printer_close(printer);
        return t;
    }
    orvy_api_conn *conn = nullptr;
    if (const int code = orvy_api_conn_open(port, &conn)) return {code};
    const Timed t =
        timed([&] { return orvy_api_conn_write(conn, job.data(), job.size(), kTimeoutMs); });
    orvy_api_conn_close(conn);
    return t;
}

void write_256k(benchmark::State &state)
{
    const char *port = kPorts[state.range(0)];
    const auto interface = static_cast<Interface>(state.range(1));
    std::vector<unsigned char> job = print_job();
    const double floor = static_cast<double>(kJobBytes - kBufferBytes) / kRate;
    double wall = 0;
    double cpu = 0;
    for (auto _ : state) {
        // The printer finishes the previous job first: an empty buffer.
        usleep(static_cast<useconds_t>(1e6 * static_cast<double>(kBufferBytes) / kRate) + 300000);
        const Timed t = write_job(interface, port, job);
        wall += t.wall;
        cpu += t.cpu;
        state.SetIterationTime(t.wall);
        if (t.sent != static_cast<long>(kJobBytes)) {
            state.SkipWithError(("wrote " + std::to_string(t.sent) + " bytes").c_str());
            return;
        }
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["floor_s"] = floor;
    state.counters["over_floor"] = wall / runs / floor;
    state.counters["cpu_ms"] = cpu / runs * 1000;
}
BENCHMARK(write_256k)
    ->ArgNames({"port", "conn"})
    ->ArgsProduct({{0, 1, 2}, {kPrinterWrite, kConnWrite}})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace

int main(int argc, char **argv)
{
    if (!orvy::bench::inside_simulator("api_write_speed_bench", kChildMark, argc, argv,
                                       {"--print-buffer", std::to_string(kBufferBytes),
                                        "--print-rate",
                                        std::to_string(static_cast<unsigned>(kRate)), "--paper-mm",
                                        "10000000"})) {
        return 125;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    orvy::bench::run_selected_benchmarks();
    benchmark::Shutdown();
    return 0;
}
