#!/bin/bash
# SPDX-License-Identifier: MIT
# Start-up where things are not as they should be: no X display at all, a
# session that asks for native Wayland, a settings path that holds a FIFO or
# an over-sized file, and a save that fails while running. Nopi says why in
# one line or one message box and never hangs, aborts or loses a note's place.
. "$(dirname "$0")/lib.sh"

# The message boxes Nopi shows of a trouble with its file; titled "Nopi".
at_most_one_problem_box() { [ "$(problem_box_ids | wc -l)" -le 1 ]; }
is_fifo() { [ -p "$INI" ]; }

# run_without_display NAME VAR=VALUE...: the program in an environment with no
# display it can use; its status goes to RUN_STATUS.
run_without_display() {
    local name=$1
    shift
    (nopi_env env "$@" "$NOPI") > "$WORK/$name.out" 2>&1
    RUN_STATUS=$?
}

stop_copy() {
    stop_pid "$NOPI_PID"
    NOPI_PID=""
    wait_until 5 lacks_window Form1
}

# ---- No X display ---------------------------------------------------------------
run_without_display no-display -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=
expect_eq "without DISPLAY the program exits with 1" 1 "$RUN_STATUS"
check "without DISPLAY it says it needs X11 or XWayland" grep -q 'needs X11 or XWayland' "$WORK/no-display.out"
expect_eq "it says so in one line" 1 "$(wc -l < "$WORK/no-display.out")"
run_without_display dead-display -u WAYLAND_DISPLAY DISPLAY=:999
expect_eq "with DISPLAY=:999 (no server) the program exits with 1" 1 "$RUN_STATUS"
check "with DISPLAY=:999 it says it needs X11 or XWayland" grep -q 'needs X11 or XWayland' "$WORK/dead-display.out"
run_without_display wayland-only -u DISPLAY WAYLAND_DISPLAY=nopi-test-wayland QT_QPA_PLATFORM=wayland
expect_eq "native Wayland alone is refused with 1" 1 "$RUN_STATUS"
check "nothing was written without a display" test ! -e "$INI"

start_display

# ---- QT_QPA_PLATFORM=wayland with a display ---------------------------------------
{
    launcher_section 700 600
    note_section 3 1 8454143 4500 3000 3000 1500 0 0 "three"
    note_section 4 1 12632319 9000 6000 2700 1800 0 0 "four"
} > "$INI"
start_nopi QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=nopi-test-wayland
require "asked for wayland, the launcher comes up on the X display" 15 has_window Form1
require "the notes come up on the X display" 10 note_roles_are "Form3 Form4"
eventually "Form3 is where the file puts it" 5 place_is "$(window_of Form3)" "300 200"
eventually "Form4 is where the file puts it" 5 place_is "$(window_of Form4)" "600 400"
check "the notes' places stay in the file for 6 s" holds_for 6 \
    ini_nums_are FORM3 "POJIX POJIY" "4500 3000"
check "Form4's place stays in the file" ini_nums_are FORM4 "POJIX POJIY" "9000 6000"
stop_copy

# ---- A FIFO at the settings path ----------------------------------------------------
rm -f "$INI"
mkfifo "$INI"
STARTED=$(now_ms)
start_nopi
eventually "with a FIFO as nopi.ini the launcher comes up within 2 s" 2 has_window Form1
echo "# launcher after $(($(now_ms) - STARTED)) ms"
check "no note is shown" holds_for 1 note_roles_are ""
eventually "a message box tells of the unreadable file" 3 has_problem_box
check "the FIFO is still a FIFO" is_fifo
stop_copy

# ---- A file over the size limit ------------------------------------------------------
rm -f "$INI"
note_section 3 1 8454143 4500 3000 3000 1500 0 0 "in a huge file" > "$INI"
truncate -s 17M "$INI"
snapshot huge
start_nopi
require "with an over-sized nopi.ini the launcher comes up" 15 has_window Form1
check "no note is shown" holds_for 1 note_roles_are ""
eventually "a message box tells of the over-sized file" 3 has_problem_box
check "the over-sized file is left as it was" unchanged_since huge
stop_copy

# ---- A save that fails while running ---------------------------------------------------
rm -f "$INI"
{
    launcher_section 700 600
    note_section 3 1 8454143 600 600 3000 1500 0 0 "moved"
} > "$INI"
start_nopi
require "the note comes up" 15 has_window Form3
FORM3=$(window_of Form3)
eventually "Form3 is at (40,40)" 5 place_is "$FORM3" "40 40"
mv "$INI" "$WORK/aside.ini"
mkdir "$INI"
drag 90 80 60 40
eventually "a failed save shows a message box" 5 has_problem_box
BOX=$(window_of NopiProblem)
[ -n "$BOX" ] && xdotool windowmove "$BOX" 500 450
drag 150 120 40 20
check "a second failure shows no second box" holds_for 2 at_most_one_problem_box
check "the note is still shown" has_window Form3
# The box waits for nobody: with the file back, the note's next move is saved.
rmdir "$INI"
mv "$WORK/aside.ini" "$INI"
geometry "$FORM3"
drag $((GX + 50)) $((GY + 40)) 30 30
geometry "$FORM3"
eventually "behind the box the note's place is saved again" 5 \
    ini_nums_are FORM3 "POJIX POJIY" "$((GX * 15)) $((GY * 15))"

finish
