#!/bin/bash
# SPDX-License-Identifier: MIT
# Nopi with the keyboard alone: after start-up not one pointer event until
# the last part. A ringing alarm is stopped, notes are made, reached, edited
# and thrown away with key presses, the window Tab reaches shows the focus
# mark, and the launcher's focus step leaves a note that Tab reached alone.
# Last, a click takes the mark away, and a note moved and resized with keys
# is back in its place after a restart. A fake wall clock, just before 09:30,
# rings the alarm.
. "$(dirname "$0")/lib.sh"

FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2> /dev/null | head -n 1)
[ -n "$FAKETIME_LIB" ] || { echo "not ok - libfaketime is missing (scripts/setup test installs faketime)"; exit 1; }
PIXELS=${NOPI_SCREEN_PIXELS:-}
[ -x "$PIXELS" ] || { echo "not ok - NOPI_SCREEN_PIXELS names no program (the build makes nopi_screen_pixels)"; exit 1; }

{
    launcher_section 100 100
    note_section 5 1 8454143 9000 1500 3000 1500 1 930 "ringing"
} > "$INI"

start_and_wait LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@$(date +%F) 09:29:54"
require "the alarm note Form5 appears" 10 has_window Form5
# Nothing of the pointer from here on: the launcher is made active the way a
# window manager's key would.
timeout 5 xdotool windowactivate --sync "$LAUNCHER" 2> /dev/null
require "the launcher is the active window" 10 active_is "$LAUNCHER"
require "at 09:30:00 the alarm rings: [FORM5] ALARM 2" 20 ini_num_is FORM5 ALARM 2

active_role_is() { active_is "$(window_of "$1")"; }
section_but_siyou() { section_values "$1" "$2" | grep -v ' SIYOU='; }
thrown_as_the_close_mark_throws() {
    ini_num_is "$1" SIYOU 0 && [ "$(section_but_siyou "$WORK/before.ini" "$1")" = "$(section_but_siyou "$INI" "$1")" ]
}
naiyou_is() { [ "$(ini_get "$1" NAIYOU)" = "$2" ]; }
lacks_window_titled() { ! window_titled "$1" > /dev/null; }

# ring_row ROLE: sets RING to what the screen shows of the top line of the
# window's focus mark, one pixel in from its visible edge (the launcher's card
# starts 24 pixels down), "COLOUR OTHERS DIGEST" as nopi_screen_pixels prints
# it, and RING_WIDTH to its length.
ring_row() {
    local top=4
    geometry "$(window_of "$1")" || return 1
    RING_WIDTH=$((GW - 8))
    [ "$1" = Form1 ] && top=25 RING_WIDTH=$((GW - 9))
    RING=$("$PIXELS" $((GX + 4)) $((GY + top)) "$RING_WIDTH" 1)
}
# marked ROLE: the window shows the dotted mark, every other pixel of the
# line unlike the rest; plain ROLE: the line is all one colour.
marked() { ring_row "$1" && set -- $RING && [ $(($2 * 3)) -ge "$RING_WIDTH" ]; }
unmarked() { ! marked "$1"; }
plain() { ring_row "$1" && set -- $RING && [ "$2" = 0 ]; }
# reached_with_mark ROLE: Tab made the window the active one and it alone of
# it and the launcher shows the mark.
reached_with_mark() {
    active_role_is "$1" && marked "$1" && { [ "$1" = Form1 ] || unmarked Form1; }
}

check "the launcher the window manager made active shows no focus mark" unmarked Form1

