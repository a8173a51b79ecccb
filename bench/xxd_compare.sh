#!/bin/bash
# Measures the toolbox's two command conversions and xxd on the same 16 MiB
# inputs in one run, and prints a table of MB/s (10^6 bytes per second of
# input, by wall clock and by CPU time of the process).
#
#   bench/xxd_compare.sh [build-dir]      (default build/default)
#
# raw -> coded : orvy_tb_cmd_init_raw on random bytes   vs  xxd -p
# coded -> raw : orvy_tb_cmd_init_coded on bracketed hex vs  xxd -r -p on the
#                same text with the brackets blanked and the quoted lines left
#                out (xxd reads plain hex only)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
case $build in /*) ;; *) build=$root/$build ;; esac
repetitions=${ORVY_BENCH_REPETITIONS:-5}

command -v xxd >/dev/null || { echo "! xxd is not installed" >&2; exit 1; }
cd "$root"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset default -B "$build" >/dev/null
fi
cmake --build "$build" -j2 --target tb_bench_coded_notation >/dev/null
bench=$build/bench/tb_bench_coded_notation

work=$(mktemp -d "${TMPDIR:-/tmp}/orvy-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
"$bench" --write-inputs="$work"
grep -v '"' "$work/coded.txt" | tr '[]' '  ' > "$work/plain.txt"

# The toolbox figures are the medians of the benchmark's repetitions.
"$bench" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
         --benchmark_format=csv 2>/dev/null >"$work/toolbox.csv"
toolbox_rate() { # benchmark name, input bytes
    awk -F, -v name="\"$1_median\"" -v bytes="$2" '
        $1 == name {
            unit = $5; gsub("\"", "", unit)
            scale = (unit == "ns") ? 1e-9 : (unit == "us") ? 1e-6 : (unit == "ms") ? 1e-3 : 1
            printf "%.0f %.0f", bytes / ($3 * scale) / 1e6, bytes / ($4 * scale) / 1e6
        }' "$work/toolbox.csv"
}

# Median of $repetitions runs of a command, as "<wall MB/s> <cpu MB/s>".
xxd_rate() { # input bytes, command...
    local bytes=$1 walls="" cpus="" times wall user sys
    shift
    for _ in $(seq "$repetitions"); do
        times=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null; } 2>&1 )
        read -r wall user sys <<<"$times"
        walls+="$(awk -v t="$wall" -v n="$bytes" 'BEGIN { print n / t / 1e6 }')"$'\n'
        cpus+="$(awk -v u="$user" -v s="$sys" -v n="$bytes" 'BEGIN { print n / (u + s) / 1e6 }')"$'\n'
    done
    printf "%.0f %.0f" "$(median "$walls")" "$(median "$cpus")"
}
median() { printf "%s" "$1" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

coded_size=$(stat -c %s "$work/coded.txt")
raw_size=$(stat -c %s "$work/raw.bin")
plain_size=$(stat -c %s "$work/plain.txt")

# row LABEL "WALL CPU": the pair as the rate functions print it.
row() {
    local wall cpu
    read -r wall cpu <<<"$2"
    printf "%-44s %10s %10s\n" "$1" "$wall" "$cpu"
}
echo "# $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), $(date -u '+%Y-%m-%d %H:%M UTC')"
row "conversion (MB/s of input)" "wall cpu"
row "coded -> raw  orvy_tb_cmd_init_coded" "$(toolbox_rate BM_CodedToRaw "$coded_size")"
row "coded -> raw  xxd -r -p" "$(xxd_rate "$plain_size" xxd -r -p "$work/plain.txt")"
row "raw -> coded  orvy_tb_cmd_init_raw" "$(toolbox_rate BM_RawToCoded "$raw_size")"
row "raw -> coded  xxd -p" "$(xxd_rate "$raw_size" xxd -p "$work/raw.bin")"
