#!/bin/bash
# SPDX-License-Identifier: MIT
# `nopi --new-note [TEXT]`: with no copy running it starts one and opens the
# edit screen with the text; beside a running copy it opens the edit screen
# there; "-" reads standard input. When no note can be started (the edit
# screen is open, all 15 slots are in use, the text is too long), the text
# goes to standard error and the status is 1.
. "$(dirname "$0")/lib.sh"

launcher_section 100 100 > "$INI"
start_display

# new_note NAME ARGS...: runs `nopi --new-note ARGS...` with its output
# going through a pipe, as in a shell's command substitution; its standard
# output and error go to $WORK/NAME.out and .err, its status to STATUS. A
# copy it starts must not keep the pipe open.
new_note() {
    local name=$1 pid
    shift
    ( ( (nopi_env "$NOPI" --new-note "$@") 2> "$WORK/$name.err"; echo "$?" > "$WORK/$name.status") | cat > "$WORK/$name.out" ) < "${NEW_NOTE_INPUT:-/dev/null}" &
    pid=$!
    if wait_until 20 pid_gone "$pid"; then
        STATUS=$(cat "$WORK/$name.status")
    else
        STATUS="still running after 20 s"
        kill "$pid" 2> /dev/null
    fi
}

naiyou() { ini_get "$1" NAIYOU | iconv -f CP932 -t UTF-8; }
naiyou_is() { [ "$(naiyou "$1")" = "$2" ]; }
edit_screen_active() { has_window Form2 && active_is "$(window_of Form2)"; }

# ---- No copy running: the command starts one ---------------------------------
new_note first "はじめのメモ"
expect_eq "with no copy running, --new-note exits with 0 once the edit screen is open" 0 "$STATUS"
require "it started Nopi: the launcher appears" 10 has_window Form1
LAUNCHER=$(window_of Form1)
# Ours to stop at the end, like a copy the harness started itself.
NOPI_PID=$(xprop -id "$LAUNCHER" _NET_WM_PID | awk '{ print $3 }')
require "the edit screen is open and active" 10 edit_screen_active
xdotool key --delay 100 Tab Return
eventually "Tab, Enter saves the text in [FORM3]" 5 naiyou_is FORM3 "はじめのメモ"

# ---- Beside the running copy ---------------------------------------------------
new_note second "テキスト"
expect_eq "beside a running copy, --new-note exits with 0" 0 "$STATUS"
require "the running copy opens the edit screen" 5 edit_screen_active
expect_eq "still one launcher" 1 "$(viewable_windows | awk '$1 == "Form1"' | wc -l)"
xdotool key --delay 100 Tab Return
eventually "the text is saved in [FORM4]" 5 naiyou_is FORM4 "テキスト"

printf 'line one\r\nline two\n' > "$WORK/lines.txt"
NEW_NOTE_INPUT=$WORK/lines.txt new_note stdin -
expect_eq "--new-note - exits with 0" 0 "$STATUS"
require "the text from standard input is in the edit screen" 5 edit_screen_active
xdotool key --delay 100 Tab Return
eventually "its two lines are saved in [FORM5], the line break as ⇔" 5 naiyou_is FORM5 "line one⇔line two"

# ---- No new note can be started: the text is kept on standard error ---------------
xdotool key Return
require "Enter in the launcher opens the edit screen" 5 edit_screen_active
EDIT=$(window_of Form2)
snapshot editing
new_note busy "まだ書いている"
expect_eq "with the edit screen open, --new-note exits with 1" 1 "$STATUS"
check "the text is on standard error" grep -qxF "まだ書いている" "$WORK/busy.err"
check "with the reason" grep -q "edited" "$WORK/busy.err"
check "the open edit screen stays, the one that was there" test "$(window_of Form2)" = "$EDIT"
check "nothing was written" unchanged_since editing
xdotool key Escape
eventually "Esc closes the edit screen" 5 lacks_window Form2

head -c 70000 /dev/zero | tr '\0' 'x' > "$WORK/long.txt"
NEW_NOTE_INPUT=$WORK/long.txt new_note long -
expect_eq "a text longer than a note takes: exit 1" 1 "$STATUS"
line_of_x() { awk -v n="$2" 'length($0) == n && /^x+$/ { found = 1 } END { exit !found }' "$1"; }
check "its first 64 KiB are on standard error, and no more" line_of_x "$WORK/long.err" 65536
check "with the reason" grep -q "longer than a note takes" "$WORK/long.err"
check "no edit screen opens for it" holds_for 1 lacks_window Form2

# An endless text: the command reads no more than a note takes, and ends.
endless() {
    yes | nopi_env /usr/bin/time -f %M -o "$WORK/endless.kib" "$NOPI" --new-note - > /dev/null 2> "$WORK/endless.err"
    echo "${PIPESTATUS[1]}" > "$WORK/endless.status"
}
endless &
endless_pid=$!
check "yes | nopi --new-note -: it ends within 2 s" wait_until 2 pid_gone "$endless_pid"
kill "$endless_pid" 2> /dev/null
wait "$endless_pid" 2> /dev/null
expect_eq "with exit status 1" 1 "$(cat "$WORK/endless.status" 2> /dev/null)"
# time says its child's status first when it is not 0, then the figure.
check "holding under 100 MB" test "$(tail -n 1 "$WORK/endless.kib" 2> /dev/null || echo 999999)" -lt 102400
check "with the reason, then the first 64 KiB of the text" \
    test "$(grep -c '^y$' "$WORK/endless.err")" = 32768 -a "$(head -c 300 "$WORK/endless.err" | grep -c 'longer than a note takes')" = 1

check "the running copy listens on its socket" test -S "$WORK/runtime/nopi.socket"
stop_pid "$NOPI_PID"
NOPI_PID=""
wait_until 5 lacks_window Form1
check "ended by SIGTERM, it takes its socket away" test ! -e "$WORK/runtime/nopi.socket"
{
    launcher_section 100 100
    for slot in $(seq 3 17); do
        note_section "$slot" 1 8454143 $((slot * 600)) 1500 1500 900 0 0 "note $slot"
    done
} > "$INI"
start_nopi
require "with all 15 slots in use the launcher appears" 15 has_window Form1
require "and the 15 notes" 10 test "$(note_roles | wc -w)" = 15
snapshot full
new_note full "もう一枚"
expect_eq "with all 15 slots in use, --new-note exits with 1" 1 "$STATUS"
check "the text is on standard error" grep -qxF "もう一枚" "$WORK/full.err"
check "with the reason" grep -q "all 15 notes are in use" "$WORK/full.err"
check "no edit screen opens" holds_for 1 lacks_window Form2
check "nothing was written" unchanged_since full

new_note help-me --help
check "--help after --new-note is the note's text, not the help" test ! -s "$WORK/help-me.out"
(nopi_env "$NOPI" --help) > "$WORK/help.out" 2>&1
check "--help lists --new-note" grep -q -- "--new-note \[TEXT\]" "$WORK/help.out"
check "--help lists the keys" grep -q "Ctrl+D .*throw it away" "$WORK/help.out"

finish
