#!/bin/bash
# SPDX-License-Identifier: MIT
# Start-up: the launcher and exactly the notes in use come up where the file
# puts them, with their shapes, and start-up changes nothing the file says.
. "$(dirname "$0")/lib.sh"

{
    launcher_section 40 500
    note_section 9 1 12632319 7500 4500 2700 1800 0 0 "nine"
    note_section 5 0 8454143 1500 1500 3000 1500 0 0 "five, not in use"
    note_section 4 1 8454143 3000 1500 3000 1500 0 0 "four"
} > "$INI"
snapshot fixture

start_and_wait
require "the notes in use, Form4 and Form9, come up" 10 note_roles_are "Form4 Form9"
check "no other note window comes up" holds_for 1 note_roles_are "Form4 Form9"

LAUNCHER=$(window_of Form1)
FORM4=$(window_of Form4)
FORM9=$(window_of Form9)
eventually "launcher is 114x70 at (40,500) from [FORM1]" 5 geometry_is "$LAUNCHER" "40 500 114 70"
eventually "Form4 is 200x100 at (200,100)" 5 geometry_is "$FORM4" "200 100 200 100"
eventually "Form9 is 180x120 at (500,300)" 5 geometry_is "$FORM9" "500 300 180 120"
check "Form4 stays out of the taskbar" has_state "$FORM4" _NET_WM_STATE_SKIP_TASKBAR
check "Form9 stays out of the taskbar" has_state "$FORM9" _NET_WM_STATE_SKIP_TASKBAR

# Only the card strip of the launcher shows: 108x43 at +3+24.
eventually "launcher shape extents are 108x43+3+24" 5 shape_is "$LAUNCHER" 108x43+3+24
check "launcher shape: (3,24) is inside" shows_window_at 43 524
check "launcher shape: (110,66) is inside" shows_window_at 150 566
check "launcher shape: (2,24) is cut away" shows_root_at 42 524
check "launcher shape: (3,23) is cut away" shows_root_at 43 523
check "launcher shape: (111,66) is cut away" shows_root_at 151 566
check "launcher shape: (110,67) is cut away" shows_root_at 150 567

# While the start-up refresh lasts, a note is cut to (3,3)-(w-2,h-2).
eventually "Form4 shape extents are 195x95+3+3" 4 shape_is "$FORM4" 195x95+3+3
eventually "Form9 shape extents are 175x115+3+3" 4 shape_is "$FORM9" 175x115+3+3
check "Form4 shape: (3,3) is inside" shows_window_at 203 103
check "Form4 shape: (w-3,h-3) is inside" shows_window_at 397 197
check "Form4 shape: (2,3) is cut away" shows_root_at 202 103
check "Form4 shape: (3,2) is cut away" shows_root_at 203 102
check "Form4 shape: (w-2,h-3) is cut away" shows_root_at 398 197
check "Form4 shape: (w-3,h-2) is cut away" shows_root_at 397 198

# Each shown note saves its own section, with the values it already had: not
# a byte changes, so the file is not even replaced.
check "start-up leaves every value of nopi.ini as it was" holds_for 3 same_values_as fixture
check "start-up leaves nopi.ini itself alone: its bytes, inode and time" unchanged_since fixture
expect_eq "[FORM5] (not in use) stays SIYOU 0" 0 "$(ini_num FORM5 SIYOU)"
expect_eq "numbers keep the blank after '='" " 1" "$(ini_raw FORM4 SIYOU)"
expect_eq "every line of the file ends in CRLF" "$(wc -l < "$INI")" "$(grep -c $'\r$' "$INI")"

finish
