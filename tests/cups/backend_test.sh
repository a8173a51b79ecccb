#!/bin/sh
# Printing through our backend "orvy" and the receipt PPD with a private
# cupsd (see private_cupsd.sh) to the simulated printer:
#
#   backend_test.sh SIMULATOR BACKEND TEXT_FILTER PPD CASE
#
# CASE: jobs    lpinfo -v lists the printer under our URI and lpinfo -m the
#               PPD; a queue made from both prints a raw job and a text job,
#               each once, byte for byte (the text ends with a form feed and
#               a cut)
#       paper   with the roll out the job waits and IPP shows
#               media-empty-error; after a new roll the reason is gone and
#               the job completes once; past the near-end mark, media-low
#       cancel  a job that waits for paper is cancelled: the backend lets
#               the printer go at once, and the next job prints
#       replug  the backend alone, as cupsd runs it: it waits for a printer
#               that is not attached (connecting-to-device) and prints once
#               it is; a printer unplugged in the middle of a job ends it
#               with the exit status that makes CUPS retry (6)
#
# Exit status 77 (skipped) without CUPS or, but for replug, root. Every step has a time limit;
# cupsd is stopped on every exit.
set -eu

if [ "${1:-}" = "--inside" ]; then
  # Inside the simulated machine: $2 CASE, $3 scratch directory, $4 cupsd's.
  case_name=$2 dir=$3 d=$4
  control() { echo "$1" >"$ORVY_SIM_CONTROL"; }
  if [ "$case_name" = replug ]; then
    uri='orvy://Velmora/Orvy%20K80%20Kiosk%20Printer?serial=K80P1-26-004711'
    run_backend() {  # run_backend N FILE: job N in the background
      DEVICE_URI=$uri timeout 60 "$ORVY_BACKEND" "$1" root t 1 "" "$2" 2>"$dir/backend$1.err" &
    }
    control "unplug 1"
    run_backend 1 "$dir/raw.bin"
    sleep 1.5
    control "plug 1"
    wait $! && echo 0 >"$dir/backend1.status" || echo $? >"$dir/backend1.status"
    run_backend 2 "$dir/long.bin"
    sleep 1
    control "unplug 1"
    wait $! && echo 0 >"$dir/backend2.status" || echo $? >"$dir/backend2.status"
    exit 0
  fi
  port=""  # set by start_cupsd
  # shellcheck source=/dev/null
  . "$(dirname "$0")/private_cupsd.sh"
  start_cupsd "$d"
  ipp="ipp://127.0.0.1:$port/printers/kiosk"
  timeout 60 lpinfo -v >"$dir/lpinfo-v.out"
  timeout 60 lpinfo -m >"$dir/lpinfo-m.out"
  uri=$(sed -n 's/^direct \(orvy:[^ ]*\).*/\1/p' "$dir/lpinfo-v.out")
  ppd=$(sed -n 's/^\(orvy\/orvy-receipt.ppd\) .*/\1/p' "$dir/lpinfo-m.out")
  if [ -z "$uri" ] || [ -z "$ppd" ]; then
    echo "lpinfo lists no printer or PPD of ours" >&2
    exit 1
  fi
  timeout 30 lpadmin -p kiosk -E -v "$uri" -m "$ppd" -o printer-error-policy=abort-job
  reasons() {
    timeout 10 ipptool -tv "$ipp" get-printer-attributes.test |
      sed -n 's/^ *printer-state-reasons (.*) = //p'
  }
  # Waits up to $2 s until the reasons do (or with "!": do not) include $1.
  wait_for_reason() {
    waited=0
    while :; do
      now=$(reasons)
      case ",$now," in
        *",$1,"*) [ "${3:-}" = "!" ] || return 0 ;;
        *) [ "${3:-}" != "!" ] || return 0 ;;
      esac
      waited=$((waited + 1))
      [ "$waited" -lt $(($2 * 5)) ] || { echo "reasons stayed '$now' ($3 $1)" >&2; exit 1; }
      sleep 0.2
    done
  }
  case $case_name in
    jobs)
      timeout 30 lp -d kiosk -o raw "$dir/raw.bin" >/dev/null
      wait_for_job 1 30 >"$dir/job1.end"
      timeout 30 lp -d kiosk "$dir/receipt.txt" >/dev/null
      wait_for_job 2 30 >"$dir/job2.end" ;;
    paper)
      control "paper-out 1"
      timeout 30 lp -d kiosk "$dir/receipt.txt" >/dev/null
      wait_for_reason media-empty-error 30
      grep -q "\[Job 1\] Job completed" "$d/log/error_log" && echo early >"$dir/job1.end"
      timeout 10 lpstat -l -p kiosk >"$dir/lpstat.out"
      control "load 1 80000"
      wait_for_job 1 30 >>"$dir/job1.end"
      wait_for_reason media-empty-error 10 !
      control "load 1 1000"  # below the near-end mark of 5000 mm
      timeout 30 lp -d kiosk "$dir/receipt.txt" >/dev/null
      wait_for_job 2 30 >"$dir/job2.end"
      wait_for_reason media-low-report 10 ;;
    cancel)
      control "paper-out 1"
      timeout 30 lp -d kiosk "$dir/raw.bin" >/dev/null
      wait_for_reason media-empty-error 30
      timeout 10 cancel kiosk-1
      # The next job gets the printer: it completes once the paper is back.
      control "load 1 80000"
      timeout 30 lp -d kiosk "$dir/receipt.txt" >/dev/null
      wait_for_job 2 30 >"$dir/job2.end" ;;
  esac
  exit 0
