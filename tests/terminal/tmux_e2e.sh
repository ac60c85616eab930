#!/usr/bin/env bash
# The real program in a real terminal (a detached tmux session of 100 x 30):
#
#   tmux_e2e.sh PROGRAM quit       start, see the main window, move the focus with Tab and
#                                  Shift-Tab, press START with Enter, see "BlueTooth Start",
#                                  quit with F10: exit status 0
#   tmux_e2e.sh PROGRAM interrupt  the same start, then Ctrl-C: exit status 0
#   tmux_e2e.sh PROGRAM terminate  the same start, then SIGTERM: exit status 143
#   tmux_e2e.sh PROGRAM eventlog   the same start, then F3: the SDK calls of START and the
#                                  debug lines in the event log, a search, the log saved to a
#                                  file (owner-only), F3 back and F10: exit status 0
#
# Every way out must leave the terminal as it was: the shell's screen back (not the alternate
# one), cursor shown, keypad and mouse reporting off, the same stty settings as before.
# Exit status 77 when tmux is missing (the test is skipped).
set -u

program=$1
scenario=${2:-quit}

if ! command -v tmux >/dev/null 2>&1; then
    echo "SKIPPED: tmux is not installed (scripts/install-deps.sh installs it)"
    exit 77
fi

work=$(mktemp -d)
session=e2e
# A server of our own, its socket in our folder, so nothing is left behind.
tm() { tmux -S "$work/tmux" -f /dev/null "$@"; }
cleanup() {
    tm kill-server >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

screen() { tm capture-pane -p -t "$session"; }

fail() {
    echo "FAILED: $*"
    echo "--- screen"
    screen
    exit 1
}

# Waits (real time, bounded) until the screen matches the extended regular expression.
wait_for() {
    local pattern=$1 deadline=$((SECONDS + 30))
    while ((SECONDS < deadline)); do
        screen | grep -qE -- "$pattern" && return 0
        sleep 0.1
    done
    fail "the screen never showed /$pattern/"
}

wait_for_file() {
    local file=$1 deadline=$((SECONDS + 30))
    while ((SECONDS < deadline)); do
        [ -s "$file" ] && return 0
        sleep 0.1
    done
    fail "$file was never written"
}

tm new-session -d -s "$session" -x 100 -y 30 "env PS1='$ ' LANG=C.UTF-8 bash --norc --noprofile" ||
    fail "tmux could not start a session"

tm send-keys -t "$session" "stty -g >'$work/before'; KOBALT_TIME_SCALE=0.01 '$program'; echo \"EXIT=\$?\" >'$work/status'; stty -g >'$work/after'; echo done" Enter

# The main window, its first tab stop focused.
wait_for '─ KOBALTDemo ─'
wait_for '>   START    <'
[ "$(tm display -p -t "$session" '#{alternate_on}')" = 1 ] || fail "the program did not use the alternate screen"

# Tab passes the status list (the cursor marks it) on its way to SearchDevice.
tm send-keys -t "$session" Tab Tab
wait_for '>SearchDevice<'
tm send-keys -t "$session" BTab BTab
wait_for '>   START    <'
tm send-keys -t "$session" Enter
wait_for 'BlueTooth Start'

case "$scenario" in
quit) tm send-keys -t "$session" F10; expected=0 ;;
interrupt) tm send-keys -t "$session" C-c; expected=0 ;;
terminate)
    shell=$(tm display -p -t "$session" '#{pane_pid}')
    pid=$(pgrep -P "$shell" -x "$(basename "$program" | cut -c1-15)")
    [ -n "$pid" ] || fail "no process of $program under the pane's shell $shell"
    kill -TERM "$pid"
    expected=143
    ;;
eventlog)
    tm send-keys -t "$session" F3
    wait_for ' Event log: lines 1-'
    wait_for '^[0-9:.]{12} dbg  \[KOBALT\]\[API\]Ready'
    wait_for '^[0-9:.]{12}      KOBALT_Init\(\) = 0'
    wait_for '      KOBALT_HFAP_RegisterCallback\(0, HfEventCallback\) = 0'
    tm send-keys -t "$session" / R e g i s t e r Enter
    wait_for '^Line [0-9]+ of [0-9]+: Register'
    tm send-keys -t "$session" s
    wait_for '^Save to: kobalt-events-[0-9]{8}-[0-9]{6}\.log'
    tm send-keys -t "$session" -N 40 BSpace
    tm send-keys -t "$session" -l "$work/saved.log"
    tm send-keys -t "$session" Enter
    wait_for '^Saved [0-9]+ lines to '
    [ "$(stat -c %a "$work/saved.log")" = 600 ] || fail "the saved log is not owner-only"
    grep -qE '^[0-9:.]{12}      KOBALT_RegisterPairCallback\(PairEventCallback\) = 0$' "$work/saved.log" ||
        fail "the saved log lacks the calls: $(cat "$work/saved.log")"
    tm send-keys -t "$session" F3
    wait_for 'BlueTooth Start'
    tm send-keys -t "$session" F10
    expected=0
    ;;
*) echo "tmux_e2e.sh: unknown scenario $scenario"; exit 2 ;;
esac

wait_for_file "$work/status"
wait_for '^done$'
status=$(cat "$work/status")
[ "$status" = "EXIT=$expected" ] || fail "the program ended with $status, expected EXIT=$expected"

# The terminal as it was.
state=$(tm display -p -t "$session" \
    'alternate=#{alternate_on} cursor=#{cursor_flag} keypad=#{keypad_flag} keys=#{keypad_cursor_flag} mouse=#{mouse_any_flag}#{mouse_standard_flag}#{mouse_button_flag}#{mouse_sgr_flag}')
[ "$state" = "alternate=0 cursor=1 keypad=0 keys=0 mouse=0000" ] || fail "terminal left in: $state"
cmp -s "$work/before" "$work/after" ||
    fail "stty settings changed: $(cat "$work/before") -> $(cat "$work/after")"
screen | grep -q 'START' && fail "the console is still on the screen"
screen | grep -q 'BlueTooth' && fail "the console is still on the screen"

echo "passed: $scenario, $status, terminal restored"
