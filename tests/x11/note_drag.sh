#!/bin/bash
# SPDX-License-Identifier: MIT
# A note follows a left-button drag on its body, and its new place reaches the
# file; a right-button drag neither moves it nor writes. A move the window
# manager makes with its keys, as a person presses them, is stored too, and
# the note comes back there after a restart.
. "$(dirname "$0")/lib.sh"

{
    launcher_section 0 0
    note_section 6 1 8454143 3000 2250 3000 1500 0 0 "six"
    note_section 7 1 8454143 9000 6000 3000 1500 0 0 "seven"
} > "$INI"

start_and_wait
require "the note Form6 appears" 10 has_window Form6
NOTE=$(window_of Form6)
require "Form6 is 200x100 at (200,150)" 5 geometry_is "$NOTE" "200 150 200 100"

drag 300 200 120 80
eventually "a left drag from the middle moves the note to (320,230)" 3 geometry_is "$NOTE" "320 230 200 100"
eventually "[FORM6] POJIX/POJIY follow: 4800/3450" 3 ini_nums_are FORM6 "POJIX POJIY" "4800 3450"
expect_eq "[FORM6] size stays 3000x1500" 3000x1500 "$(ini_num FORM6 YOKO)x$(ini_num FORM6 TATE)"
expect_eq "[FORM6] stays in use" 1 "$(ini_num FORM6 SIYOU)"
expect_eq "[FORM6] text stays" six "$(ini_get FORM6 NAIYOU)"

snapshot moved
drag 420 280 100 60 3
check "a right drag leaves the note at (320,230)" holds_for 2 geometry_is "$NOTE" "320 230 200 100"
check "a right drag writes nothing" unchanged_since moved

# The text is part of the body: a drag that starts on it moves the note too.
drag 330 240 -90 -40
eventually "a left drag from the text moves the note to (230,190)" 3 geometry_is "$NOTE" "230 190 200 100"
eventually "[FORM6] POJIX/POJIY follow: 3450/2850" 3 ini_nums_are FORM6 "POJIX POJIY" "3450 2850"

# openbox's own move of a note not moved before: Alt+Space, Move, the arrow
# keys 0.2 s apart (8 pixels each), Enter. It tells the note its new place
# only when the move ends.
SEVEN=$(window_of Form7)
require "Form7 is at (600,400)" 5 place_is "$SEVEN" "600 400"
# Once the launcher has taken the focus back after the drags, nothing takes
# it from the note while the window manager's menu is open.
eventually "the launcher takes the focus back after the drags" 10 active_is "$LAUNCHER"
timeout 5 xdotool windowactivate --sync "$SEVEN" 2> /dev/null
require "Form7 is the active window" 5 active_is "$SEVEN"
desktop=$(viewable_top_level)
menu_shown() { [ "$(viewable_top_level)" != "$desktop" ]; }
menu_gone() { [ "$(viewable_top_level)" = "$desktop" ]; }
xdotool key alt+space
require "Alt+Space opens the window manager's menu" 5 menu_shown
xdotool key m
require "its Move closes the menu" 5 menu_gone
for key in Right Right Right Down Down; do
    xdotool key "$key"
    sleep 0.2
done
xdotool key Return
eventually "the keyboard move takes the note to (624,416)" 3 place_is "$SEVEN" "624 416"
eventually "[FORM7] POJIX/POJIY follow: 9360/6240" 3 ini_nums_are FORM7 "POJIX POJIY" "9360 6240"
stop_pid "$NOPI_PID"
NOPI_PID=""
start_nopi
require "after a restart the note comes up" 15 has_window Form7
eventually "where the keyboard move left it, (624,416)" 5 place_is "$(window_of Form7)" "624 416"

finish
