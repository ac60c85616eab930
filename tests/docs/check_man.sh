#!/usr/bin/env bash
# Checks a man page: groff renders it without a warning, and it names every option (and, for
# kobalt-phone, every command) that the program's own --help lists.
#
#   check_man.sh PAGE PROGRAM
set -u
page=$1 program=$2
failed=0

warnings=$(groff -man -ww -z -Tutf8 "$page" 2>&1)
if [ -n "$warnings" ]; then
    echo "FAILED: groff warns about $page:"
    echo "$warnings"
    failed=1
fi

rendered=$(groff -man -Tutf8 -P-cbou "$page" 2>/dev/null)
help=$("$program" --help)

# Options: every --word of the usage.
for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qF -- "$option" <<<"$rendered" || { echo "FAILED: $page lacks $option"; failed=1; }
done

# Commands: the lines of the usage's "Commands:" block start with two blanks and the command.
commands=$(sed -n '/^Commands:/,/^$/p' <<<"$help" | grep -oE '^  [a-z][a-z-]*' | sed 's/^ *//')
for command in $commands; do
    grep -qE "(^|[^a-z-])$command([^a-z-]|$)" <<<"$rendered" ||
        { echo "FAILED: $page lacks the command $command"; failed=1; }
done

[ $failed -eq 0 ] && echo "passed: $page"
exit $failed
