#!/bin/sh
# A burst of receipts through CUPS: 20 raw jobs of 2 KiB each, sent at once
# to one queue of a private cupsd (tests/cups/private_cupsd.sh), with the
# simulated printer at its default print rate (115200 bytes/s, 16 KiB
# buffer); first through our backend "orvy", then through Debian's usb
# backend, in one run. As root (the private cupsd needs it):
#
#   sh bench/cups_receipt_burst.sh [BUILD_DIR] [JOBS]
#
# Prints for each backend the time from the first lp to the last job's
# completion, the floor (every byte at the print rate) and the ratio; for
# ours also how long each backend process ran after the printer had taken
# its job's last byte (from the backend's own "taken all ... bytes at"
# line to the moment its process ended, both on the real-time clock).
set -eu

if [ "${1:-}" = "--inside" ]; then
  build=$2 jobs=$3 d=$4 src=$5
  # shellcheck source=/dev/null
  . "$src/tests/cups/private_cupsd.sh"
  start_cupsd "$d"
  # Our backend's wrapper also notes when each run ended.
  cat >"$d/bin/backend/orvy" <<EOF
#!/bin/sh
LD_PRELOAD='$LD_PRELOAD' '$build/cups/orvy' "\$@"
status=\$?
[ \$# -lt 6 ] || date +%s.%N >>'$d/backend-exits'
exit \$status
EOF
  head -c 2048 /dev/zero | tr '\0' 'x' | fold -w 47 >"$d/receipt.bin"
  truncate -s 2048 "$d/receipt.bin"
  ours=$(timeout 60 lpinfo -v | sed -n 's/^direct \(orvy:.*\)/\1/p')
  generic=$(timeout 60 lpinfo -v | sed -n 's/^direct \(usb:.*\)/\1/p')
  calc() { awk "BEGIN { print $1 }"; }
  floor=$(calc "$jobs * 2048 / 115200")
  for queue in ours generic; do
    if [ "$queue" = ours ]; then uri=$ours; else uri=$generic; fi
    timeout 30 lpadmin -p "$queue" -E -v "$uri" -m raw -o printer-error-policy=abort-job \
      2>/dev/null
    start=$(date +%s.%N)
    n=0
    while [ "$n" -lt "$jobs" ]; do
      timeout 30 lp -d "$queue" -o raw "$d/receipt.bin" >/dev/null
      n=$((n + 1))
    done
    while [ -n "$(timeout 30 lpstat -o "$queue")" ]; do sleep 0.02; done
    end=$(date +%s.%N)
    total=$(calc "$end - $start")
    printf '%-8s %d jobs of 2048 bytes: %6.2f s, floor %.3f s, %.1f times the floor\n' \
      "$queue" "$jobs" "$total" "$floor" "$(calc "$total / $floor")"
    [ "$queue" = ours ] && ours_total=$total
  done
  printf 'ours is %.1f times faster than the generic backend\n' \
    "$(calc "$total / $ours_total")"
  sed -n 's/.*The printer has taken all [0-9]* bytes at \([0-9.]*\).*/\1/p' "$d/log/error_log" \
    >"$d/last-bytes"
  paste "$d/last-bytes" "$d/backend-exits" |
    awk '{ d = $2 - $1; s += d; if (d > m) m = d; n++ }
         END { printf "ours after the last byte: mean %.3f s, max %.3f s over %d jobs\n", s / n, m, n }'
  exit 0
fi

src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$src/build/default}" && pwd)
jobs=${2:-20}
[ "$(id -u)" -eq 0 ] || { echo "run as root: the private cupsd needs it" >&2; exit 2; }
d=$(mktemp -d /tmp/orvy-burst.XXXXXX)
trap 'kill "$(cat "$d/cupsd.pid" 2>/dev/null)" 2>/dev/null || true; rm -rf "$d"' EXIT
chmod 0755 "$d"
ORVY_BACKEND=$build/cups/orvy timeout 1200 "$build/sim/Orvy_Simulator" -- \
  sh "$0" --inside "$build" "$jobs" "$d" "$src"