# KEYS | CHECK | WHAT IT SHOWS. KEYS are xdotool key names, "type:TEXT" to
# type, "snapshot" to keep the file for a later check, "-" for none; CHECK
# is awaited for up to 6 s (the launcher's focus step takes up to 4), one
# starting with "hold" must stay true for 5 s, "-" is none.
steps() {
    cat << 'EOF'
Tab | active_role_is Form5 | Tab from the launcher reaches the ringing note
Return | ini_num_is FORM5 ALARM 1 | Enter on a ringing note stops it
- | hold lacks_window Form2 | stopping the alarm opens no edit screen
shift+Tab | active_role_is Form1 | Shift+Tab goes back to the launcher
Return | has_window Form2 | Enter in the launcher opens the edit screen
type:first | - | the text is typed into the edit screen
Tab Return | has_window Form3 | Tab, Enter saves the note in Form3
- | naiyou_is FORM3 first | [FORM3] holds the typed text
- | active_role_is Form1 | the launcher is active again when the edit screen has gone
Tab | active_role_is Form3 | Tab from the launcher reaches the new note
- | hold active_role_is Form3 | the launcher's focus step, due now, leaves the note Tab reached alone
ctrl+n | has_window Form2 | Ctrl+N in that note opens the edit screen
type:second | - | a second text is typed
Tab Return | has_window Form4 | the second note is saved in the lowest free slot, Form4
- | naiyou_is FORM4 second | [FORM4] holds the second text
- | active_role_is Form1 | the focus comes back to the launcher after the refresh
- | marked Form1 | the launcher the focus step made active after a ＯＫ by keys shows the mark
Tab | reached_with_mark Form3 | Tab: Form3, with the focus mark
Tab | reached_with_mark Form4 | Tab: Form4, with the focus mark
Tab | reached_with_mark Form5 | Tab: Form5, with the focus mark
Tab | reached_with_mark Form1 | Tab after the last note: the launcher again, with the focus mark
shift+Tab | active_role_is Form5 | Shift+Tab from the launcher: the last note
snapshot | - | the file before throwing a note away
ctrl+d | lacks_window Form5 | Ctrl+D throws the note away
- | thrown_as_the_close_mark_throws FORM5 | [FORM5] is written as the close mark writes it
- | active_role_is Form1 | the launcher takes the focus after a note is thrown away
space | has_window Form2 | Space in the launcher opens the edit screen
Escape | lacks_window Form2 | Esc cancels the edit screen
ctrl+n | has_window Form2 | Ctrl+N in the launcher opens the edit screen
Escape | lacks_window Form2 | Esc cancels it again
Return | active_role_is Form2 | the edit screen opens once more, active
Tab Tab Tab Tab Right Tab | - | Tab to the alarm switch, Right turns it ON, Tab to the hour
type:9x9 | - | the hour box takes the digits only: 99
Tab | - | Tab to the minute
type:0x5 | - | the minute box takes the digits only: 05
Tab Tab Tab Tab | - | Tab past Date, Font and the text to ＯＫ
Return | window_titled エラーメッセージ | ＯＫ refuses hour 99 with the error message
Return | lacks_window_titled エラーメッセージ | Enter closes the message
type:7 | - | the hour, selected for the focus, is typed over
Tab Tab Tab Tab Tab Return | has_window Form5 | Tab to ＯＫ and Enter save the note in the free slot 5
- | ini_nums_are FORM5 "SIYOU ALARM A_TIME" "1 1 705" | [FORM5] has the alarm 07:05
EOF
}

while IFS='|' read -r keys expectation what; do
    keys=$(echo $keys)
    expectation=$(echo $expectation)
    what=${what# }
    case "$keys" in
        -) ;;
        snapshot) snapshot before ;;
        type:*) xdotool type --delay 40 "${keys#type:}" ;;
        *) xdotool key --delay 100 $keys ;;
    esac
    case "$expectation" in
        -) echo "# $what" ;;
        hold\ *) eval "check \"\$what\" holds_for 5 ${expectation#hold }" ;;
        *) eval "eventually \"\$what\" 6 $expectation" ;;
    esac
done < <(steps)

# ---- A click, and a note placed with keys ------------------------------------------
# The note saved last, reached with Shift+Tab from the launcher, is moved
# three steps right and two down with Alt+arrows, then made two steps wider
# and one lower with Ctrl+Shift+arrows, at a person's pace.
require "the launcher takes the focus back" 6 active_role_is Form1
xdotool key shift+Tab
require "Shift+Tab reaches Form5, with the focus mark" 6 reached_with_mark Form5
NOTE=$(window_of Form5)
geometry "$NOTE"
click_at $((GX + GW / 2)) $((GY + GH / 2))
eventually "a click on it takes the mark away" 3 unmarked Form5
check "the clicked note shows its plain colour there" plain Form5
check "a click moves nothing" note_file_matches_window FORM5 "$NOTE"
EXPECTED="$((GX + 30)) $((GY + 20)) $((GW + 20)) $((GH - 10))"
snapshot before_keys
xdotool key --delay 200 alt+Right alt+Right alt+Right alt+Down alt+Down ctrl+shift+Right ctrl+shift+Right ctrl+shift+Up
check "Alt+arrows move it and Ctrl+Shift+arrows resize it: $EXPECTED" geometry_is "$NOTE" "$EXPECTED"
check "nothing is written while the keys go on" unchanged_since before_keys
eventually "once they rest, [FORM5] holds the new place and size" 3 note_file_matches_window FORM5 "$NOTE"

check "the program still runs" nopi_running
kill -TERM "$NOPI_PID"
require "SIGTERM ends it" 5 nopi_exited
start_nopi LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@$(date +%F) 09:31:00"
require "after a restart Form5 is back" 15 has_window Form5
eventually "at the place and size the keys gave it" 5 geometry_is "$(window_of Form5)" "$EXPECTED"
finish
