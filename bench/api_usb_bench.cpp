// Cost of the USB bulk transport against the simulated printer, through the
// exported interface of the shared library:
//   inquiry exchange    clear, write 1D 61 01, read 4, read 14 (wall and CPU)
//   idle read           a 1000 ms read that waits for an answer that never
//                       comes: CPU time of this process against wall time
//   no-answer overrun   how far reads with no answer run past their time-out
// Run it directly: it starts itself again under Orvy_Simulator (the printer
// answers only what it is asked, so nothing else disturbs the idle reads).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "Orvy_Api.h"
#include "run_selected.h"
#include "under_simulator.h"

namespace {

constexpr const char *kChildMark = "ORVY_API_USB_BENCH_CHILD";
char kPort[] = "/dev/bus/usb/001/011";
intptr_t printer = -1;

double seconds_of(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void inquiry_exchange(benchmark::State &state)
{
    unsigned char inquiry[] = {0x1D, 0x61, 0x01};
    unsigned char header[4];
    unsigned char record[14];
    for (auto _ : state) {
        orvy_api_printer_clear(printer);
        const int sent = orvy_api_printer_write(printer, inquiry, 3, 1000);
        const int got_header = orvy_api_printer_read(printer, header, 4, 1000);
        const int got_record = orvy_api_printer_read(printer, record, 14, 1000);
        if (sent != 3 || got_header != 4 || got_record != 14) {
            state.SkipWithError("the printer did not answer the inquiry");
            break;
        }
        benchmark::DoNotOptimize(record);
    }
}
BENCHMARK(inquiry_exchange)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// Without the clear, whose discard transfers also wait for nothing.
void write_and_read_only(benchmark::State &state)
{
    unsigned char inquiry[] = {0x1D, 0x61, 0x01};
    unsigned char answer[18];
    for (auto _ : state) {
        if (orvy_api_printer_write(printer, inquiry, 3, 1000) != 3 ||
            orvy_api_printer_read(printer, answer, 4, 1000) != 4 ||
            orvy_api_printer_read(printer, answer + 4, 14, 1000) != 14) {
            state.SkipWithError("the printer did not answer the inquiry");
            break;
        }
    }
}
BENCHMARK(write_and_read_only)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// A read with nothing to receive: what it costs while it waits, and how
// long after its time-out it returns.
void read_without_answer(benchmark::State &state)
{
    const auto timeout_ms = static_cast<unsigned long>(state.range(0));
    unsigned char answer[4];
    double cpu = 0;
    double wall = 0;
    double worst_overrun_ms = 0;
    for (auto _ : state) {
        const double wall_before = seconds_of(CLOCK_MONOTONIC);
        const double cpu_before = seconds_of(CLOCK_PROCESS_CPUTIME_ID);
        const int got = orvy_api_printer_read(printer, answer, 4, timeout_ms);
        const double cpu_spent = seconds_of(CLOCK_PROCESS_CPUTIME_ID) - cpu_before;
        const double wall_spent = seconds_of(CLOCK_MONOTONIC) - wall_before;
        if (got != 0) {
            state.SkipWithError("something answered");
            break;
        }
        cpu += cpu_spent;
        wall += wall_spent;
        worst_overrun_ms = std::max(worst_overrun_ms, wall_spent * 1000 - double(timeout_ms));
    }
    state.counters["cpu_percent"] = wall > 0 ? 100 * cpu / wall : 0;
    state.counters["worst_overrun_ms"] = worst_overrun_ms;
}
BENCHMARK(read_without_answer)
    ->Arg(1000)
    ->Arg(250)
    ->Arg(35)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

int main(int argc, char **argv)
{
    if (!orvy::bench::inside_simulator("api_usb_bench", kChildMark, argc, argv)) return 125;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    printer = orvy_api_printer_open(kPort);
    if (printer < 0) {
        std::fprintf(stderr, "api_usb_bench: open %s gave %ld\n", kPort,
                     static_cast<long>(printer));
        return 1;
    }
    orvy::bench::run_selected_benchmarks();
    benchmark::Shutdown();
    orvy_api_printer_close(printer);
    return 0;
}
