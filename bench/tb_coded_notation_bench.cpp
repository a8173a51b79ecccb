// Throughput of both command conversions on 16 MiB inputs:
//   coded -> raw: orvy_tb_cmd_init_coded on text that is mostly bracketed hex,
//   raw -> coded: orvy_tb_cmd_init_raw on random bytes.
// Each figure covers the whole constructor (copy, buffers, conversion) and the
// release. `--write-inputs=DIR` writes both inputs (coded.txt, raw.bin) and
// exits, so that other tools can be measured on exactly the same data.
#include "Orvy_Tb.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "run_selected.h"

namespace {

constexpr std::size_t kInputSize = 16u << 20;
constexpr unsigned kSeed = 20261208;

using Bytes = std::vector<unsigned char>;

Bytes random_bytes(std::size_t n)
{
    std::mt19937_64 rng(kSeed);
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; i += 8) {
        const std::uint64_t word = rng();
        std::memcpy(bytes.data() + i, &word, std::min<std::size_t>(8, n - i));
    }
    return bytes;
}

// Lines of sixteen bracketed pairs in mixed case; every sixteenth line is a
// quoted text with an escape, as a receipt's commands would carry.
Bytes coded_text(std::size_t n)
{
    static const char kDigits[] = "0123456789ABCDEF0123456789abcdef";
    std::mt19937 rng(kSeed);
    std::string text;
    text.reserve(n + 64);
    for (unsigned line = 0; text.size() < n; ++line) {
        if (line % 16 == 15) {
            text += "\"Total 12.50 EUR\"\\n\n";
            continue;
        }
        text += '[';
        for (int pair = 0; pair < 16; ++pair) {
            const unsigned r = rng();
            if (pair != 0) text += ' ';
            text += kDigits[(r & 0x0F) | (r & 0x100 ? 0x10 : 0)];
            text += kDigits[((r >> 4) & 0x0F) | (r & 0x200 ? 0x10 : 0)];
        }
        text += "]\n";
    }
    text.resize(n);
    return Bytes(text.begin(), text.end());
}

const Bytes &coded_input()
{
    static const Bytes kInput = coded_text(kInputSize);
    return kInput;
}

const Bytes &raw_input()
{
    static const Bytes kInput = random_bytes(kInputSize);
    return kInput;
}

void BM_CodedToRaw(benchmark::State &state)
{
    Bytes input = coded_input();
    for (auto _ : state) {
        const intptr_t cmd =
            orvy_tb_cmd_init_coded(input.data(), static_cast<unsigned int>(input.size()));
        if (cmd == 0) {
            state.SkipWithError("orvy_tb_cmd_init_coded failed");
            break;
        }
        unsigned char *raw = nullptr;
        unsigned int n = 0;
        orvy_tb_cmd_get_raw(cmd, &raw, &n);
        benchmark::DoNotOptimize(raw);
        state.counters["raw_bytes"] = n;
        orvy_tb_cmd_exit(cmd);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(input.size()));
}
BENCHMARK(BM_CodedToRaw)->Unit(benchmark::kMillisecond);

void BM_RawToCoded(benchmark::State &state)
{
    Bytes input = raw_input();
    for (auto _ : state) {
        const intptr_t cmd =
            orvy_tb_cmd_init_raw(input.data(), static_cast<unsigned int>(input.size()));
        if (cmd == 0) {
            state.SkipWithError("orvy_tb_cmd_init_raw failed");
            break;
        }
        char *coded = nullptr;
        orvy_tb_cmd_get_coded_str(cmd, &coded);
        benchmark::DoNotOptimize(coded);
        orvy_tb_cmd_exit(cmd);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(input.size()));
}
BENCHMARK(BM_RawToCoded)->Unit(benchmark::kMillisecond);

bool write_file(const std::string &path, const Bytes &bytes)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char **argv)
{
    static const char kWriteInputs[] = "--write-inputs=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kWriteInputs, sizeof kWriteInputs - 1) == 0) {
            const std::string dir = argv[i] + sizeof kWriteInputs - 1;
            if (!write_file(dir + "/coded.txt", coded_input()) ||
                !write_file(dir + "/raw.bin", raw_input())) {
                std::fprintf(stderr, "! cannot write the inputs to %s\n", dir.c_str());
                return 1;
            }
            return 0;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    orvy::bench::run_selected_benchmarks();
    benchmark::Shutdown();
    return 0;
}
