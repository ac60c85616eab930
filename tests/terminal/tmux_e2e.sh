#!/usr/bin/env bash
# The real program in a real terminal (a detached tmux session of 100 x 30):
#
#   tmux_e2e.sh PROGRAM PHONE SCENARIO
#
#   quit       start, see the main window, move the focus with Tab and Shift-Tab, press START
#              with Enter, see "BlueTooth Start"; Esc leaves the main window be; F10 asks
#              "Quit KOBALTDemo? y/n" as the stack is started, n keeps it running, F10 and y
#              quit: exit status 0
#   stopped    the same without START: F10 quits at once, exit status 0
#   interrupt  the same start, then Ctrl-C: exit status 0
#   terminate  the same start, then SIGTERM: exit status 143
#   live       START with its key S; a mouse click (press and release), then the phone (PHONE,
#              kobalt-phone) connects and rings: the caption and the telephone show up with no
#              further key; A answers, H hangs up, F1 lists the telephone's keys; quit with y
#   eventlog   the same start, then F3: the SDK calls of START and the debug lines in the event
#              log, a search, the log saved to a file (owner-only), F3 back, F10 and y: exit
#              status 0
#
# Every way out must leave the terminal as it was: the shell's screen back (not the alternate
# one), cursor shown, keypad and mouse reporting off, the same stty settings as before.
# Exit status 77 when tmux is missing (the test is skipped).
set -u
# Characters, not bytes, for the screen's columns.
export LC_ALL=C.UTF-8

program=$1
phone=$2
scenario=${3:-quit}

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
# The simulated world's time runs fast, but for the call the operator answers by hand: the
# phone stops ringing after 30 s of it.
scale=0.01
[ "$scenario" = live ] && scale=1
# The console's control socket, private to this run.
mkdir -m 700 "$work/run"

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

tm send-keys -t "$session" "stty -g >'$work/before'; XDG_RUNTIME_DIR='$work/run' KOBALT_TIME_SCALE=$scale '$program'; echo \"EXIT=\$?\" >'$work/status'; stty -g >'$work/after'; echo done" Enter

# The main window, its first tab stop focused.
wait_for '─ KOBALTDemo ─'
wait_for '>   START    <'
[ "$(tm display -p -t "$session" '#{alternate_on}')" = 1 ] || fail "the program did not use the alternate screen"

# Waits (real time, bounded) until the screen no longer matches the regular expression.
wait_gone() {
    local pattern=$1 deadline=$((SECONDS + 30))
    while ((SECONDS < deadline)); do
        screen | grep -qE -- "$pattern" || return 0
        sleep 0.1
    done
    fail "the screen still shows /$pattern/"
}

# The screen stays without /$1/ for a while (the front end had time to draw it).
stays_without() {
    sleep 1
    screen | grep -qE -- "$1" && fail "the screen shows /$1/"
    return 0
}

phone() {
    XDG_RUNTIME_DIR="$work/run" "$phone" "$@" >"$work/phone.out" 2>&1 ||
        fail "kobalt-phone $* failed: $(cat "$work/phone.out")"
}

# A click of the left button at a column and row counted from 0, press and release apart, as
# the terminal reports it to the program (X10 mouse encoding).
click() {
    local x y
    x=$(printf "\\$(printf '%03o' $((33 + $1)))")
    y=$(printf "\\$(printf '%03o' $((33 + $2)))")
    tm send-keys -t "$session" -l $'\e[M '"$x$y"
    sleep 0.3
    tm send-keys -t "$session" -l $'\e[M#'"$x$y"
}

# Column and row (from 0) of the first place the screen shows the fixed text (columns in
# characters: the frame's lines are several bytes each).
where() {
    local line row=0 prefix
    while IFS= read -r line; do
        if [[ $line == *"$1"* ]]; then
            prefix=${line%%"$1"*}
            echo "${#prefix} $row"
            return 0
        fi
        row=$((row + 1))
    done < <(screen)
    return 1
}

start_with_enter() {
    # Tab passes the status list (a double frame marks it) on its way to SearchDevice.
    tm send-keys -t "$session" Tab
    wait_for '╔═══'
    tm send-keys -t "$session" Tab
    wait_for '>SearchDevice<'
    tm send-keys -t "$session" BTab BTab
    wait_for '>   START    <'
    tm send-keys -t "$session" Enter
    wait_for 'BlueTooth Start'
}

expected=0
case "$scenario" in
quit)
    start_with_enter
    tm send-keys -t "$session" Escape
    stays_without 'Quit KOBALTDemo'
    [ -s "$work/status" ] && fail "Esc on the main window ended the program"
    screen | grep -q '─ KOBALTDemo ─' || fail "Esc on the main window closed it"
    tm send-keys -t "$session" F10
    wait_for 'Quit KOBALTDemo\? y/n'
    tm send-keys -t "$session" n
    wait_gone 'Quit KOBALTDemo'
    stays_without 'Quit KOBALTDemo'
    [ -s "$work/status" ] && fail "n ended the program"
    screen | grep -q 'BlueTooth Start' || fail "the console is gone after n"
    tm send-keys -t "$session" F10
    wait_for 'Quit KOBALTDemo\? y/n'
    tm send-keys -t "$session" y
    ;;
stopped) tm send-keys -t "$session" F10 ;;
interrupt) start_with_enter; tm send-keys -t "$session" C-c ;;
terminate)
    start_with_enter
    shell=$(tm display -p -t "$session" '#{pane_pid}')
    pid=$(pgrep -P "$shell" -x "$(basename "$program" | cut -c1-15)")
    [ -n "$pid" ] || fail "no process of $program under the pane's shell $shell"
    kill -TERM "$pid"
    expected=143
    ;;
live)
    wait_for 'S START  F SearchDevice'
    tm send-keys -t "$session" s
    wait_for 'BlueTooth Start'
    read -r col row < <(where 'Clear') || fail "no Clear button on the screen"
    click "$col" "$row"
    wait_gone 'BlueTooth Start' # Clear emptied the status list
    # From here on only the phone acts: the screen must follow it without a key.
    phone connect 66:55:44:33:22:11 hf
    wait_for 'Connect  with Pixel 7 And service is HF'
    phone ring 0123456789
    wait_for '─ HandFree ─'
    wait_for 'Incoming'
    wait_for '0123456789'
    wait_for 'A Answer  H HangUp  D Dail  T Transfer'
    tm send-keys -t "$session" M-a
    wait_for 'On Talking'
    wait_for 'Audio on'
    tm send-keys -t "$session" M-h
    wait_for 'Audio off'
    tm send-keys -t "$session" F1
    wait_for "The telephone's keys"
    tm send-keys -t "$session" Space
    wait_gone "The telephone's keys"
    tm send-keys -t "$session" F10
    wait_for 'Quit KOBALTDemo\? y/n'
    tm send-keys -t "$session" y
    ;;
eventlog)
    start_with_enter
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
    wait_for 'Quit KOBALTDemo\? y/n'
    tm send-keys -t "$session" y
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
