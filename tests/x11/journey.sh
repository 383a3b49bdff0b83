#!/bin/bash
# One copy of the program from a first start to its quit, as a user meets it:
# a first note with text, colour, font and an alarm that rings through a real
# sound server until a double-click; the note moved, resized, given a dated
# alarm and closed; all fifteen notes; then a restart that brings back every
# place, size, text, colour, font and alarm.
. "$(dirname "$0")/lib.sh"

FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2> /dev/null | head -n 1)
[ -n "$FAKETIME_LIB" ] || { echo "not ok - libfaketime is missing (scripts/setup test installs faketime)"; exit 1; }

start_sound_server

TODAY=$(date +%F)
MONTH=$((10#$(date -d "$TODAY" +%m)))
OTHER_MONTH=$((MONTH % 12 + 1))
PINK=12632319
GREEN=12648384
# Somewhere no note and no launcher ever is.
AWAY="1010 750"

# program_clock: the program's own time of day, HH:MM:SS, from the edit
# screen's title, which shows it.
program_clock() {
    xprop -id "$1" _NET_WM_NAME 2> /dev/null | sed -n 's/.*< \([0-9][0-9]:[0-9][0-9]:[0-9][0-9]\) >.*/\1/p'
}

# open_edit_screen X Y: clicks the launcher's new-note button at X Y and waits
# for the edit screen to take the keys; EDIT, CX and CY describe it.
open_edit_screen() {
    click_at "$1" "$2"
    require "the new-note button opens the edit screen ($3)" 5 has_window Form2
    EDIT=$(window_of Form2)
    require "the edit screen has the keyboard focus ($3)" 5 active_is "$EDIT"
    edit_client "$EDIT"
}

FONT_DIALOG_TITLE="フォントの変更（１枚毎に設定可能）"
has_font_dialog() { window_titled "$FONT_DIALOG_TITLE" > /dev/null; }

# choose_font FAMILY SIZE: through the edit screen's Font button and the
# font dialog's keys: the family typed into its list, the size typed, bold
# ticked, Enter.
choose_font() {
    click_at $((CX + 308)) $((CY + 76))
    require "Font opens the font dialog" 5 has_font_dialog
    local dialog
    dialog=$(window_titled "$FONT_DIALOG_TITLE")
    require "the font dialog has the keyboard focus" 5 active_is "$dialog"
    xdotool type --delay 40 "$1"
    xdotool key Tab
    xdotool type --delay 40 "$2"
    xdotool key Tab space Return
    require "Enter closes the font dialog" 5 active_is "$EDIT"
}

# ---- The first note -----------------------------------------------------------------
# The fake clock starts at 09:29:36 and runs on in real time.
start_and_wait LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@$TODAY 09:29:36"
check "a first start writes no file" test ! -e "$INI"

open_edit_screen 96 45 "first note"
xdotool type --delay 30 "first note"
click_at $((CX + 255)) $((CY + 76))
choose_font IPAPMincho 14
# ALARM ON, then the hour and the minute: the next minute on the program's
# clock, or the one after when too few seconds are left to finish typing.
click_at $((CX + 89)) $((CY + 30))
CLOCK=$(program_clock "$EDIT")
require "the edit screen shows the program's clock" 1 test -n "$CLOCK"
ALARM_AT=$(date -d "$TODAY $CLOCK 1 minute" +%H%M)
[ $((10#${CLOCK:6:2})) -le 50 ] || ALARM_AT=$(date -d "$TODAY $CLOCK 2 minutes" +%H%M)
xdotool key Tab
xdotool type --delay 30 "${ALARM_AT:0:2}"
xdotool key Tab
xdotool type --delay 30 "${ALARM_AT:2:2}"
click_at $((CX + 254)) $((CY + 124))
eventually "ＯＫ closes the edit screen" 5 lacks_window Form2
require "the note Form3 appears" 5 has_window Form3
NOTE=$(window_of Form3)
xdotool mousemove $AWAY
expect_eq "[FORM3] holds the text" "first note" "$(ini_get FORM3 NAIYOU)"
expect_eq "[FORM3] holds the colour, pink" $PINK "$(ini_num FORM3 B_Color)"
expect_eq "[FORM3] holds the font IPAPMincho 14 bold" "IPAPMincho 14 True False" \
    "$(ini_get FORM3 FName) $(ini_num FORM3 FSize) $(ini_get FORM3 FBold) $(ini_get FORM3 FItalic)"
expect_eq "[FORM3] holds the time-only alarm at $ALARM_AT" "1 $((10#$ALARM_AT))" "$(ini_num FORM3 ALARM) $(ini_num FORM3 A_TIME)"
check "before the alarm the note is not kept above" lacks_state "$NOTE" _NET_WM_STATE_ABOVE
# Once the shape that follows the edit screen's close is cut, this is how
# the note looks with its text shown.
QUIET_PICTURE=$(settled_picture "$NOTE")
check "the quiet note shows one picture" test -n "$QUIET_PICTURE"
check "before the alarm no sound plays" program_silent

# ---- The alarm ------------------------------------------------------------------------
# The sound is short; as soon as its stream shows, the sink is held so that
# only the program can end it.
require "at $ALARM_AT the program's sound stream appears on the sound server" 75 program_sounds
hold_sound
eventually "the alarm goes off: [FORM3] ALARM 2" 3 ini_num_is FORM3 ALARM 2
eventually "the ringing note is kept above" 3 has_state "$NOTE" _NET_WM_STATE_ABOVE
check "its text blinks" blinks "$NOTE" "$QUIET_PICTURE"
check "the stream plays on while the sink is held" holds_for 1 program_sounds

geometry "$NOTE"
double_click_at $((GX + GW / 2)) $((GY + GH / 2))
xdotool mousemove $AWAY
eventually "the double-click stops the sound: the stream is gone" 3 program_silent
eventually "the double-click acknowledges: [FORM3] ALARM 1" 3 ini_num_is FORM3 ALARM 1
eventually "the note is no longer kept above" 3 lacks_state "$NOTE" _NET_WM_STATE_ABOVE
eventually "its text shows steadily again" 3 shows_steadily "$NOTE" "$QUIET_PICTURE"
check "the double-click opens no edit screen" lacks_window Form2
release_sound

finish
