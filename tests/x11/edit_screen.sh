#!/bin/bash
# SPDX-License-Identifier: MIT
# The edit screen draws its own title: openbox adds no frame and no buttons.
# Its caption strip drags it; minimised, it comes back through the new-note
# button or a note's double-click; a window manager's close is Cancel.
. "$(dirname "$0")/lib.sh"

frame_extents() { xprop -id "$1" _NET_FRAME_EXTENTS 2> /dev/null | sed -n 's/^_NET_FRAME_EXTENTS(CARDINAL) = //p'; }
# The window manager's parent of a window, which is its frame when it draws one.
parent_of() { xwininfo -tree -id "$1" 2> /dev/null | awk '/Parent window id:/ { print $4; exit }'; }
viewable() { xwininfo -id "$1" 2> /dev/null | grep -q 'Map State: IsViewable'; }
hidden() { ! viewable "$1"; }
lacks_window_id() { ! xwininfo -id "$1" > /dev/null 2>&1 || hidden "$1"; }

{
    launcher_section 0 0
    note_section 8 1 16777088 4500 3000 3000 1500 0 0 "eight"
} > "$INI"

start_and_wait
require "the note Form8 appears" 10 has_window Form8

click_at 96 45
require "the new-note button opens the edit screen Form2" 5 has_window Form2
EDIT=$(window_of Form2)
require "the edit screen has the keyboard focus" 5 active_is "$EDIT"
# The button saved the launcher's place on the way; nothing is written after.
snapshot before

# 346x186 on a 1024x768 screen, centred by its outer edge.
eventually "the edit screen is 346x186, centred at (339,291)" 3 geometry_is "$EDIT" "339 291 346 186"
expect_eq "openbox gives it no frame" "0, 0, 0, 0" "$(frame_extents "$EDIT")"
# _MOTIF_WM_HINTS: flags, functions, decorations, ...; flag 2 says the
# decorations field counts, and it is 0.
motif_decorations() {
    local hints flags functions decorations rest
    hints=$(xprop -id "$1" _MOTIF_WM_HINTS 2> /dev/null | sed -n 's/^_MOTIF_WM_HINTS([^)]*) = //p' | tr -d ' ')
    IFS=, read -r flags functions decorations rest <<< "$hints"
    [ -n "$hints" ] && (( flags & 2 )) && echo "decorations $((decorations))"
}
expect_eq "it asks for no decoration (_MOTIF_WM_HINTS)" "decorations 0" "$(motif_decorations "$EDIT")"
PARENT=$(parent_of "$EDIT")
geometry "$EDIT"
WINDOW_GEOMETRY="$GX $GY $GW $GH"
check "the window manager's parent is no larger than the window: no title bar, no buttons" \
    geometry_is "$PARENT" "$WINDOW_GEOMETRY"

drag $((339 + 150)) $((291 + 12)) 80 60
eventually "dragging the caption strip moves it to (419,351)" 3 place_is "$EDIT" "419 351"
check "the drag writes nothing" unchanged_since before

xdotool windowminimize "$EDIT"
require "windowminimize hides it" 5 hidden "$EDIT"
click_at 96 45
eventually "the new-note button shows it again" 5 viewable "$EDIT"
eventually "and makes it the active window" 5 active_is "$EDIT"
expect_eq "it is the same edit screen, not a new one" "$EDIT" "$(window_of Form2)"

xdotool windowminimize "$EDIT"
require "minimised again" 5 hidden "$EDIT"
double_click_at 400 250
eventually "a double-click on a note shows it again" 5 viewable "$EDIT"
eventually "and makes it the active window again" 5 active_is "$EDIT"

# The font dialog is modal over the screen only: minimised with it, both come
# back through the new-note button, which a modal over the whole program
# would have left deaf.
edit_client "$EDIT"
click_at $((CX + 308)) $((CY + 76))
require "Font opens the font dialog" 5 window_titled "フォントの変更（１枚毎に設定可能）"
FONT_DIALOG=$(window_titled "フォントの変更（１枚毎に設定可能）")
xdotool windowminimize "$FONT_DIALOG"
require "windowminimize hides the font dialog" 5 hidden "$FONT_DIALOG"
click_at 96 45
eventually "the new-note button shows the edit screen again" 5 viewable "$EDIT"
eventually "and its font dialog" 5 viewable "$FONT_DIALOG"
eventually "which has the keyboard focus" 5 active_is "$FONT_DIALOG"
# openbox animates the restore and takes no clicks meanwhile.
check "and stays shown" holds_for 1 viewable "$FONT_DIALOG"
# Its キャンセル button sits in the bottom right corner.
geometry "$FONT_DIALOG"
click_at $((GX + GW - 50)) $((GY + GH - 22))
eventually "キャンセル closes the font dialog" 5 lacks_window_id "$FONT_DIALOG"
require "the edit screen is active again" 5 active_is "$EDIT"

xdotool type --delay 30 "typed"
require "it is active before the close request" 5 active_is "$EDIT"
xdotool key alt+F4
eventually "Alt+F4 closes it" 5 lacks_window Form2
check "as Cancel: nothing is written" holds_for 1 unchanged_since before
check "the note is still shown" has_window Form8
click_at 96 45
eventually "the new-note button opens an edit screen again afterwards" 5 has_window Form2

finish