fi

simulator=$1 backend=$2 filter=$3 ppd=$4 case_name=$5
skip() { echo "skipped: $1"; exit 77; }
if [ "$case_name" != replug ]; then
  [ "$(id -u)" -eq 0 ] || skip "the private cupsd needs root"
  for program in cupsd lpadmin lpinfo ipptool; do
    command -v "$program" >/dev/null || skip "$program missing (cups-daemon, cups-client, cups-ipp-utils)"
  done
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/orvy-backend.XXXXXX")
# cupsd's own files where its lp user may enter, whatever the clone's place.
d=$(mktemp -d /tmp/orvy-cupsd.XXXXXX)
cleanup() {
  [ ! -f "$d/cupsd.pid" ] || kill "$(cat "$d/cupsd.pid")" 2>/dev/null || true
  rm -rf "$dir" "$d"
}
trap cleanup EXIT
# A raw receipt: text and the printer's commands, and a text receipt with a
# tab, CR LF, and a character beyond ASCII.
printf 'RAW RECEIPT\n\033\360\006\001\002' >"$dir/raw.bin"
printf 'Kiosk 4711\r\nCoffee\t2.50\nTotal \342\202\254 2.50\n' >"$dir/receipt.txt"
printf 'Kiosk 4711\nCoffee  2.50\nTotal ? 2.50\n\014\033\360\006\001\002' >"$dir/receipt.bytes"
awk 'BEGIN { for (i = 0; i < 1500; i++) printf "Line %04d of a long receipt ............\n", i }' \
  >"$dir/long.bin"

export ORVY_BACKEND="$backend" ORVY_TEXT_FILTER="$filter" ORVY_PPD="$ppd"
rate=""
[ "$case_name" != replug ] || rate="--print-rate 20000"
# shellcheck disable=SC2086
timeout 170 "$simulator" --log "$dir/wire.log" --paper "$dir/receipt" $rate -- \
  sh "$0" --inside "$case_name" "$dir" "$d" ||
  { echo "run failed ($?)"; tail -40 "$d/log/error_log" 2>/dev/null; exit 1; }

fail() { echo "FAILED: $1"; tail -30 "$d/log/error_log"; exit 1; }
hex_of() { od -An -tx1 -v "$@" | tr 'a-f' 'A-F' | tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }
# What reached the printer, without the backend's status inquiries.
wire_out() {
  sed -n 's/^usb > //p' "$dir/wire.log" | grep -v '^1D 61 [0-9A-F][0-9A-F]$' | tr '\n' ' ' |
    sed 's/ $//'
}
receipt_lines() { grep -c -x "$1" "$dir/receipt" || true; }

case $case_name in
  jobs)
    grep -qxF 'direct orvy://Velmora/Orvy%20K80%20Kiosk%20Printer?serial=K80P1-26-004711' \
      "$dir/lpinfo-v.out" || fail "lpinfo -v: $(cat "$dir/lpinfo-v.out")"
    for job in 1 2; do
      [ "$(cat "$dir/job$job.end")" = completed ] || fail "job $job: $(cat "$dir/job$job.end")"
    done
    [ "$(wire_out)" = "$(hex_of "$dir/raw.bin" "$dir/receipt.bytes")" ] ||
      fail "the jobs did not arrive once each, byte for byte: $(wire_out)"
    counts="$(receipt_lines '<cut>') $(receipt_lines '<form feed>') $(receipt_lines '|Total ? 2.50')"
    [ "$counts" = "2 1 1" ] || fail "receipt: $(cat "$dir/receipt")" ;;
  paper)
    [ "$(cat "$dir/job1.end")" = completed ] || fail "job 1 did not wait for paper: $(cat "$dir/job1.end")"
    grep -q 'Out of paper' "$dir/lpstat.out" || fail "lpstat -l: $(cat "$dir/lpstat.out")"
    [ "$(cat "$dir/job2.end")" = completed ] || fail "job 2: $(cat "$dir/job2.end")"
    [ "$(receipt_lines '|Kiosk 4711') $(receipt_lines '<cut>')" = "2 2" ] ||
      fail "each receipt once: $(cat "$dir/receipt")" ;;
  cancel)
    [ "$(cat "$dir/job2.end")" = completed ] || fail "job 2 after the cancel: $(cat "$dir/job2.end")"
    [ "$(wire_out)" = "$(hex_of "$dir/receipt.bytes")" ] ||
      fail "only the second job reaches the printer: $(wire_out)" ;;
  replug)
    [ "$(cat "$dir/backend1.status")" = 0 ] || fail "job 1: $(cat "$dir/backend1.err")"
    grep -q '^STATE: +connecting-to-device' "$dir/backend1.err" ||
      fail "no connecting-to-device: $(cat "$dir/backend1.err")"
    [ "$(cat "$dir/backend2.status")" = 6 ] || fail "job 2 ended $(cat "$dir/backend2.status")"
    taken=$(sed -n 's/.*unplugged after it had taken \([0-9]*\) bytes.*/\1/p' "$dir/backend2.err")
    on_wire=$(wire_out | wc -w)
    # What the backend says the printer took is what reached it, no more.
    if [ -z "$taken" ] || [ "$taken" -eq 0 ] ||
      [ "$((taken + $(wc -c <"$dir/raw.bin")))" != "$on_wire" ]; then
      fail "taken ${taken:-?}, on the wire $on_wire: $(cat "$dir/backend2.err")"
    fi ;;
  *) fail "unknown case $case_name" ;;
esac
echo "ok: $case_name"
