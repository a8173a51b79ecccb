// libOrvyApi, device-file transport, on a pty pair that plays the printer:
//   - how far a read with no data runs past its time-out,
//   - how long a read takes to return once its byte has been sent.
// Each iteration is timed by hand; the counters give median, 99th percentile and worst case.
#include <benchmark/benchmark.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

#include "Orvy_Api.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms_between(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// A raw pty whose slave the library opens as a device file.
class PrinterPty {
public:
    PrinterPty()
    {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) std::abort();
        struct termios raw {};
        ::tcgetattr(slave_, &raw);
        ::cfmakeraw(&raw);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        ::tcsetattr(slave_, TCSANOW, &raw);
        communication = 1;  // a pts name has no known form: reuse the device-file transport
        handle_ = orvy_api_printer_open(::ttyname(slave_));
        if (handle_ < 0) std::abort();
    }
    ~PrinterPty()
    {
        orvy_api_printer_close(handle_);
        ::close(slave_);
        ::close(master_);
    }
    PrinterPty(const PrinterPty &) = delete;
    PrinterPty &operator=(const PrinterPty &) = delete;

    intptr_t handle() const { return handle_; }
    int master() const { return master_; }
    int slave() const { return slave_; }

private:
    int master_ = -1;
    int slave_ = -1;
    intptr_t handle_ = -1;
};

// Median, 99th percentile and worst case of the samples, as counters.
void report(benchmark::State &state, const std::string &name, std::vector<double> samples)
{
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double share) {
        return samples[static_cast<std::size_t>(share * static_cast<double>(samples.size() - 1))];
    };
    state.counters[name + "_p50"] = at(0.5);
    state.counters[name + "_p99"] = at(0.99);
    state.counters[name + "_max"] = samples.back();
}

// Read of one byte that never comes; the counters are milliseconds past the time-out.
void BM_IdleReadOverrun(benchmark::State &state)
{
    PrinterPty pty;
    const auto timeout_ms = static_cast<unsigned long>(state.range(0));
    unsigned char byte = 0;
    std::vector<double> overruns;
    for (auto _ : state) {
        const auto start = Clock::now();
        benchmark::DoNotOptimize(orvy_api_printer_read(pty.handle(), &byte, 1, timeout_ms));
        const double elapsed = ms_between(start, Clock::now());
        state.SetIterationTime(elapsed / 1000.0);
        overruns.push_back(elapsed - static_cast<double>(timeout_ms));
    }
    report(state, "overrun_ms", std::move(overruns));
}
BENCHMARK(BM_IdleReadOverrun)
    ->Arg(10)
    ->Arg(50)
    ->Arg(100)
    ->Arg(1000)
    ->Iterations(50)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A byte sent on the master 2 ms into a read with a 1000 ms time-out; the
// counters are microseconds from the send to the read's return.
template <typename Reader>
void measure_arrival(benchmark::State &state, PrinterPty &pty, Reader read_one)
{
    std::binary_semaphore armed{0};
    std::atomic<bool> done{false};
    std::atomic<Clock::rep> sent_at{0};
    std::thread printer([&] {
        const unsigned char byte = 0x55;
        for (;;) {
            armed.acquire();
            if (done) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            sent_at = Clock::now().time_since_epoch().count();
            if (::write(pty.master(), &byte, 1) != 1) std::abort();
        }
    });
    std::vector<double> latencies;
    for (auto _ : state) {
        armed.release();
        const auto start = Clock::now();
        if (read_one() != 1) state.SkipWithError("no byte");
        const auto returned = Clock::now();
        state.SetIterationTime(ms_between(start, returned) / 1000.0);
        const Clock::time_point sent{Clock::duration{sent_at.load()}};
        latencies.push_back(ms_between(sent, returned) * 1000.0);
    }
    done = true;
    armed.release();
    printer.join();
    report(state, "arrival_to_return_us", std::move(latencies));
}

void BM_ArrivalToReturn(benchmark::State &state)
{
    PrinterPty pty;
    unsigned char byte = 0;
    measure_arrival(state, pty,
                    [&] { return orvy_api_printer_read(pty.handle(), &byte, 1, 1000); });
}
BENCHMARK(BM_ArrivalToReturn)->Iterations(1000)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same on a plain blocking read of the slave: what the pty itself costs.
void BM_ArrivalToReturnPlainRead(benchmark::State &state)
{
    PrinterPty pty;
    unsigned char byte = 0;
    measure_arrival(state, pty, [&] { return static_cast<int>(::read(pty.slave(), &byte, 1)); });
}
BENCHMARK(BM_ArrivalToReturnPlainRead)
    ->Iterations(1000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
