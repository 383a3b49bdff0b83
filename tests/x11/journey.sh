#!/bin/bash
# SPDX-License-Identifier: MIT
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

# edit_screen_shows_clock: sets CLOCK to the program's own time of day,
# HH:MM:SS, from the edit screen's title, which shows it from its first second.
edit_screen_shows_clock() {
    CLOCK=$(xprop -id "$EDIT" _NET_WM_NAME 2> /dev/null | sed -n 's/.*< \([0-9][0-9]:[0-9][0-9]:[0-9][0-9]\) >.*/\1/p')
    [ -n "$CLOCK" ]
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
# The fake clock starts at 09:29:38 and runs on in real time.
start_and_wait LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@$TODAY 09:29:38"
check "a first start writes no file" test ! -e "$INI"

open_edit_screen 96 45 "first note"
xdotool type --delay 30 "first note"
click_at $((CX + 255)) $((CY + 76))
choose_font IPAPMincho 14
# ALARM ON, then the hour and the minute: the next minute on the program's
# clock, or the one after when too few seconds are left to finish typing.
click_at $((CX + 89)) $((CY + 30))
require "the edit screen shows the program's clock" 3 edit_screen_shows_clock
ALARM_AT=$(date -d "$TODAY $CLOCK 1 minute" +%H%M)
[ $((10#${CLOCK:6:2})) -le 45 ] || ALARM_AT=$(date -d "$TODAY $CLOCK 2 minutes" +%H%M)
echo "# the program's clock reads $CLOCK: the alarm is set for $ALARM_AT"
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
check "the sound server's sink is held" hold_sound
eventually "the alarm goes off: [FORM3] ALARM 2" 3 ini_num_is FORM3 ALARM 2
eventually "the ringing note is kept above" 3 has_state "$NOTE" _NET_WM_STATE_ABOVE
check "its text blinks" blinks "$NOTE" "$QUIET_PICTURE"
# By now the sound would have ended by itself (BEEP lasts 1.3 s).
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

# ---- Changes -----------------------------------------------------------------------------
geometry "$NOTE"
FROM="$GX $GY"
drag $((GX + GW / 2)) $((GY + GH / 2)) -240 -250
MOVED="$((GX - 240)) $((GY - 250))"
eventually "a drag moves the note from ($FROM) to ($MOVED)" 3 place_is "$NOTE" "$MOVED"
eventually "[FORM3] POJIX/POJIY follow" 3 note_file_matches_window FORM3 "$NOTE"
geometry "$NOTE"
drag $((GX + GW - 4)) $((GY + GH - 4)) 80 50
RESIZED="$GX $GY $((GW + 80)) $((GH + 50))"
eventually "a drag on its bottom-right corner resizes it to $RESIZED" 3 geometry_is "$NOTE" "$RESIZED"
eventually "[FORM3] YOKO/TATE follow" 3 note_file_matches_window FORM3 "$NOTE"

# Its edit screen: more text, and the alarm moved to 12:34 on the 15th of
# next month.
double_click_at $((GX + 60)) $((GY + 40))
require "a double-click on the note opens its edit screen" 5 has_window Form2
EDIT=$(window_of Form2)
require "its edit screen has the keyboard focus" 5 active_is "$EDIT"
edit_client "$EDIT"
xdotool key ctrl+End
xdotool type --delay 30 " changed"
click_at $((CX + 126)) $((CY + 30))
xdotool key ctrl+a
xdotool type --delay 30 12
xdotool key Tab
xdotool type --delay 30 34
# Tab reaches Date; Space ticks it and shows the month and the day.
xdotool key Tab space Tab
xdotool type --delay 30 $OTHER_MONTH
xdotool key Tab
xdotool type --delay 30 15
click_at $((CX + 254)) $((CY + 124))
eventually "ＯＫ closes the edit screen" 5 lacks_window Form2
DATED=$((OTHER_MONTH * 1000000 + 15 * 10000 + 1234))
eventually "[FORM3] holds the dated alarm $DATED" 3 ini_nums_are FORM3 "ALARM A_TIME" "1 $DATED"
expect_eq "[FORM3] holds the longer text" "first note changed" "$(ini_get FORM3 NAIYOU)"
expect_eq "[FORM3] keeps its colour and font" "$PINK IPAPMincho 14 True" \
    "$(ini_num FORM3 B_Color) $(ini_get FORM3 FName) $(ini_num FORM3 FSize) $(ini_get FORM3 FBold)"
# The note comes back in a new window laid out for its new text, at the
# place it had.
require "the edited note Form3 is shown" 5 has_window Form3
NOTE=$(window_of Form3)
eventually "the note keeps its place" 3 place_is "$NOTE" "${RESIZED% * *}"
eventually "[FORM3] holds the new layout's place and size" 3 note_file_matches_window FORM3 "$NOTE"

# Its close mark covers window pixels x w-19..w-8, y 8..19.
geometry "$NOTE"
click_at $((GX + GW - 13)) $((GY + 13))
eventually "the close mark closes the note" 3 lacks_window Form3
eventually "[FORM3] becomes SIYOU 0" 3 ini_num_is FORM3 SIYOU 0
expect_eq "[FORM3] keeps all its keys" "$ALL_KEYS" "$(ini_keys FORM3)"
expect_eq "[FORM3] keeps its dated alarm" "1 $DATED" "$(ini_num FORM3 ALARM) $(ini_num FORM3 A_TIME)"

# ---- Full house ---------------------------------------------------------------------------
# Fifteen notes the quick way: the new-note button, the text, Tab, Enter. The
# first gets a font and a colour and goes off the pile in the middle; the
# second an alarm; every fourth after them a colour.
for i in $(seq 15); do
    open_edit_screen 96 45 "note $i"
    xdotool type --delay 20 "note $i"
    if [ "$i" = 1 ]; then
        choose_font IPAGothic 12
        click_at $((CX + 255)) $((CY + 76))
        click_at $((CX + 255)) $((CY + 76))
        click_at $((CX + 254)) $((CY + 124))
    elif [ "$i" = 2 ]; then
        click_at $((CX + 89)) $((CY + 30))
        xdotool key Tab
        xdotool type --delay 20 23
        xdotool key Tab
        xdotool type --delay 20 45
        click_at $((CX + 254)) $((CY + 124))
    elif [ $((i % 4)) = 3 ]; then
        click_at $((CX + 255)) $((CY + 76))
        click_at $((CX + 254)) $((CY + 124))
    else
        xdotool key Tab Return
    fi
    require "note $i: the edit screen closes" 5 lacks_window Form2
    require "note $i: the note Form$((i + 2)) appears" 5 has_window Form$((i + 2))
    eventually "note $i: [FORM$((i + 2))] holds its window's place and size" 3 note_file_matches_window FORM$((i + 2)) "$(window_of Form$((i + 2)))"
    if [ "$i" = 1 ]; then
        FIRST=$(window_of Form3)
        geometry "$FIRST"
        drag $((GX + GW / 2)) $((GY + GH / 2)) 400 -320
        eventually "Form3 is dragged off the pile" 3 place_is "$FIRST" "$((GX + 400)) $((GY - 320))"
    fi
done
expect_eq "fifteen notes are shown" "Form3 Form4 Form5 Form6 Form7 Form8 Form9 Form10 Form11 Form12 Form13 Form14 Form15 Form16 Form17" "$(note_roles)"
expect_eq "[FORM3] holds green and IPAGothic 12 bold" "$GREEN IPAGothic 12 True" \
    "$(ini_num FORM3 B_Color) $(ini_get FORM3 FName) $(ini_num FORM3 FSize) $(ini_get FORM3 FBold)"
expect_eq "[FORM4] holds the alarm 23:45" "1 2345" "$(ini_num FORM4 ALARM) $(ini_num FORM4 A_TIME)"
expect_eq "[FORM17] holds its text" "note 15" "$(ini_get FORM17 NAIYOU)"
eventually "the launcher narrows to 85 pixels" 3 size_is "$LAUNCHER" "85 70"
eventually "its new-note button is gone from its shape" 3 shows_root_at 96 45
check "the card still shows" shows_window_at 40 40

# The last note lies on top of the pile; its close mark frees a slot.
LAST=$(window_of Form17)
geometry "$LAST"
click_at $((GX + GW - 13)) $((GY + 13))
eventually "closing Form17 removes it" 3 lacks_window Form17
eventually "[FORM17] becomes SIYOU 0" 3 ini_num_is FORM17 SIYOU 0
eventually "the launcher widens again to 114 pixels" 3 size_is "$LAUNCHER" "114 70"
eventually "its new-note button is back" 3 shows_window_at 96 45

# The launcher is dragged by its card; the button, which works again, saves
# its place on the way to the edit screen, which is cancelled.
drag 40 40 0 560
eventually "the launcher is dragged to (0,560)" 3 place_is "$LAUNCHER" "0 560"
open_edit_screen 96 605 "the button back"
xdotool key Escape
eventually "Esc cancels it" 5 lacks_window Form2
eventually "[FORM1] holds the launcher's place" 3 ini_nums_are FORM1 "POJIX POJIY" "0 8400"

# ---- Restart -------------------------------------------------------------------------------
# window_layout: "ROLE X Y W H" of every shown window, sorted.
window_layout() {
    local role id
    viewable_windows | sort | while read -r role id; do
        geometry "$id" && echo "$role $GX $GY $GW $GH"
    done
}
layout_as_before() { [ "$(window_layout)" = "$LAYOUT" ]; }
first_note_as_before() { [ "$(settled_picture "$(window_of Form3)")" = "$FIRST_PICTURE" ]; }

xdotool mousemove $AWAY
LAYOUT=$(window_layout)
expect_eq "the layout lists the launcher and fourteen notes" 15 "$(wc -l <<< "$LAYOUT")"
FIRST_PICTURE=$(settled_picture "$FIRST")
check "Form3, alone off the pile, shows one picture" test -n "$FIRST_PICTURE"
snapshot before_quit

# The quit icon shows while the pointer is over the launcher.
xdotool mousemove 40 600 sleep 0.1 mousemove 30 605
click_at 12 616
if wait_until 5 nopi_exited; then
    pass "the quit icon ends the program within 5 s"
    expect_eq "the program exits with 0" 0 "$NOPI_STATUS"
else
    fail "the quit icon ends the program within 5 s"
fi
check "quitting leaves nopi.ini as it was" unchanged_since before_quit

start_nopi LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@$TODAY 09:40:00"
require "after the restart the launcher appears" 15 has_window Form1
require "the fourteen notes come back" 10 note_roles_are "Form3 Form4 Form5 Form6 Form7 Form8 Form9 Form10 Form11 Form12 Form13 Form14 Form15 Form16"
eventually "every window has its place and size again" 5 layout_as_before
check "every text, colour, font and alarm in nopi.ini is as it was" holds_for 2 same_values_as before_quit
xdotool mousemove $AWAY
eventually "Form3 looks as it did: text, colour and font" 10 first_note_as_before

# The session's end, as a desktop tells it at logout.
kill -TERM "$NOPI_PID"
if wait_until 5 nopi_exited; then
    pass "SIGTERM ends the program within 5 s"
    expect_eq "the program exits with 0" 0 "$NOPI_STATUS"
else
    fail "SIGTERM ends the program within 5 s"
fi
check "ending the session writes nothing" same_values_as before_quit

finish
