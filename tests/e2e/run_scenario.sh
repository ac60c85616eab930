#!/usr/bin/env bash
# Runs the console once and checks its exit status, its output and the simulated SDK's trace.
#
#   run_scenario.sh [checks] -- PROGRAM ARGS...
#
#   --status N            the exit status the run must end with (default 0)
#   --env NAME=VALUE      set in the console's environment (repeatable)
#   --trace FILE          KOBALT_SIM_TRACE for the run; removed first, so it holds this run only
#   --count TEXT N        exactly N trace lines contain TEXT
#   --before A B          the first trace line with A comes before the first with B
#   --stdout-has TEXT     standard output contains TEXT
#   --stderr-has TEXT     standard error contains TEXT
#   --stdin FILE          standard input for the run (default: none)
#   --alone DIR           copy PROGRAM alone into DIR (emptied first) and run the copy there
#   --beside FILE         with --alone: copy FILE into DIR too (repeatable)
#   --stderr-count TEXT N exactly N lines of standard error contain TEXT
#   --stderr-min TEXT N   at least N lines of standard error contain TEXT
#   --stderr-only TEXT B  every line of standard error with TEXT also contains B
#   --timeout SECONDS     end the run if it takes longer (default 120)
set -u

status=0 trace="" stdin=/dev/null alone="" timeout=120
envs=() checks=() beside=()
while [ $# -gt 0 ]; do
    case "$1" in
    --status) status=$2; shift 2 ;;
    --env) envs+=("$2"); shift 2 ;;
    --trace) trace=$2; shift 2 ;;
    --count) checks+=("count" "$2" "$3"); shift 3 ;;
    --before) checks+=("before" "$2" "$3"); shift 3 ;;
    --stdout-has) checks+=("stdout" "$2" ""); shift 2 ;;
    --stderr-has) checks+=("stderr" "$2" ""); shift 2 ;;
    --stdin) stdin=$2; shift 2 ;;
    --alone) alone=$2; shift 2 ;;
    --beside) beside+=("$2"); shift 2 ;;
    --stderr-count) checks+=("stderr-count" "$2" "$3"); shift 3 ;;
    --stderr-min) checks+=("stderr-min" "$2" "$3"); shift 3 ;;
    --stderr-only) checks+=("stderr-only" "$2" "$3"); shift 3 ;;
    --timeout) timeout=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "run_scenario.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
[ $# -gt 0 ] || { echo "run_scenario.sh: no program given" >&2; exit 2; }

program=$1; shift
if [ -n "$alone" ]; then
    rm -rf "$alone" && mkdir -p "$alone" && cp "$program" "$alone/" || exit 2
    for file in ${beside[@]+"${beside[@]}"}; do cp "$file" "$alone/" || exit 2; done
    program="$alone/$(basename "$program")"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Each run gets a runtime folder of its own, so consoles running side by side never share the
# power monitor's queue or the phone's control socket.
mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
envs=("XDG_RUNTIME_DIR=$work/runtime" ${envs[@]+"${envs[@]}"})
if [ -n "$trace" ]; then
    mkdir -p "$(dirname "$trace")" && rm -f "$trace"
    envs+=("KOBALT_SIM_TRACE=$trace")
fi

env ${envs[@]+"${envs[@]}"} timeout -k 5 "$timeout" "$program" "$@" \
    <"$stdin" >"$work/stdout" 2>"$work/stderr"
actual=$?

failed=0
fail() { echo "FAILED: $*"; failed=1; }

[ "$actual" -eq "$status" ] || fail "exit status $actual, expected $status"

i=0
while [ $i -lt ${#checks[@]} ]; do
    kind=${checks[$i]} a=${checks[$((i + 1))]} b=${checks[$((i + 2))]}
    i=$((i + 3))
    case "$kind" in
    count)
        n=$(grep -cF -- "$a" "$trace" 2>/dev/null)
        [ "${n:-0}" -eq "$b" ] || fail "trace has ${n:-0} lines with '$a', expected $b"
        ;;
    before)
        first_a=$(grep -nF -m1 -- "$a" "$trace" 2>/dev/null | cut -d: -f1)
        first_b=$(grep -nF -m1 -- "$b" "$trace" 2>/dev/null | cut -d: -f1)
        if [ -z "$first_a" ] || [ -z "$first_b" ] || [ "$first_a" -ge "$first_b" ]; then
            fail "trace: '$a' (line ${first_a:-none}) not before '$b' (line ${first_b:-none})"
        fi
        ;;
    stderr-count)
        n=$(grep -cF -- "$a" "$work/stderr" 2>/dev/null)
        [ "${n:-0}" -eq "$b" ] || fail "standard error has ${n:-0} lines with '$a', expected $b"
        ;;
    stderr-min)
        n=$(grep -cF -- "$a" "$work/stderr" 2>/dev/null)
        [ "${n:-0}" -ge "$b" ] || fail "standard error has ${n:-0} lines with '$a', expected $b or more"
        ;;
    stderr-only)
        n=$(grep -F -- "$a" "$work/stderr" 2>/dev/null | grep -cvF -- "$b")
        [ "${n:-0}" -eq 0 ] || fail "standard error has ${n} lines with '$a' but without '$b'"
        ;;
    stdout | stderr)
        grep -qF -- "$a" "$work/$kind" || fail "standard ${kind#std} lacks '$a'"
        ;;
    esac
done

if [ $failed -ne 0 ]; then
    echo "--- standard output"; cat "$work/stdout"
    echo "--- standard error"; cat "$work/stderr"
    if [ -n "$trace" ]; then echo "--- trace $trace"; cat "$trace" 2>/dev/null; fi
    exit 1
fi
echo "passed: exit status $actual"
