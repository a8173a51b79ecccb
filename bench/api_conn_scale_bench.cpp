// Scale of the connections of libOrvyApi: eight simulated printers served by
// one process, one thread and one connection per printer, each thread making
// the six inquiries of [3F] (clear, the 3-byte request, the header, the
// record) per round, against the same round on one printer alone:
//   wall time of a round    eight printers against one (goal: at most 1.10)
//   CPU time per inquiry    this process's CPU time over the inquiries made
// On both transports: USB bulk (/dev/bus/usb/001/011...) and the usblp
// device files (/dev/usb/lp0...). Run it directly: it starts itself again
// under Orvy_Simulator --printers 8.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "Orvy_Api.h"
#include "run_selected.h"
#include "under_simulator.h"

namespace {

constexpr const char *kChildMark = "ORVY_API_CONN_SCALE_BENCH_CHILD";
constexpr int kPrinters = 8;
constexpr unsigned char kInquiryCodes[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20};
constexpr long kRecordSizes[] = {14, 109, 35, 163, 26, 39};
constexpr int kInquiriesPerRound = 6;

enum Transport { kUsb = 0, kDeviceFile = 1 };

std::string port_of(Transport transport, int printer)
{
    char name[64];
    if (transport == kUsb) {
        std::snprintf(name, sizeof name, "/dev/bus/usb/001/%03d", 11 + printer);
    } else {
        std::snprintf(name, sizeof name, "/dev/usb/lp%d", printer);
    }
    return name;
}

double seconds_of(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The six inquiries of [3F] on one connection; false when one went wrong.
bool inquiry_round(orvy_api_conn *conn)
{
    unsigned char record[256];
    for (int i = 0; i < kInquiriesPerRound; ++i) {
        const unsigned char request[] = {0x1D, 0x61, kInquiryCodes[i]};
        unsigned char header[4];
        if (orvy_api_conn_clear(conn) != 0 ||
            orvy_api_conn_write(conn, request, sizeof request, 1000) != 3 ||
            orvy_api_conn_read(conn, header, sizeof header, 1000) != 4 ||
            orvy_api_conn_read(conn, record, static_cast<std::size_t>(kRecordSizes[i]), 1000) !=
                kRecordSizes[i]) {
            return false;
        }
    }
    return true;
}

// Median wall seconds of a round, by transport and printer count.
std::map<std::pair<int, int>, double> median_round_seconds;

void round_on_printers(benchmark::State &state)
{
    const auto printers = static_cast<int>(state.range(0));
    const auto transport = static_cast<Transport>(state.range(1));
    std::vector<orvy_api_conn *> conns(static_cast<std::size_t>(printers), nullptr);
    for (int p = 0; p < printers; ++p) {
        if (const int code = orvy_api_conn_open(port_of(transport, p).c_str(), &conns[p])) {
            state.SkipWithError(orvy_api_strerror(code));
            for (auto *conn : conns) orvy_api_conn_close(conn);
            return;
        }
    }
    std::vector<double> rounds;
    double cpu = 0;
    long inquiries = 0;
    bool all_answered = true;
    for (auto _ : state) {
        const double wall_before = seconds_of(CLOCK_MONOTONIC);
        const double cpu_before = seconds_of(CLOCK_PROCESS_CPUTIME_ID);
        std::vector<char> answered(static_cast<std::size_t>(printers), 0);
        std::vector<std::thread> threads;
        for (int p = 0; p < printers; ++p) {
            threads.emplace_back([&, p] { answered[p] = inquiry_round(conns[p]) ? 1 : 0; });
        }
        for (auto &thread : threads) thread.join();
        cpu += seconds_of(CLOCK_PROCESS_CPUTIME_ID) - cpu_before;
        rounds.push_back(seconds_of(CLOCK_MONOTONIC) - wall_before);
        inquiries += printers * kInquiriesPerRound;
        all_answered = all_answered && std::count(answered.begin(), answered.end(), 1) == printers;
    }
    for (auto *conn : conns) orvy_api_conn_close(conn);
    if (!all_answered) {
        state.SkipWithError("a printer did not answer an inquiry");
        return;
    }
    std::sort(rounds.begin(), rounds.end());
    median_round_seconds[{transport, printers}] = rounds[rounds.size() / 2];
    state.counters["round_ms_median"] = rounds[rounds.size() / 2] * 1000;
    state.counters["cpu_us_per_inquiry"] = inquiries > 0 ? cpu * 1e6 / double(inquiries) : 0;
}
BENCHMARK(round_on_printers)
    ->ArgNames({"printers", "lp"})
    ->ArgsProduct({{1, kPrinters}, {kUsb, kDeviceFile}})
    ->Iterations(9)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

int main(int argc, char **argv)
{
    if (!orvy::bench::inside_simulator("api_conn_scale_bench", kChildMark, argc, argv,
                                       {"--printers", std::to_string(kPrinters)})) {
        return 125;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    orvy::bench::run_selected_benchmarks();
    benchmark::Shutdown();
    for (const Transport transport : {kUsb, kDeviceFile}) {
        const auto alone = median_round_seconds.find({transport, 1});
        const auto eight = median_round_seconds.find({transport, kPrinters});
        if (alone == median_round_seconds.end() || eight == median_round_seconds.end()) continue;
        std::printf("%s: %d printers take %.3f times the wall time of one (goal: at most 1.10)\n",
                    transport == kUsb ? "USB bulk   " : "device file", kPrinters,
                    eight->second / alone->second);
    }
    return 0;
}
