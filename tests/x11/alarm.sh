#!/bin/bash
# SPDX-License-Identifier: MIT
# Alarms go off at second 00 of their minute: the note comes to the top (ALARM
# 2 in the file, _NET_WM_STATE_ABOVE on the window) until a double-click stops
# it. A fake wall clock, a few seconds before 09:30, saves waiting a minute.
. "$(dirname "$0")/lib.sh"

FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2> /dev/null | head -n 1)
[ -n "$FAKETIME_LIB" ] || { echo "not ok - libfaketime is missing (scripts/setup test installs faketime)"; exit 1; }

TODAY=$(date +%F)
MONTH=$((10#$(date -d "$TODAY" +%m)))
DAY=$((10#$(date -d "$TODAY" +%d)))
OTHER_MONTH=$((MONTH % 12 + 1))
{
    launcher_section 0 0
    note_section 4 1 8454143 1500 1500 3000 1500 1 930 "every day"
    note_section 5 1 12632319 6000 1500 3000 1500 1 $((MONTH * 1000000 + DAY * 10000 + 930)) "today"
    note_section 6 1 12648384 1500 4500 3000 1500 1 $((OTHER_MONTH * 1000000 + 15 * 10000 + 930)) "another day"
} > "$INI"

# The clock starts at 09:29:52 and runs on in real time from there.
start_and_wait LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@$TODAY 09:29:52"
require "the three alarm notes appear" 10 note_roles_are "Form4 Form5 Form6"
FORM4=$(window_of Form4)
FORM5=$(window_of Form5)
FORM6=$(window_of Form6)

# Start-up takes well under the 8 s left before 09:30:00 on this clock.
expect_eq "before 09:30 no alarm has gone off" "1 1 1" "$(ini_num FORM4 ALARM) $(ini_num FORM5 ALARM) $(ini_num FORM6 ALARM)"
check "before 09:30 Form4 is not kept above" lacks_state "$FORM4" _NET_WM_STATE_ABOVE

eventually "at 09:30:00 the daily alarm goes off: [FORM4] ALARM 2" 20 ini_num_is FORM4 ALARM 2
eventually "the ringing Form4 is kept above" 3 has_state "$FORM4" _NET_WM_STATE_ABOVE
eventually "the alarm dated today goes off too: [FORM5] ALARM 2" 3 ini_num_is FORM5 ALARM 2
eventually "the ringing Form5 is kept above" 3 has_state "$FORM5" _NET_WM_STATE_ABOVE
check "the alarm dated another day stays quiet: [FORM6] ALARM 1" holds_for 2 ini_num_is FORM6 ALARM 1
check "Form6 is not kept above" lacks_state "$FORM6" _NET_WM_STATE_ABOVE
check "no audio device, and the program still runs" nopi_running

# A double-click on the ringing note stops it and leaves it set for tomorrow.
double_click_at 150 150
eventually "a double-click stops Form4: [FORM4] ALARM 1" 3 ini_num_is FORM4 ALARM 1
eventually "Form4 is no longer kept above" 3 lacks_state "$FORM4" _NET_WM_STATE_ABOVE
expect_eq "[FORM4] keeps its alarm time" 930 "$(ini_num FORM4 A_TIME)"
check "stopping a ringing alarm opens no edit screen" holds_for 1 lacks_window Form2
check "Form5 keeps ringing" ini_num_is FORM5 ALARM 2
check "Form5 is still kept above" has_state "$FORM5" _NET_WM_STATE_ABOVE

double_click_at 450 150
eventually "a double-click stops Form5: [FORM5] ALARM 1" 3 ini_num_is FORM5 ALARM 1
eventually "Form5 is no longer kept above" 3 lacks_state "$FORM5" _NET_WM_STATE_ABOVE

finish
