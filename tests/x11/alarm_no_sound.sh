#!/bin/bash
# SPDX-License-Identifier: MIT
# An alarm with no sound server to play to still rings: the note goes on top
# and blinks, and the program keeps answering, from the launcher's button to
# the double-click that stops it. Twice: with no server at all, and with one
# that hangs (a frozen PulseAudio or PipeWire answers nothing, for libpulse's
# half-minute time-out).
. "$(dirname "$0")/lib.sh"

FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2> /dev/null | head -n 1)
[ -n "$FAKETIME_LIB" ] || { echo "not ok - libfaketime is missing (scripts/setup test installs faketime)"; exit 1; }

DISPLAY_STARTED=""
ring_without_sound() {
local server=$1
{
    launcher_section 0 0
    note_section 4 1 8454143 3000 3000 3000 1500 1 930 "no sound"
} > "$INI"

if [ -z "$DISPLAY_STARTED" ]; then
    start_and_wait LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@$(date +%F) 09:29:52"
    DISPLAY_STARTED=1
else
    start_nopi LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@$(date +%F) 09:29:52"
    require "the launcher Form1 appears" 15 has_window Form1
fi
require "$server: the note Form4 appears" 10 has_window Form4
NOTE=$(window_of Form4)
xdotool mousemove 1010 750
QUIET_PICTURE=$(settled_picture "$NOTE")
check "before the alarm the note shows one picture" test -n "$QUIET_PICTURE"
expect_eq "before 09:30 the alarm is armed" 1 "$(ini_num FORM4 ALARM)"

eventually "$server: at 09:30 the alarm goes off: [FORM4] ALARM 2" 20 ini_num_is FORM4 ALARM 2
eventually "the ringing note is kept above" 3 has_state "$NOTE" _NET_WM_STATE_ABOVE
check "$server: its text blinks" blinks "$NOTE" "$QUIET_PICTURE"

click_at 96 45
eventually "$server: while it rings the new-note button opens the edit screen" 5 has_window Form2
xdotool key Escape
eventually "and Esc closes it" 5 lacks_window Form2
check "the note rings on" ini_num_is FORM4 ALARM 2

double_click_at 300 225
xdotool mousemove 1010 750
eventually "$server: the double-click stops it: [FORM4] ALARM 1" 3 ini_num_is FORM4 ALARM 1
eventually "the note is no longer kept above" 3 lacks_state "$NOTE" _NET_WM_STATE_ABOVE
eventually "its text shows steadily again" 3 shows_steadily "$NOTE" "$QUIET_PICTURE"
check "the program still runs" nopi_running

stop_pid "$NOPI_PID"
require "$server: the program has ended" 5 lacks_window Form1
}

# A server named where none listens: the program must not wait for one.
export PULSE_SERVER="unix:$WORK/no-sound-server"
ring_without_sound "no server"

start_sound_server
kill -STOP "$SOUND_SERVER_PID"
ring_without_sound "a hung server"
kill -CONT "$SOUND_SERVER_PID"

finish
