#!/usr/bin/env bash
# Two consoles side by side: the first runs the power monitor, the second finds its queue taken
# and runs without one, so a suspend there restarts nothing.
#   two_consoles.sh PROGRAM FIRST-SCRIPT SECOND-SCRIPT
set -u
program=$1 first=$2 second=$3
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime KOBALT_TIME_SCALE=0.01

"$program" --script "$first" >"$work/first.out" 2>"$work/first.err" &
pid=$!
# The first console's monitor holds the queue once it listens.
for _ in $(seq 1 100); do
    ls "$work/runtime"/kobalt/*MonitorSysPower* >/dev/null 2>&1 && break
    sleep 0.05
done
"$program" --script "$second" >"$work/second.out" 2>"$work/second.err"
status=$?
wait "$pid"
first_status=$?
cat "$work/second.err"
[ "$status" -eq 0 ] || { echo "FAILED: the second console ended with $status"; exit 1; }
[ "$first_status" -eq 0 ] || { echo "FAILED: the first console ended with $first_status"; cat "$work/first.err"; exit 1; }
echo "both consoles passed"
