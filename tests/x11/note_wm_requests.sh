#!/bin/bash
# SPDX-License-Identifier: MIT
# A note under openbox: the window manager's close request (Alt+F4) leaves it
# on the screen with its alarm working; a move by the window manager's mouse
# binding (Alt+drag) or by its menu and keys is written as the user's; Enter
# opens its edit screen; the close mark's tool tip shows over a note that is
# not the active window; the window carries no caption and not the program's
# icon.
. "$(dirname "$0")/lib.sh"

FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2> /dev/null | head -n 1)
[ -n "$FAKETIME_LIB" ] || { echo "not ok - libfaketime is missing (scripts/setup test installs faketime)"; exit 1; }

TODAY=$(date +%F)
{
    launcher_section 0 0
    note_section 3 1 8454143 3000 1500 3000 1500 0 0 "three"
    note_section 5 1 12632319 7500 4500 3000 1500 1 930 "five"
} > "$INI"

# The clock starts at 09:29:35 and runs on in real time from there.
start_and_wait LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@$TODAY 09:29:35"
require "the notes Form3 and Form5 appear" 10 note_roles_are "Form3 Form5"
FORM3=$(window_of Form3)
FORM5=$(window_of Form5)
require "Form5 is 200x100 at (500,300)" 5 geometry_is "$FORM5" "500 300 200 100"

# The look: no caption, and not the icon the program gives its other windows
# (openbox puts its own default icon on a window that has none).
expect_eq "Form5 has an empty caption" '_NET_WM_NAME(UTF8_STRING) = ' "$(xprop -id "$FORM5" _NET_WM_NAME)"
check "Form5 does not carry the program's icon" \
    test "$(xprop -id "$FORM5" _NET_WM_ICON 2> /dev/null | md5sum)" != "$(xprop -id "$LAUNCHER" _NET_WM_ICON | md5sum)"

# Alt+F4 on the focused note is ignored.
click_at 600 350
require "a click makes Form5 the active window" 3 test "$(xdotool getactivewindow)" = "$FORM5"
xdotool key alt+F4
check "Alt+F4 leaves Form5 on the screen" holds_for 2 has_window Form5
check "the program keeps running" nopi_running
expect_eq "[FORM5] stays in use, its alarm armed" "1 1" "$(ini_num FORM5 SIYOU) $(ini_num FORM5 ALARM)"
# Moves through the window manager are the user's too: its window menu's
# Move with the arrow keys (8 px a key), then its Alt+drag. (After a note
# moves, the launcher takes the focus back within 4 s: the keys come first.)
click_at 300 150
require "a click makes Form3 the active window" 3 test "$(xdotool getactivewindow)" = "$FORM3"
xdotool key alt+space sleep 0.5 key m sleep 0.3 key Right Right Right Right Down Down sleep 0.3 key Return
eventually "openbox's Move by keys takes Form3 to (232,116)" 3 geometry_is "$FORM3" "232 116 200 100"
eventually "and is written: [FORM3] POJIX/POJIY 3480/1740" 3 ini_nums_are FORM3 "POJIX POJIY" "3480 1740"
xdotool keydown alt
drag 300 150 60 40
xdotool keyup alt
eventually "an Alt+drag by openbox moves Form3 to (292,156)" 3 geometry_is "$FORM3" "292 156 200 100"
eventually "and is written: [FORM3] POJIX/POJIY 4380/2340" 3 ini_nums_are FORM3 "POJIX POJIY" "4380 2340"

eventually "at 09:30:00 Form5's alarm goes off all the same: [FORM5] ALARM 2" 40 ini_num_is FORM5 ALARM 2
eventually "the ringing Form5 is kept above" 3 has_state "$FORM5" _NET_WM_STATE_ABOVE

# Enter on the focused note stops its ringing alarm, as a double-click does.
click_at 600 350
require "a click makes Form5 the active window again" 3 test "$(xdotool getactivewindow)" = "$FORM5"
xdotool key Return
eventually "Enter stops the alarm: [FORM5] ALARM 1" 3 ini_num_is FORM5 ALARM 1
xdotool key Return
eventually "Enter once more opens the edit screen" 5 has_window Form2

# With the edit screen active, the pointer rests on Form3's close mark.
check "Form3 is not the active window" test "$(xdotool getactivewindow)" != "$FORM3"
geometry "$FORM3"
xdotool mousemove $((GX + GW - 30)) $((GY + 30)) sleep 0.2 mousemove $((GX + GW - 14)) $((GY + 14)) \
    sleep 0.1 mousemove $((GX + GW - 13)) $((GY + 13))
eventually "the close mark's tool tip shows over the inactive Form3" 5 tooltip_shown
check "Form3 stays on the screen" has_window Form3

finish
