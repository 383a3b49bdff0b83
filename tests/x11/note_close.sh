#!/bin/bash
# SPDX-License-Identifier: MIT
# The close mark in a note's top-right corner throws the note away: its window
# goes, its section stays with every key and SIYOU 0. Other notes stay.
. "$(dirname "$0")/lib.sh"

{
    launcher_section 0 0
    note_section 4 1 8454143 3000 1500 3000 1500 0 0 "four"
    note_section 9 1 16777088 7500 4500 2700 1800 1 1230 "nine"
} > "$INI"

start_and_wait
require "the notes Form4 and Form9 appear" 10 note_roles_are "Form4 Form9"
NOTE=$(window_of Form4)
require "Form4 is 200x100 at (200,100)" 5 geometry_is "$NOTE" "200 100 200 100"
snapshot before

# Just left of the mark is the note's body: a click there closes nothing.
click_at $((200 + 200 - 21)) $((100 + 13))
check "a click beside the close mark leaves Form4 open" holds_for 1 has_window Form4

# The mark covers window pixels x w-19..w-8, y 8..19.
click_at $((200 + 200 - 13)) $((100 + 13))
eventually "clicking the close mark removes Form4" 3 lacks_window Form4
eventually "[FORM4] becomes SIYOU 0" 3 ini_num_is FORM4 SIYOU 0
expect_eq "[FORM4] keeps all its keys" "$ALL_KEYS" "$(ini_keys FORM4)"
check "Form9 stays open" has_window Form9
expect_eq "[FORM9] is untouched" "$(section_values "$WORK/before.ini" FORM9)" "$(section_values "$INI" FORM9)"
check "the launcher stays" has_window Form1
check "the program keeps running" nopi_running

# Closed stays closed: a new start shows only Form9.
stop_pid "$NOPI_PID"
NOPI_PID=""
start_nopi
require "after a restart the launcher appears" 15 has_window Form1
eventually "after a restart only Form9 comes up" 10 note_roles_are "Form9"
check "and Form4 stays away" holds_for 1 note_roles_are "Form9"

finish
