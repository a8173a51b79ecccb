#!/bin/sh
# A private cupsd for one test, sourced by cups_test.sh inside the simulator.
# It runs as root from its own configuration below DIR, listens on
# 127.0.0.1 only at a free port, and is stopped when the sourcing shell exits
# (and, failing that, by its own time limit). The clients (lpadmin, lp,
# lpstat, lpinfo, ipptool) reach it through CUPS_SERVER.
#
# cupsd keeps UMOCKDEV_DIR for its backends (SetEnv) but drops LD_PRELOAD,
# so its ServerBin is a private one whose backend/usb is a root-only wrapper
# that sets the preload and runs Debian's usb backend (and ours, when
# ORVY_BACKEND names it); everything else links to the system's ServerBin.
# With ORVY_TEXT_FILTER and ORVY_PPD its filters and its DataDir's model/
# have ours. DIR must be one that the lp user may enter.

cupsd_pid=""
stop_cupsd() {
  [ -z "$cupsd_pid" ] || { kill "$cupsd_pid" 2>/dev/null; wait "$cupsd_pid" 2>/dev/null; } || true
  cupsd_pid=""
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start_cupsd() {
  d=$1
  port=$(free_port)
  mkdir -p "$d/etc/ppd" "$d/spool/tmp" "$d/cache" "$d/run" "$d/log" "$d/bin/backend" \
    "$d/bin/filter" "$d/data/model"
  for sub in cgi-bin daemon driver monitor notifier; do
    ln -s "/usr/lib/cups/$sub" "$d/bin/$sub"
  done
  for filter in /usr/lib/cups/filter/*; do ln -s "$filter" "$d/bin/filter/"; done
  for data in /usr/share/cups/*; do
    [ "${data##*/}" = model ] || ln -s "$data" "$d/data/"
  done
  # The backends run as root (0744: not for others), so that they can reach
  # the simulator's files; the filters run as lp, from copies of their own.
  # cupsd clears the environment: the wrapper brings back the preload and the
  # sanitizer options (an instrumented backend under the asan preset).
  for backend in usb ${ORVY_BACKEND:+orvy}; do
    program=/usr/lib/cups/backend/$backend
    [ "$backend" = usb ] || program=$ORVY_BACKEND
    cat >"$d/bin/backend/$backend" <<EOF
#!/bin/sh
ASAN_OPTIONS='${ASAN_OPTIONS:-}' UBSAN_OPTIONS='${UBSAN_OPTIONS:-}' LD_PRELOAD='$LD_PRELOAD' \
  exec '$program' "\$@"
EOF
    chmod 0744 "$d/bin/backend/$backend"
  done
  if [ -n "${ORVY_TEXT_FILTER:-}" ]; then
    cp "$ORVY_TEXT_FILTER" "$d/bin/filter/orvy-text"
    chmod 0755 "$d/bin/filter/orvy-text"
    mkdir -p "$d/data/model/orvy"
    cp "$ORVY_PPD" "$d/data/model/orvy/"
  fi
  cat >"$d/etc/cups-files.conf" <<EOF
ServerRoot $d/etc
ServerBin $d/bin
RequestRoot $d/spool
TempDir $d/spool/tmp
CacheDir $d/cache
StateDir $d/run
ErrorLog $d/log/error_log
AccessLog $d/log/access_log
PageLog $d/log/page_log
Printcap $d/run/printcap
DataDir $d/data
User lp
Group lp
SystemGroup root
SetEnv UMOCKDEV_DIR $UMOCKDEV_DIR
EOF
  cat >"$d/etc/cupsd.conf" <<EOF
Listen 127.0.0.1:$port
LogLevel debug
MaxLogSize 0
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
  # The directories must be reachable for the lp user, as in /var/spool/cups.
  chmod 0755 "$d"
  env -u LD_PRELOAD timeout 170 cupsd -f -c "$d/etc/cupsd.conf" -s "$d/etc/cups-files.conf" &
  cupsd_pid=$!
  echo "$cupsd_pid" >"$d/cupsd.pid"
  trap stop_cupsd EXIT
  export CUPS_SERVER="127.0.0.1:$port"
  tries=0
  until env -u LD_PRELOAD timeout 5 lpstat -r 2>/dev/null | grep -q 'is running'; do
    tries=$((tries + 1))
    [ "$tries" -lt 100 ] || { echo "cupsd did not start" >&2; exit 1; }
    sleep 0.2
  done
}

# Waits until job N has ended: completed, or held because the backend
# failed. Prints "completed" or "held".
wait_for_job() {
  waited=0
  while :; do
    if grep -q "\[Job $1\] Job completed" "$d/log/error_log"; then echo completed; return; fi
    if grep -q "\[Job $1\] Job held" "$d/log/error_log"; then
      timeout 10 cancel "$1" || true  # no retry behind the test's back
      echo held
      return
    fi
    waited=$((waited + 1))
    [ "$waited" -lt $(($2 * 5)) ] || { echo "job $1 did not end within $2 s" >&2; exit 1; }
    sleep 0.2
  done
}
