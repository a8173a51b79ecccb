#!/bin/sh
# The linters: shellcheck on every shell script of the tree, mypy --strict
# and flake8 on the Python package and the Python tests (Debian's
# python3-mypy and flake8), clang-tidy (the checks in .clang-tidy) on every C
# and C++ file that the build compiles. All must find nothing. Needs a configured build for its
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

# Debian's interpreter, which the packages belong to.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
python_files="python/orvy python/examples python/build_backend tests/python tests/cups/side_channel_test.py"
echo "# mypy --strict and flake8: $python_files"
# shellcheck disable=SC2086 # paths without blanks
MYPYPATH=python "$python" -m mypy --strict --cache-dir=/dev/null $python_files
# shellcheck disable=SC2086
"$python" -m flake8 --max-line-length 100 $python_files

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
