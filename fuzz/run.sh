#!/bin/sh
# Builds the fuzz targets with the `fuzz` preset and runs each for a bounded
# time on a scratch copy of its seed corpus, so the committed corpora never
# grow. Exits non-zero when any target finds anything; the input that failed
# is kept under <build dir>/fuzz-findings/<target>/, the fuzzer's own output
# under <build dir>/fuzz-logs/.
#
#   fuzz/run.sh [seconds [target...]]
#     seconds   the time for all targets together, split evenly, but at
#               least 20 s for each (default 60)
#     target    names without the fuzz_ prefix (default: all)
#   ORVY_FUZZ_BUILD_DIR=...      build directory (default build/fuzz)
#   ORVY_FUZZ_RUNS=N             stop each target after N inputs instead (long runs)
set -eu

seconds=${1:-60}
[ $# -gt 0 ] && shift
[ $# -gt 0 ] ||
  set -- cmd_init_coded inquiry_answer inquiry_command_line page_length_arguments \
    port_name simulator_options
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVY_FUZZ_BUILD_DIR:-$root/build/fuzz}
case $build in /*) ;; *) build=$root/$build ;; esac

each=$((seconds / $#))
[ "$each" -ge 20 ] || each=20

cd "$root"
cmake --preset fuzz -B "$build" >/dev/null
for target in "$@"; do
  cmake --build "$build" -j2 --target "fuzz_$target"
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvy-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT INT TERM

# Inputs much longer than anything the parser reads only slow a run down.
max_len_of() {
  case $1 in
    cmd_init_coded) echo 4096 ;;
    inquiry_answer | simulator_options) echo 512 ;;
    *) echo 256 ;;
  esac
}

if [ -n "${ORVY_FUZZ_RUNS:-}" ]; then
  limit="-runs=$ORVY_FUZZ_RUNS"
else
  limit="-max_total_time=$each"
fi

failed=""
for target in "$@"; do
  mkdir -p "$scratch/$target" "$build/fuzz-findings/$target" "$build/fuzz-logs"
  log="$build/fuzz-logs/$target.log"
  cp "$root/fuzz/corpus/$target/"* "$scratch/$target/"
  dict=""
  [ -f "$root/fuzz/$target.dict" ] && dict="-dict=$root/fuzz/$target.dict"
  echo "# fuzzing $target (${limit#-})"
  # shellcheck disable=SC2086
  if ! "$build/fuzz/fuzz_$target" \
      "$limit" -max_len="$(max_len_of "$target")" -rss_limit_mb=2048 -timeout=10 $dict \
      -print_final_stats=1 -artifact_prefix="$build/fuzz-findings/$target/" \
      "$scratch/$target" >"$log" 2>&1; then
    tail -n 40 "$log"
    failed="$failed $target"
  else
    grep -E 'DONE|stat::number_of_executed_units' "$log"
  fi
done

if [ -n "$failed" ]; then
  echo "# fuzzing found something in:$failed (inputs in $build/fuzz-findings/)"
  exit 1
fi
echo "# fuzzing found nothing"
