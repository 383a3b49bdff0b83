#!/bin/bash
# SPDX-License-Identifier: MIT
# Under a window manager that places every new window itself, as weston's
# XWayland or a tiling desktop does, start-up leaves nopi.ini byte for byte:
# a note asks once more for its stored place, and a place the window manager
# chose is never written. A drag the user makes there is written as anywhere;
# one the window manager refuses is written nowhere.
. "$(dirname "$0")/lib.sh"

MOVING_WM=${NOPI_MOVING_WM:-}
[ -x "$MOVING_WM" ] || { echo "not ok - no test window manager (NOPI_MOVING_WM, built as nopi_moving_wm)"; exit 1; }

{
    launcher_section 600 600
    note_section 4 1 8454143 3000 1500 3000 1500 0 0 "four"
    note_section 9 1 12632319 7500 4500 2700 1800 1 1230 "nine"
} > "$INI"
snapshot fixture

start_display_with "$MOVING_WM"
start_nopi
require "the launcher Form1 appears" 15 has_window Form1
# It maps windows at (32,32), (183,134), (334,236)... The launcher, which
# does not ask again, shows that it does.
placed_by_the_window_manager() {
    geometry "$1" && case "$GX $GY" in "32 32" | "183 134" | "334 236") true ;; *) false ;; esac
}
check "the window manager put the launcher at a place of its own" \
    wait_until 5 placed_by_the_window_manager "$(window_of Form1)"
require "the notes Form4 and Form9 appear" 10 note_roles_are "Form4 Form9"
FORM4=$(window_of Form4)
FORM9=$(window_of Form9)

eventually "asked once more, Form4 goes back to its place (200,100)" 5 geometry_is "$FORM4" "200 100 200 100"
eventually "asked once more, Form9 goes back to its place (500,300)" 5 geometry_is "$FORM9" "500 300 180 120"
check "start-up leaves nopi.ini byte for byte" holds_for 3 cmp -s "$INI" "$WORK/fixture.ini"

drag 300 150 100 50
eventually "a drag moves Form4 to (300,150)" 3 geometry_is "$FORM4" "300 150 200 100"
eventually "the drag is written: [FORM4] POJIX/POJIY 4500/2250" 3 ini_nums_are FORM4 "POJIX POJIY" "4500 2250"
expect_eq "[FORM4] keeps its size and text" "3000 1500 four" "$(ini_num FORM4 YOKO) $(ini_num FORM4 TATE) $(ini_get FORM4 NAIYOU)"
expect_eq "[FORM9] is untouched" "$(section_values "$WORK/fixture.ini" FORM9)" "$(section_values "$INI" FORM9)"

# The same window manager, refusing every move: the notes stay where it put
# them, and the file keeps the places the user made, whatever the drag.
stop_display
snapshot refused
export MOVING_WM_REFUSES_MOVES=1
start_display_with "$MOVING_WM"
start_nopi
require "again, the notes Form4 and Form9 appear" 15 note_roles_are "Form4 Form9"
FORM4=$(window_of Form4)
require "Form4 stays where the window manager put it" 5 placed_by_the_window_manager "$FORM4"
geometry "$FORM4"
drag $((GX + 100)) $((GY + 50)) 150 80
check "the refused drag leaves Form4 where it was" holds_for 2 placed_by_the_window_manager "$FORM4"
check "the refused drag writes nothing" unchanged_since refused

finish
