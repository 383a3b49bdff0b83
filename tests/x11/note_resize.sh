#!/bin/bash
# SPDX-License-Identifier: MIT
# A note's thin frame resizes it through the window manager; the file's size
# follows, and the note's shape is cut again to the new size.
. "$(dirname "$0")/lib.sh"

{
    launcher_section 0 0
    note_section 7 1 12648384 2250 1800 3000 1500 0 0 "seven"
    note_section 8 1 8454143 7500 6000 2400 1200 0 0 "eight"
} > "$INI"

start_and_wait
require "the notes Form7 and Form8 appear" 10 note_roles_are "Form7 Form8"
NOTE=$(window_of Form7)
require "Form7 is 200x100 at (150,120)" 5 geometry_is "$NOTE" "150 120 200 100"
eventually "Form7 shape is 195x95+3+3 after start-up" 4 shape_is "$NOTE" 195x95+3+3

# (w-4,h-4) is on the frame and still inside the shape.
drag $((150 + 196)) $((120 + 96)) 50 30
eventually "dragging the bottom-right corner makes the note 250x130" 3 geometry_is "$NOTE" "150 120 250 130"
eventually "[FORM7] YOKO/TATE follow: 3750/1950" 3 ini_nums_are FORM7 "YOKO TATE" "3750 1950"
expect_eq "[FORM7] place stays 2250/1800" "2250 1800" "$(ini_num FORM7 POJIX) $(ini_num FORM7 POJIY)"
# The resize starts a refresh, and the shape follows the new size.
eventually "Form7 shape becomes 245x125+3+3" 4 shape_is "$NOTE" 245x125+3+3
check "resized shape: (w-3,h-3) is inside" shows_window_at $((150 + 247)) $((120 + 127))
check "resized shape: (w-2,h-3) is cut away" shows_root_at $((150 + 248)) $((120 + 127))
check "resized shape: (w-3,h-2) is cut away" shows_root_at $((150 + 247)) $((120 + 128))

# The bottom edge within 16 px of the corner resizes both ways too.
drag $((150 + 230)) $((120 + 127)) -30 -20
eventually "dragging the bottom edge near the corner makes the note 220x110" 3 geometry_is "$NOTE" "150 120 220 110"
eventually "[FORM7] YOKO/TATE follow: 3300/1650" 3 ini_nums_are FORM7 "YOKO TATE" "3300 1650"
eventually "Form7 shape becomes 215x105+3+3" 4 shape_is "$NOTE" 215x105+3+3

# Every note resizes from its own place, wherever it stands on the screen.
OTHER=$(window_of Form8)
require "Form8 is 160x80 at (500,400)" 5 geometry_is "$OTHER" "500 400 160 80"
drag $((500 + 156)) $((400 + 76)) 40 20
eventually "dragging Form8's bottom-right corner makes it 200x100" 3 geometry_is "$OTHER" "500 400 200 100"
eventually "[FORM8] YOKO/TATE follow: 3000/1500" 3 ini_nums_are FORM8 "YOKO TATE" "3000 1500"

finish
