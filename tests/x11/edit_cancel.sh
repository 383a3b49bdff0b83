#!/bin/bash
# SPDX-License-Identifier: MIT
# A double-click on a note opens its edit screen; Cancel and Esc close it and
# throw away what was typed: the file is not touched.
. "$(dirname "$0")/lib.sh"

{
    launcher_section 0 0
    note_section 8 1 16777088 4500 3000 3000 1500 0 0 "eight"
} > "$INI"

start_and_wait
require "the note Form8 appears" 10 has_window Form8
NOTE=$(window_of Form8)
require "Form8 is 200x100 at (300,200)" 5 geometry_is "$NOTE" "300 200 200 100"
snapshot before

double_click_at 400 250
require "a double-click on the note opens the edit screen Form2" 5 has_window Form2
EDIT=$(window_of Form2)
require "the edit screen has the keyboard focus" 5 active_is "$EDIT"
xdotool type --delay 30 " changed"
edit_client "$EDIT"
click_at $((CX + 307)) $((CY + 124))
eventually "Cancel closes the edit screen" 5 lacks_window Form2
check "Cancel writes nothing" holds_for 2 unchanged_since before
check "the note stays where it was" geometry_is "$NOTE" "300 200 200 100"

double_click_at 400 250
require "a second double-click opens the edit screen again" 5 has_window Form2
EDIT=$(window_of Form2)
require "the edit screen has the keyboard focus again" 5 active_is "$EDIT"
xdotool type --delay 30 " changed"
xdotool key Escape
eventually "Esc closes the edit screen" 5 lacks_window Form2
check "Esc writes nothing" holds_for 2 unchanged_since before
expect_eq "[FORM8] keeps its text" eight "$(ini_get FORM8 NAIYOU)"
check "the note is still shown" has_window Form8

finish
