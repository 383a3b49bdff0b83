#!/bin/bash
# SPDX-License-Identifier: MIT
# One copy per user: a second start ends at once and leaves the file alone.
# Then the launcher's quit icon ends the running copy, also without a write.
. "$(dirname "$0")/lib.sh"

{
    launcher_section 100 100
    note_section 3 1 8454143 4500 3000 3000 1500 0 0 "first copy"
} > "$INI"

start_and_wait
require "the note Form3 appears" 10 has_window Form3
# Start-up rewrites the shown note's section before showing it; what counts
# is the file after that.
snapshot running

launcher_count() { viewable_windows | awk '$1 == "Form1"' | wc -l; }

second_start "a second copy"
check "the second copy left nopi.ini byte for byte" unchanged_since running
expect_eq "still exactly one launcher" 1 "$(launcher_count)"
check "the first copy still runs" nopi_running

# The quit icon shows while the pointer is over the launcher; its click ends
# the program with nothing written, everything being saved already.
geometry "$LAUNCHER"
xdotool mousemove $((GX + 40)) $((GY + 40)) sleep 0.1 mousemove $((GX + 30)) $((GY + 45))
click_at $((GX + 22)) $((GY + 56))
check "a click on the card beside the quit icon ends nothing" holds_for 1 nopi_running
xdotool mousemove $((GX + 40)) $((GY + 40)) sleep 0.1 mousemove $((GX + 30)) $((GY + 45))
click_at $((GX + 12)) $((GY + 56))
if wait_until 5 nopi_exited; then
    pass "the quit icon ends the program within 5 s"
    expect_eq "the program exits with 0" 0 "$NOPI_STATUS"
else
    fail "the quit icon ends the program within 5 s"
fi
check "quitting left nopi.ini byte for byte" unchanged_since running
expect_eq "no window of the program is left" "" "$(viewable_windows)"

finish
