#!/bin/sh
# The README's Python example ("From Python"), run as it stands against the
# simulated printer: the receipt shows its text, its form feed and its cut.
#
#   readme_example_test.sh SIMULATOR README LIBDIR PYTHONPATH
set -eu
simulator=$1 readme=$2 libdir=$3 package=$4
dir=$(mktemp -d "${TMPDIR:-/tmp}/orvy-readme.XXXXXX")
trap 'rm -rf "$dir"' EXIT
awk '/^## From Python/ { section = 1 }
     section && /^```python$/ { grab = 1; next }
     grab && /^```$/ { exit }
     grab { print }' "$readme" >"$dir/example.py"
[ -s "$dir/example.py" ] || { echo "FAILED: no Python example in $readme"; exit 1; }
PYTHONPATH=$package ORVY_LIBDIR=$libdir timeout 60 "$simulator" --paper "$dir/receipt" -- \
  /usr/bin/python3 "$dir/example.py"
if ! grep -qx '|Hello from Python' "$dir/receipt" || ! grep -qx '<form feed>' "$dir/receipt" ||
  ! grep -qx '<cut>' "$dir/receipt"; then
  echo "FAILED: the receipt:"
  cat "$dir/receipt"
  exit 1
fi
echo "ok: the README's example printed its receipt and cut it"
