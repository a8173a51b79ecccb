#!/bin/sh
# The linters: shellcheck on every shell script of the tree, clang-tidy (the
# checks in .clang-tidy) on every C and C++ file that the build compiles.
# Both must find nothing. Needs a configured build for its
# compile_commands.json: ./scripts/lint.sh [build dir, default build/default]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/default}

# Every tracked file that starts with a shell's #! line.
shell_scripts=$(git ls-files -z | xargs -0 awk '
  FNR == 1 && /^#!.*\/(env )?(sh|bash|dash)( |$)/ { print FILENAME }
  { nextfile }')
echo "# shellcheck: $(echo "$shell_scripts" | wc -l) scripts"
# shellcheck disable=SC2086 # one name a line, none with blanks
shellcheck $shell_scripts

commands=$build/compile_commands.json
[ -f "$commands" ] || { echo "no $commands: configure the build first" >&2; exit 1; }
tidy=$(command -v run-clang-tidy-14 || command -v run-clang-tidy)
jobs=$(nproc)
echo "# clang-tidy: $(grep -c '"file"' "$commands") files, $jobs jobs"
# C++ files get every check; the C samples and interface checks keep C's
# own naming, so the constant naming rule is for C++ alone.
"$tidy" -p "$build" -j "$jobs" -quiet '\.cpp$' >"$build/clang-tidy.log" 2>&1 || true
"$tidy" -p "$build" -j "$jobs" -quiet -checks=-readability-identifier-naming '\.c$' \
  >>"$build/clang-tidy.log" 2>&1 || true
if grep -E '(warning|error):' "$build/clang-tidy.log"; then
  echo "clang-tidy found the above (full output in $build/clang-tidy.log)" >&2
  exit 1
fi
echo "# linters found nothing"
