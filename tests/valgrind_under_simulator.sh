#!/bin/sh
# Runs one program under valgrind inside the simulated printer on every port
# form and fails on any memory error or leak, or on a failed run.
#   valgrind_under_simulator.sh SIMULATOR SUPPRESSIONS PROGRAM [ARG...]
# An argument @PORT@ stands for the port.
set -u
simulator=$1 suppressions=$2
shift 2
status=0
for port in /dev/bus/usb/001/011 /dev/usb/lp0 /dev/ttyS1; do
    args=
    for arg in "$@"; do
        [ "$arg" = @PORT@ ] && arg=$port
        args="$args '$arg'"
    done
    log=$(mktemp)
    eval "\"$simulator\" -- valgrind -q --error-exitcode=99 --leak-check=full \
        --errors-for-leak-kinds=definite,indirect,possible \
        --suppressions=\"$suppressions\" $args" >/dev/null 2>"$log"
    result=$?
    if [ "$result" -ne 0 ]; then
        echo "$port: exit status $result"
        cat "$log"
        status=1
    fi
    rm -f "$log"
done
exit $status
