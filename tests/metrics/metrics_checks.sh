#!/bin/sh
# The metrics program, the JSON document and the deployment files checked with
# the real tools: promtool, node_exporter, systemd-analyze, python3's json.
#   metrics_checks.sh exposition|output|rules|node_exporter|units|json
# Exit 77 (skipped) when a tool is missing or the simulator cannot run.
set -u

: "${SIM:?}" "${METRICS:?}" "${TOOL:?}" "${SOURCE_DIR:?}"
usb=/dev/bus/usb/001/011
work=$(mktemp -d "${TMPDIR:-/tmp}/orvy-metrics.XXXXXX") || exit 1
exporter_pid=""
cleanup() {
  [ -n "$exporter_pid" ] && kill "$exporter_pid" 2>/dev/null && wait "$exporter_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
need() { command -v "$1" >/dev/null 2>&1 || { echo "SKIP: $1 not installed"; exit 77; }; }
finish() { [ "$failures" -eq 0 ] || exit 1; echo "passed"; exit 0; }

# metrics_under SIM_OPTIONS... -- ARGS...: Orvy_PrinterMetrics under the simulator.
metrics_under() {
  "$SIM" "$@" >"$work/out" 2>"$work/err"
  status=$?
  [ "$status" -eq 125 ] && { cat "$work/err"; echo "SKIP: simulator cannot run"; exit 77; }
  return "$status"
}

# check_exposition FILE UP WHAT: promtool accepts FILE and it says orvy_printer_up UP.
check_exposition() {
  promtool check metrics <"$1" >"$work/lint" 2>&1 || fail "$3: promtool: $(cat "$work/lint")"
  grep -qx "orvy_printer_up{port=\"$usb\"} $2" "$1" || fail "$3: no orvy_printer_up $2"
  # Every sample carries the port.
  grep -v '^#' "$1" | grep -v "{port=\"$usb\"" | grep . && fail "$3: samples without port"
  true
}

exposition() {
  need promtool
  metrics_under -- "$METRICS" "$usb" || fail "healthy: exit $status"
  check_exposition "$work/out" 1 healthy
  for expected in 'orvy_printer_open_error{port="/dev/bus/usb/001/011"} 0' \
    'orvy_printer_head_temperature_celsius{port="/dev/bus/usb/001/011"} -7' \
    'orvy_printer_board_voltage_volts{port="/dev/bus/usb/001/011"} 24.1' \
    'orvy_printer_sensor_state{port="/dev/bus/usb/001/011",sensor="paper_near_end"} 0' \
    'orvy_printer_busy{port="/dev/bus/usb/001/011"} 0'; do
    grep -qxF "$expected" "$work/out" || fail "healthy: no line $expected"
  done
  grep -q '^orvy_printer_info{.*serial_number="K80P1-26-004711"' "$work/out" || fail "no serial"
  # A roll near its end, and one that ran out: the readings the man page gives.
  metrics_under --paper-mm 100 --near-end-mm 200 -- "$METRICS" "$usb" || fail "near end: exit $status"
  grep -qxF 'orvy_printer_sensor_state{port="/dev/bus/usb/001/011",sensor="paper_near_end"} 1' \
    "$work/out" || fail "near end: paper_near_end not 1"
  grep -qxF 'orvy_printer_error_word{port="/dev/bus/usb/001/011"} 0' "$work/out" ||
    fail "near end: error word not 0"
  metrics_under --paper-mm 0 -- "$METRICS" "$usb" || fail "paper out: exit $status"
  for expected in 'orvy_printer_error_word{port="/dev/bus/usb/001/011"} 1' \
    'orvy_printer_sensor_state{port="/dev/bus/usb/001/011",sensor="paper_near_end"} 1' \
    'orvy_printer_sensor_state{port="/dev/bus/usb/001/011",sensor="paper_entry_1"} 0'; do
    grep -qxF "$expected" "$work/out" || fail "paper out: no line $expected"
  done
  # The presenter keeps no reject count (it reads -1): a counter may not go negative.
  grep -q 'rejected_pages_total{' "$work/out" && fail "negative counter written"

  # Each failure class, written with --output: a valid file with orvy_printer_up 0.
  for case in "--no-usb:-2" "--silent:0" "--answer-type 9:0" "--garbage 2:0" "--short-answer 10:0"; do
    options=${case%:*}
    rm -f "$work/m.prom"
    # shellcheck disable=SC2086
    metrics_under $options -- "$METRICS" --output "$work/m.prom" "$usb" ||
      fail "$options: exit $status, not 0"
    check_exposition "$work/m.prom" 0 "$options"
    grep -qx "orvy_printer_open_error{port=\"$usb\"} ${case##*:}" "$work/m.prom" ||
      fail "$options: open error not ${case##*:}"
  done
  [ "$(stat -c %a "$work/m.prom")" = 644 ] || fail "output not readable by the collector"

  # Busy is not down: written on every run, 1 only while another program
  # holds the port (a claimed USB interface, a locked device file).
  grep -qx "orvy_printer_busy{port=\"$usb\"} 0" "$work/m.prom" || fail "failure: busy not 0"
  metrics_under --claim-busy always -- "$METRICS" "$usb" || fail "claimed: exit $status"
  check_exposition "$work/out" 0 claimed
  grep -qx "orvy_printer_busy{port=\"$usb\"} 1" "$work/out" || fail "claimed: busy not 1"
  grep -qx "orvy_printer_open_error{port=\"$usb\"} -4" "$work/out" || fail "claimed: not -4"
  lp=/dev/usb/lp0
  metrics_under -- sh -c "flock $lp sleep 3 & sleep 1; '$METRICS' $lp" ||
    fail "locked: exit $status"
  for expected in "orvy_printer_up{port=\"$lp\"} 0" "orvy_printer_busy{port=\"$lp\"} 1" \
    "orvy_printer_open_error{port=\"$lp\"} -1"; do
    grep -qxF "$expected" "$work/out" || fail "locked: no line $expected"
  done

  # Standard output that cannot take the text fails the run.
  metrics_under -- sh -c "'$METRICS' $usb >/dev/full"
  [ "$status" -eq 1 ] || fail "output to /dev/full: exit $status, not 1"
  grep -q 'standard output' "$work/err" || fail "output to /dev/full: no reason given"
  for left in "$work"/*m.prom* "$work"/.*m.prom*; do
    [ ! -e "$left" ] || [ "$left" = "$work/m.prom" ] || fail "temporary file left: $left"
  done

  # The file stays as it was when it cannot be replaced.
  chmod 0555 "$work"
  if [ ! -w "$work" ]; then  # root writes anyway
    "$SIM" --no-usb -- "$METRICS" --output "$work/m.prom" "$usb" 2>/dev/null
    [ $? -eq 1 ] || fail "unwritable output: exit not 1"
  fi
  chmod 0755 "$work"
  for usage in "" "--output" "--bogus $usb" "$usb $usb"; do
    # shellcheck disable=SC2086
    "$METRICS" $usage >/dev/null 2>"$work/err"
    [ $? -eq 2 ] || fail "usage '$usage': exit not 2"
    grep -q '^Usage: Orvy_PrinterMetrics \[--output FILE\] PORT' "$work/err" || fail "usage line"
  done
  finish
}

# --output replaces only a file of its own: a device node and a link to
# standard output are refused and stay; a link to a file stays, its file is
# replaced. No printer needed: the port is missing.
output() {
  mknod "$work/full" c 1 7 2>/dev/null || { echo "SKIP: cannot make a device node"; exit 77; }
  ln -s /proc/self/fd/1 "$work/stdout"
  echo old >"$work/file"
  ln -s file "$work/link"
  for target in full stdout; do
    "$METRICS" --output "$work/$target" "$work/no-printer" >"$work/out" 2>"$work/err"
    [ $? -eq 1 ] || fail "$target: exit not 1"
    grep -q "^Orvy_PrinterMetrics: $work/$target: refused: " "$work/err" ||
      fail "$target: no reason given: $(cat "$work/err")"
  done
  if [ ! -c "$work/full" ] || [ "$(stat -c %t:%T "$work/full")" != 1:7 ]; then
    fail "device node replaced"
  fi
  [ "$(readlink "$work/stdout")" = /proc/self/fd/1 ] || fail "link to standard output replaced"
  "$METRICS" --output "$work/link" "$work/no-printer" 2>"$work/err" || fail "link: exit not 0"
  [ "$(readlink "$work/link")" = file ] || fail "link to a file replaced"
  grep -q '^orvy_printer_up{' "$work/file" || fail "the file behind the link not written"
  for left in "$work"/.[!.]*; do
    [ -e "$left" ] && fail "temporary file left: $left"
  done
  finish
}

rules() {
  need promtool
  rules=$SOURCE_DIR/packaging/prometheus/orvy-printer-alerts.yml
  promtool check rules "$rules" || fail "promtool check rules"
  promtool test rules "$SOURCE_DIR/tests/metrics/alerts_test.yml" || fail "promtool test rules"
  finish
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

node_exporter() {
  need prometheus-node-exporter
  need curl
  mkdir "$work/textfile"
  port=$(free_port) || exit 1
  # Bounded by timeout too, in case this shell is killed past its trap.
  timeout 120 prometheus-node-exporter --web.listen-address="127.0.0.1:$port" \
    --collector.disable-defaults --collector.textfile \
    --collector.textfile.directory="$work/textfile" >"$work/exporter.log" 2>&1 &
  exporter_pid=$!
  metrics_under -- "$METRICS" --output "$work/textfile/orvy-printer-usb.prom" "$usb" ||
    fail "exit $status"
  tries=0
  until curl -sf "http://127.0.0.1:$port/metrics" >"$work/scrape"; do
    tries=$((tries + 1))
    [ "$tries" -lt 100 ] || { cat "$work/exporter.log"; fail "node_exporter does not answer"; finish; }
    sleep 0.1
  done
  grep -qx "orvy_printer_up{port=\"$usb\"} 1" "$work/scrape" || fail "no orvy_printer_up 1"
  grep -q '^orvy_printer_info{.*serial_number="K80P1-26-004711"' "$work/scrape" || fail "no info"
  grep -q "^orvy_printer_paper_cuts_total{port=\"$usb\"} " "$work/scrape" || fail "no counter"
  grep -qx 'node_textfile_scrape_error 0' "$work/scrape" || fail "textfile collector error"
  finish
}

units() {
  need systemd-analyze
  units=$work/units
  mkdir "$units"
  sed "s|@ORVY_UNIT_BINDIR@|$(dirname "$METRICS")|" \
    "$SOURCE_DIR/packaging/systemd/orvy-printer-metrics@.service.in" >"$units/orvy-printer-metrics@.service"
  cp "$SOURCE_DIR/packaging/systemd/orvy-printer-metrics@.timer" "$units/"
  # A stable name, escaped as systemd-escape --path does.
  instance='dev-orvy-by\x2dserial-K80P1\x2d26\x2d004711-usb'
  for kind in service timer; do
    ln -s "orvy-printer-metrics@.$kind" "$units/orvy-printer-metrics@$instance.$kind"
  done
  service=$units/orvy-printer-metrics@$instance.service
  if ! systemd-analyze verify --man=no "$units/orvy-printer-metrics@.timer" >/dev/null 2>"$work/probe" &&
    grep -q -i -E 'no such file|not booted|bus|sysinit' "$work/probe"; then
    echo "SKIP: systemd-analyze cannot verify here: $(cat "$work/probe")"
    exit 77
  fi
  SYSTEMD_LOG_LEVEL=debug systemd-analyze verify --man=no "$service" "${service%.service}.timer" \
    >"$work/verify" 2>&1 || fail "systemd-analyze verify: $(grep -v '^\s' "$work/verify")"
  grep -v -E '^\s|^(->|Failed to (load|open))' "$work/verify" | grep -i -E 'warn|error|unknown|invalid' &&
    fail "systemd-analyze verify complains"
  # %f gives the port back unescaped.
  grep -q 'Command Line: .* /dev/orvy/by-serial/K80P1-26-004711/usb$' "$work/verify" ||
    fail "the instance is not the port: $(grep 'Command Line' "$work/verify")"

  # Least privilege, as systemd rates it (0 to 10; root with no sandbox is 9.6).
  systemd-analyze security --offline=yes --no-pager "$service" >"$work/security" 2>&1 ||
    fail "systemd-analyze security: $(tail -n 3 "$work/security")"
  exposure=$(sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p' "$work/security")
  awk -v e="${exposure:-99}" 'BEGIN { exit !(e <= 2.0) }' ||
    fail "exposure ${exposure:-unknown} above 2.0: $(cat "$work/security")"
  # The unit's user is the one that sysusers.d creates and tmpfiles.d lets write.
  user=$(sed -n 's/^User=//p' "$units/orvy-printer-metrics@.service")
  systemd-sysusers --dry-run --root="$work/root" "$SOURCE_DIR/packaging/systemd/orvy-printer-metrics.sysusers" \
    2>&1 | grep -q "Creating user '$user'" || fail "sysusers.d does not create the user $user"
  grep -q "^a+ /var/lib/prometheus/node-exporter .* u:$user:rwx$" \
    "$SOURCE_DIR/packaging/systemd/orvy-printer-metrics.tmpfiles" || fail "tmpfiles.d does not let $user write"
  finish
}

json() {
  need python3
  "$SIM" -- sh -c "'$TOOL' -s -v $usb '[FF]' >'$work/report'; '$TOOL' -j $usb '[FF]' >'$work/doc'" \
    2>"$work/err"
  [ $? -eq 125 ] && { cat "$work/err"; echo "SKIP: simulator cannot run"; exit 77; }
  python3 "$SOURCE_DIR/tests/metrics/json_matches_report.py" "$work/doc" "$work/report" ||
    fail "document and verbose report differ"

  # Failures: the same exit status, reasons in the document, stdout still pure JSON.
  "$SIM" --answer-type 9 -- "$TOOL" -j -v /dev/usb/lp0 '[41]' >"$work/doc" 2>"$work/err" ||
    fail "failed inquiries: exit not 0"
  python3 - "$work/doc" <<'PY' || fail "failed inquiries not in the document"
import json, sys
doc = json.load(open(sys.argv[1]))
assert doc["open"] == {"ok": True, "error": 0}, doc["open"]
assert doc["records"] == [
    {"name": "printer_status", "code": 1, "ok": False, "reason": "Mismatch in type of received data "},
    {"name": None, "code": 64, "ok": False, "reason": "data inquiry not supported"}], doc["records"]
PY
  grep -q '^--- ERROR: not correct data ! ...  9 ==2, 14 ==14$' "$work/err" || fail "error line not on stderr"

  "$SIM" --no-usb -- "$TOOL" -j $usb '[01]' >"$work/doc" 2>/dev/null
  [ $? -eq 255 ] || fail "failed open: exit not 255"
  python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); assert d["open"]["ok"] is False and d["open"]["error"] == -2 and d["records"] == [], d' \
    "$work/doc" || fail "failed open not in the document"

  # A usage error still yields one document, with the reason.
  for usage in "-j" "-j $usb" "-j -q $usb [01]"; do
    # shellcheck disable=SC2086 # the words are the arguments
    "$TOOL" $usage >"$work/doc" 2>/dev/null
    [ $? -eq 255 ] || fail "usage '$usage': exit not 255"
    python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); assert d["usage_error"] and d["open"]["ok"] is False and d["records"] == [], d' \
      "$work/doc" || fail "usage '$usage': no document"
  done
  finish
}

case ${1:-} in
  exposition | output | rules | node_exporter | units | json) "$1" ;;
  *) echo "usage: $0 exposition|output|rules|node_exporter|units|json" >&2; exit 2 ;;
esac
