#!/bin/bash
# SPDX-License-Identifier: MIT
# The quick way to a new note on a first run: new-note button, type, Tab,
# Enter. The launcher's place is saved on the way, wherever it was dragged.
. "$(dirname "$0")/lib.sh"

# No nopi.ini at all: the launcher starts at (0,0).
start_and_wait
eventually "with no file the launcher is at (0,0)" 5 geometry_is "$LAUNCHER" "0 0 114 70"
check "start-up with no notes writes no file" holds_for 1 test ! -e "$INI"

# The card (left of the button) drags the launcher; that alone writes nothing.
drag 40 40 200 150
eventually "dragging the card moves the launcher to (200,150)" 3 geometry_is "$LAUNCHER" "200 150 114 70"
check "moving the launcher writes nothing yet" holds_for 1 test ! -e "$INI"

# The button covers window pixels x 82..110, y 24..66.
click_at $((200 + 96)) $((150 + 45))
require "the new-note button opens the edit screen Form2" 5 has_window Form2
EDIT=$(window_of Form2)
eventually "the edit screen is its 340x159 client in its own border and caption" 3 size_is "$EDIT" "346 186"
eventually "[FORM1] holds the launcher's place 3000/2250" 3 ini_nums_are FORM1 "POJIX POJIY" "3000 2250"
expect_eq "[FORM1] has all 13 keys" "$ALL_KEYS" "$(ini_keys FORM1)"
expect_eq "no note section is written before OK" "FORM1" "$(ini_values "$INI" | awk '{ print $1 }' | sort -u | tr '\n' ' ' | sed 's/ $//')"
require "the edit screen has the keyboard focus" 5 active_is "$EDIT"

xdotool type --delay 30 hello
xdotool key Tab
xdotool key Return
eventually "Enter closes the edit screen" 5 lacks_window Form2
require "a note window Form3 appears" 5 has_window Form3
NOTE=$(window_of Form3)
eventually "[FORM3] is in use" 3 ini_num_is FORM3 SIYOU 1
expect_eq "[FORM3] B_Color is light yellow" 8454143 "$(ini_num FORM3 B_Color)"
expect_eq "[FORM3] NAIYOU is the typed text" hello "$(ini_get FORM3 NAIYOU)"
expect_eq "[FORM3] FName is ＭＳ Ｐゴシック in CP932" "$(printf %s "$FONT_CP932" | od -An -tx1)" "$(printf %s "$(ini_get FORM3 FName)" | od -An -tx1)"
expect_eq "[FORM3] FSize is 10" 10 "$(ini_num FORM3 FSize)"
expect_eq "[FORM3] has no alarm" "0 0" "$(ini_num FORM3 ALARM) $(ini_num FORM3 A_TIME)"
expect_eq "[FORM3] has all 13 keys" "$ALL_KEYS" "$(ini_keys FORM3)"
# A new note opens in the middle of the screen; the file follows its window.
eventually "the note opens near the middle of the screen, at (342,363)" 3 place_is "$NOTE" "342 363"
eventually "[FORM3] place and size follow the window" 3 note_file_matches_window FORM3 "$NOTE"
check "the launcher still holds its place" ini_nums_are FORM1 "POJIX POJIY" "3000 2250"

finish
