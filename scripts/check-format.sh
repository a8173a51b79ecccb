#!/bin/sh
# Fails when a C or C++ file of the tree does not follow .clang-format.
# ./scripts/check-format.sh --fix rewrites them instead.
set -eu
cd "$(dirname "$0")/.."
format=$(command -v clang-format-14 || command -v clang-format)
files=$(git ls-files '*.c' '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  # shellcheck disable=SC2086
  "$format" -i $files
else
  # shellcheck disable=SC2086
  "$format" --dry-run -Werror $files
fi
