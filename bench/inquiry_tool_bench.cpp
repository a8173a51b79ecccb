// Wall and CPU time of a whole run of `Orvy_InquiryTool -s <port> [3F]`
// against the simulated printer, on each port form, beside the run's floor:
// 500 ms pause after the synchronisation bytes, then per inquiry 200 ms of
// pauses around the clear plus the clear itself (100 ms on every port), so
// 0.5 s + 6 x 0.3 s = 2.3 s. The tool's CPU time comes from wait4, so the
// simulator's own work is not counted.
// Run it directly: it starts itself again under Orvy_Simulator.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "run_selected.h"
#include "under_simulator.h"

extern char **environ;

namespace {

constexpr const char *kChildMark = "ORVY_INQUIRY_TOOL_BENCH_CHILD";
constexpr double kFloorSeconds = 2.3;
constexpr std::array<const char *, 3> kPorts{"/dev/bus/usb/001/011", "/dev/usb/lp0", "/dev/ttyS1"};

struct ToolRun {
    bool ok = false;
    double wall = 0;
    double cpu = 0;
};

double seconds(const timeval &time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

// A successful silent run prints exactly the six hex lines and nothing else.
bool six_hex_lines(const std::string &out)
{
    int lines = 0;
    std::size_t at = 0;
    for (std::size_t end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
        if (out.compare(at, 8, "printer_") != 0) return false;
        ++lines;
    }
    return lines == 6 && at == out.size();
}

ToolRun run_tool(const char *port)
{
    std::array<int, 2> pipe_fds{};
    if (::pipe2(pipe_fds.data(), O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    std::string tool = ORVY_INQUIRY_TOOL_PATH;
    std::string silent = "-s";
    std::string port_name = port;
    std::string code = "[3F]";
    std::array<char *, 5> argv{tool.data(), silent.data(), port_name.data(), code.data(), nullptr};

    ToolRun run;
    const auto started = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[1]);
    if (spawned == 0) {
        int status = 0;
        rusage usage{};
        const bool waited = ::wait4(pid, &status, 0, &usage) == pid;
        run.wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        run.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
        std::string out;
        std::array<char, 4096> chunk{};
        for (ssize_t got; (got = ::read(pipe_fds[0], chunk.data(), chunk.size())) > 0;) {
            out.append(chunk.data(), static_cast<std::size_t>(got));
        }
        run.ok = waited && WIFEXITED(status) && WEXITSTATUS(status) == 0 && six_hex_lines(out);
    }
    ::close(pipe_fds[0]);
    return run;
}

void inquiry_tool_run(benchmark::State &state)
{
    const char *port = kPorts.at(static_cast<std::size_t>(state.range(0)));
    state.SetLabel(port);
    double wall = 0;
    double cpu = 0;
    for (auto _ : state) {
        const ToolRun run = run_tool(port);
        if (!run.ok) {
            state.SkipWithError("the run did not print six hex lines with exit status 0");
            break;
        }
        state.SetIterationTime(run.wall);
        wall += run.wall;
        cpu += run.cpu;
    }
    const double runs = static_cast<double>(state.iterations());
    if (runs > 0 && wall > 0) {
        state.counters["over_floor_percent"] = 100 * (wall / runs / kFloorSeconds - 1);
        state.counters["cpu_ms"] = 1000 * cpu / runs;
        state.counters["cpu_percent"] = 100 * cpu / wall;
    }
}
BENCHMARK(inquiry_tool_run)
    ->DenseRange(0, static_cast<int>(kPorts.size()) - 1)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace

int main(int argc, char **argv)
{
    if (!orvy::bench::inside_simulator("inquiry_tool_bench", kChildMark, argc, argv)) return 125;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    orvy::bench::run_selected_benchmarks();
    benchmark::Shutdown();
    return 0;
}
