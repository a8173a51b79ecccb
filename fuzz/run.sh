#!/bin/sh
# Builds the fuzz targets with the `fuzz` preset and runs the coded-notation
# fuzzer for a bounded time on a scratch copy of the seed corpus, so the
# committed corpus never grows. Exits non-zero when the fuzzer finds anything;
# the input that failed is kept under <build dir>/fuzz-findings/.
#
#   fuzz/run.sh [seconds]        (default 60)
#   ORVY_FUZZ_BUILD_DIR=...      build directory (default build/fuzz)
set -eu

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVY_FUZZ_BUILD_DIR:-$root/build/fuzz}
case $build in /*) ;; *) build=$root/$build ;; esac

cd "$root"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target fuzz_cmd_init_coded

scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvy-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT INT TERM
mkdir -p "$scratch/corpus" "$build/fuzz-findings"
cp "$root"/fuzz/corpus/cmd_init_coded/* "$scratch/corpus/"

echo "# fuzzing orvy_tb_cmd_init_coded for ${seconds} s"
"$build/fuzz/fuzz_cmd_init_coded" \
    -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 -timeout=10 \
    -dict="$root/fuzz/cmd_init_coded.dict" \
    -print_final_stats=1 -artifact_prefix="$build/fuzz-findings/" \
    "$scratch/corpus"
echo "# fuzzing found nothing"
