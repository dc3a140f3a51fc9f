#!/usr/bin/env bash
# Renders a man page as man shows it on an 80-column terminal (in the C
# locale, so the text is the same everywhere) and fails on anything groff or
# man says about it on the way (a bad request, a line it cannot break), or
# when a section a reader looks for is missing.
#
#   man_page_renders.sh PAGE PROGRAM
set -euo pipefail

page=$1
program=$2
text=$(mktemp)
trap 'rm -f "$text"' EXIT

warnings=$(LC_ALL=C MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$text") || {
    printf '%s: man failed\n%s\n' "$page" "$warnings" >&2
    exit 1
}
if [ -n "$warnings" ]; then
    printf '%s: man warns\n%s\n' "$page" "$warnings" >&2
    exit 1
fi
status=0
for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" "SEE ALSO"; do
    grep -qx "$section" "$text" || {
        echo "$page: no $section section" >&2
        status=1
    }
done
# The NAME line, as apropos and whatis index it: "program - what it is".
grep -Eq "^ +$program +- +[a-z]" "$text" || {
    echo "$page: the NAME line is not \"$program - ...\"" >&2
    status=1
}
exit $status
