#!/bin/bash
# SPDX-License-Identifier: MIT
# A note follows a left-button drag on its body, and its new place reaches the
# file; a right-button drag neither moves it nor writes.
. "$(dirname "$0")/lib.sh"

{
    launcher_section 0 0
    note_section 6 1 8454143 3000 2250 3000 1500 0 0 "six"
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

finish
