#!/bin/bash
# SPDX-License-Identifier: MIT
# The edit screen refuses an hour of 24 with a message box and writes nothing;
# the screen stays open for a correction, and 23 then goes through.
. "$(dirname "$0")/lib.sh"

error_box() { window_titled "エラーメッセージ"; }
has_error_box() { error_box > /dev/null; }
lacks_error_box() { ! error_box > /dev/null; }

launcher_section 0 0 > "$INI"
start_and_wait
click_at 96 45
require "the new-note button opens the edit screen Form2" 5 has_window Form2
EDIT=$(window_of Form2)
require "the edit screen has the keyboard focus" 5 active_is "$EDIT"
edit_client "$EDIT"
EX=$CX
EY=$CY

# ALARM "ON", then Tab into the hour, which comes selected.
click_at $((EX + 89)) $((EY + 30))
xdotool key Tab
xdotool type 24
snapshot before_ok
click_at $((EX + 254)) $((EY + 124))
require "OK with hour 24 brings up the message box エラーメッセージ" 5 has_error_box
check "the edit screen stays open behind it" has_window Form2
check "nothing is written to nopi.ini" holds_for 1 unchanged_since before_ok
expect_eq "no note section was written" "FORM1" "$(ini_values "$INI" | awk '{ print $1 }' | sort -u | tr '\n' ' ' | sed 's/ $//')"

xdotool key Return
eventually "Return dismisses the message box" 3 lacks_error_box
check "the edit screen is still open" holds_for 1 has_window Form2
check "still nothing written" unchanged_since before_ok
check "no note window came up" test -z "$(note_roles)"

# The same steps with 23 are accepted: the steps do put the typed hour in the
# field, so 24 was refused for its value.
click_at $((EX + 89)) $((EY + 30))
xdotool key Tab
xdotool type 23
click_at $((EX + 254)) $((EY + 124))
eventually "with hour 23 OK closes the edit screen" 5 lacks_window Form2
eventually "and the note Form3 appears" 5 has_window Form3
check "no message box this time" lacks_error_box
eventually "[FORM3] holds the alarm: ALARM 1, A_TIME 2300" 3 ini_nums_are FORM3 "ALARM A_TIME" "1 2300"

finish
