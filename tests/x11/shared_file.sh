#!/bin/bash
# SPDX-License-Identifier: MIT
# Two machines, one set of notes: two copies of the program on two displays,
# each with its own home, runtime folder and lock, share one nopi.ini. Mode
# "link": each copy's nopi.ini is a symlink to one common file. Mode "synced":
# each copy has a file of its own, and a sync engine copies each over the
# other (a temporary file renamed into place) 300 ms after it changes.
# What the user does on one screen shows on the other, and neither copy
# writes back what it only read.
#
# Usage: shared_file.sh path/to/nopi link|synced
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/lib_machines.sh"

MODE=${2:-link}
case $MODE in
    link | synced) ;;
    *) echo "not ok - unknown mode '$MODE' (link or synced)"; exit 1 ;;
esac
PIXELS=${NOPI_SCREEN_PIXELS:-}
SYNC_ENGINE=${NOPI_SYNC_ENGINE:-}
[ -x "$PIXELS" ] || { echo "not ok - NOPI_SCREEN_PIXELS names no program (the build makes nopi_screen_pixels)"; exit 1; }
[ "$MODE" = link ] || [ -x "$SYNC_ENGINE" ] || { echo "not ok - NOPI_SYNC_ENGINE names no program (the build makes nopi_sync_engine)"; exit 1; }
FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2> /dev/null | head -n 1)
[ -n "$FAKETIME_LIB" ] || { echo "not ok - libfaketime is missing (scripts/setup test installs faketime)"; exit 1; }

# ---- Two displays --------------------------------------------------------------

SYNC_PID=""
make_machines 2
# On the way out the sync engine stops first. A failed run shows each synced
# copy's own file, or the one common file.
MACHINES_STOP=(SYNC_PID)
[ "$MODE" = synced ] && MACHINE_FILES=each || MACHINE_FILES=common

# ---- What each screen shows ------------------------------------------------------

# client_pixels ID: "colour others digest" of the note's client area (inside
# its 4-pixel frame) as the screen shows it; the most common colour is the
# note's own.
client_pixels() {
    geometry "$1" || return 1
    "$PIXELS" $((GX + 4)) $((GY + 4)) $((GW - 8)) $((GH - 8))
}

# text_phases ROLE SECONDS: samples, for that long, the note's client area
# left of its close mark, and prints whether its text was seen "shown" (some
# pixels unlike the note's colour), "hidden" (none), or both. The window is
# looked up once: a blink lasts one tick, and every sample must be quick to
# see it.
text_phases() {
    local id deadline others shown="" hidden=""
    id=$(window_of "$1") && geometry "$id" || return 1
    local area=($((GX + 4)) $((GY + 4)) $((GW - 8 - 20)) $((GH - 8)))
    deadline=$(($(now_ms) + $2 * 1000))
    while [ "$(now_ms)" -lt "$deadline" ]; do
        read -r _ others _ < <("$PIXELS" "${area[@]}") || return 1
        if [ "$others" -eq 0 ]; then hidden=hidden; else shown=shown; fi
        sleep 0.05
    done
    echo $shown $hidden
}

blinks() { [ "$(text_phases "$1" 2)" = "shown hidden" ]; }
steady() { [ "$(text_phases "$1" 2)" = "shown" ]; }

note_colour_is() {
    local colour
    read -r colour _ < <(client_pixels "$(window_of "$1")") && [ "$colour" = "$2" ]
}

# same_picture ROLE: the note has the same place, size and pixels on both
# displays.
picture() {
    local id
    id=$(window_of "$1") && geometry "$id" && echo "$GX $GY $GW $GH $(client_pixels "$id")"
}
same_picture() {
    local one two
    one=$(on 1 picture "$1") && two=$(on 2 picture "$1") && [ "$one" = "$two" ]
}

same_geometry() {
    local one two
    one=$(on 1 window_geometry "$1") && two=$(on 2 window_geometry "$1") && [ "$one" = "$two" ] && [ "$one" = "$2" ]
}
window_geometry() {
    local id
    id=$(window_of "$1") && geometry "$id" && echo "$GX $GY $GW $GH"
}

# within_ms_of START MS COMMAND...: the command succeeds by START + MS on
# now_ms's clock, however long the checks since START took.
within_ms_of() {
    local deadline=$(($1 + $2))
    shift 2
    while :; do
        "$@" && return 0
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

picture_differs() { [ "$(picture "$1")" != "$2" ]; }

role_place_is() { place_is "$(window_of "$1")" "$2"; }

launcher_width() { geometry "$(window_of Form1)" && echo "$GW"; }
launchers_are() { [ "$(on 1 launcher_width) $(on 2 launcher_width)" = "$1 $1" ]; }

above_on_both() { on 1 has_state "$(on 1 window_of "$1")" _NET_WM_STATE_ABOVE && on 2 has_state "$(on 2 window_of "$1")" _NET_WM_STATE_ABOVE; }
above_on_neither() { on 1 lacks_state "$(on 1 window_of "$1")" _NET_WM_STATE_ABOVE && on 2 lacks_state "$(on 2 window_of "$1")" _NET_WM_STATE_ABOVE; }

# ---- The shared file ---------------------------------------------------------------

FILES=("${MACHINES[1,INI]}" "${MACHINES[2,INI]}")
# What both copies read: one file, or two the engine has made equal. lib.sh's
# ini_* helpers read the file of the display in use; both_* read both.
files_agree() { [ "$MODE" = link ] || cmp -s "${FILES[0]}" "${FILES[1]}"; }
# The inode and modification time of each copy's file, through the symlink.
stamps() { stat -L -c '%i %y' "${FILES[@]}" 2> /dev/null; }
# stamps_are STAMPS: nothing has written since; if something has, it tells
# which file changed.
stamps_are() {
    local now
    now=$(stamps)
    [ "$now" = "$1" ] && return 0
    printf "# written meanwhile (display 1's file, display 2's file): %s -> %s\n" "${1//$'\n'/; }" "${now//$'\n'/; }"
    return 1
}

# stamped_when COMMAND...: waits up to 5 s, in steps of 20 ms, for the
# file(s) to show a change one copy has just made, and stamps them at once
# (STAMPS). The other copy reads the change at a tick up to 500 ms later, so
# whatever it writes on reading it comes after the stamp.
stamped_when() {
    local deadline=$(($(now_ms) + 5000)) status=0
    until "$@"; do
        if [ "$(now_ms)" -ge "$deadline" ]; then
            status=1
            break
        fi
        sleep 0.02
    done
    STAMPS=$(stamps)
    return "$status"
}

both_running() { on 1 nopi_running && on 2 nopi_running; }
still_linked() { [ "$(readlink "${FILES[0]}") $(readlink "${FILES[1]}")" = "$TOP/shared/nopi.ini $TOP/shared/nopi.ini" ]; }
text_is() { [ "$(ini_get "$1" NAIYOU)" = "$2" ]; }

both_ini_nums_are() {
    local file
    for file in "${FILES[@]}"; do
        INI=$file ini_nums_are "$@" || return 1
    done
}

both_ini_num_is() {
    local file
    for file in "${FILES[@]}"; do
        INI=$file ini_num_is "$@" || return 1
    done
}

# ---- Fixture ------------------------------------------------------------------------
# Fifteen notes, all slots taken: both launchers start narrow.
#   Form3 is dragged on display 1, Form4 edited on display 2, Form5 closed on
#   display 1 and made again on display 2, Form6 rings; Form7..Form17 fill the
#   bottom of the screen. The middle, where the edit screen and a new note
#   open, stays free.

# The alarm is set ten minutes ahead on today's clock; when its turn comes,
# both copies' clocks jump to a few seconds before it (a fake-time file each
# reads once a second), so they cross its moment together. Form7's alarm two
# minutes later is crossed with display 2's clock two seconds ahead.
echo "+0" > "$TOP/faketime1"
echo "+0" > "$TOP/faketime2"
set_clocks() { echo "+$(($1 - $(date +%s)))" > "$TOP/faketime1"; echo "+$(($2 - $(date +%s)))" > "$TOP/faketime2"; }
dated_alarm() { echo $((10#$(date -d "@$1" +%m) * 1000000 + 10#$(date -d "@$1" +%d) * 10000 + 10#$(date -d "@$1" +%H%M))); }
ALARM_AT=$(( ($(date +%s) / 60 + 10) * 60 ))
ALARM_TIME=$(dated_alarm "$ALARM_AT")
AHEAD_AT=$((ALARM_AT + 120))

{
    launcher_section 0 0
    note_section 3 1 8454143 300 1500 3000 1500 0 0 "drag me"
    note_section 4 1 8454143 3900 1500 3000 1500 0 0 "edit me"
    note_section 5 1 12648384 7500 1500 3000 1500 0 0 "close me"
    note_section 6 1 16777088 11100 1500 3000 1500 1 "$ALARM_TIME" "ring"
    slot=7
    for y in 520 600 680; do
        for x in 20 220 420 620 820; do
            [ "$slot" -le 17 ] || break
            if [ "$slot" = 7 ]; then
                note_section "$slot" 1 12632319 $((x * 15)) $((y * 15)) 2700 900 1 "$(dated_alarm "$AHEAD_AT")" "filler $slot"
            else
                note_section "$slot" 1 12632319 $((x * 15)) $((y * 15)) 2700 900 0 0 "filler $slot"
            fi
            slot=$((slot + 1))
        done
    done
} > "$TOP/seed.ini"

if [ "$MODE" = link ]; then
    mkdir "$TOP/shared"
    cp "$TOP/seed.ini" "$TOP/shared/nopi.ini"
    ln -s "$TOP/shared/nopi.ini" "${FILES[0]}"
    ln -s "$TOP/shared/nopi.ini" "${FILES[1]}"
else
    cp "$TOP/seed.ini" "${FILES[0]}"
    cp "$TOP/seed.ini" "${FILES[1]}"
    "$SYNC_ENGINE" "${FILES[0]}" "${FILES[1]}" >> "$TOP/sync-engine.log" 2>&1 &
    SYNC_PID=$!
fi

ALL_NOTES="Form3 Form4 Form5 Form6 Form7 Form8 Form9 Form10 Form11 Form12 Form13 Form14 Form15 Form16 Form17"
for n in 1 2; do
    on_display "$n"
    echo "# display $n"
    start_and_wait LD_PRELOAD="$FAKETIME_LIB" FAKETIME_TIMESTAMP_FILE="$TOP/faketime$n" FAKETIME_CACHE_DURATION=1 \
        FAKETIME_DONT_FAKE_MONOTONIC=1 NO_FAKE_STAT=1
    require "display $n shows all fifteen notes" 15 note_roles_are "$ALL_NOTES"
done
on_display 1
require "both copies run" 1 both_running
require "the two files agree after start-up" 5 files_agree
eventually "with all fifteen slots taken both launchers are narrow" 5 launchers_are 85

# ---- A drag on display 1 ----------------------------------------------------------

require "Form3 is 200x100 at (20,100) on both displays" 5 same_geometry Form3 "20 100 200 100"
on_display 1
# Each change is stamped as soon as the file(s) hold it, before the other
# copy takes it: from then on neither copy has anything to write.
drag 120 150 40 150
DRAGGED=$(now_ms)
check "the file(s) hold the new place 900/3750" stamped_when both_ini_nums_are FORM3 "POJIX POJIY" "900 3750"
eventually "display 1: the drag moves Form3 to (60,250)" 3 geometry_is "$(window_of Form3)" "60 250 200 100"
require "the two files agree" 3 files_agree
check "display 2: Form3 follows within 2 s" within_ms_of "$DRAGGED" 2000 on 2 role_place_is Form3 "60 250"
check "afterwards neither copy writes the file for 5 s" holds_for 5 stamps_are "$STAMPS"
check "Form3 stays at (60,250) on both displays" same_geometry Form3 "60 250 200 100"
# The other way, and a second time: a note dragged here follows the file again.
on_display 2
drag 160 300 200 -30
DRAGGED=$(now_ms)
check "the file(s) hold the new place 3900/3300" stamped_when both_ini_nums_are FORM3 "POJIX POJIY" "3900 3300"
eventually "display 2: a drag moves Form3 on to (260,220)" 3 geometry_is "$(window_of Form3)" "260 220 200 100"
require "the two files agree" 3 files_agree
check "display 1: Form3 follows within 2 s" within_ms_of "$DRAGGED" 2000 on 1 role_place_is Form3 "260 220"
check "and neither copy writes again" holds_for 1 stamps_are "$STAMPS"

# ---- Text and colour edited on display 2 ------------------------------------------

BEFORE=$(on 1 picture Form4)
on_display 2
double_click_at 300 175
require "display 2: a double-click on Form4 opens the edit screen" 5 has_window Form2
EDIT=$(window_of Form2)
require "the edit screen has the keyboard focus" 5 active_is "$EDIT"
xdotool key ctrl+a
xdotool type --delay 30 "synced text"
edit_client "$EDIT"
# Colour cycles yellow, pink, green, blue: one press makes the note pink.
click_at $((CX + 255)) $((CY + 76))
click_at $((CX + 255)) $((CY + 124))
check "[FORM4] B_Color is pink, 12632319" stamped_when both_ini_num_is FORM4 B_Color 12632319
check "[FORM4] holds the new text" text_is FORM4 "synced text"
eventually "OK closes the edit screen" 5 lacks_window Form2
require "the two files agree" 3 files_agree
eventually "display 2: Form4 is pink" 3 note_colour_is Form4 ffc0c0
on_display 1
eventually "display 1: Form4 turns pink" 3 note_colour_is Form4 ffc0c0
eventually "display 1: Form4 shows what display 2 shows, place, size and pixels" 3 same_picture Form4
check "display 1: Form4 looks different than before" picture_differs Form4 "$BEFORE"
check "neither copy writes again for 2 s" holds_for 2 stamps_are "$STAMPS"

# ---- A note closed on display 1 -----------------------------------------------------

on_display 1
require "Form5 is 200x100 at (500,100) on both displays" 3 same_geometry Form5 "500 100 200 100"
click_at $((500 + 200 - 13)) $((100 + 13))
check "[FORM5] becomes SIYOU 0" stamped_when both_ini_num_is FORM5 SIYOU 0
eventually "display 1: the close mark removes Form5" 3 lacks_window Form5
require "the two files agree" 3 files_agree
eventually "display 2: Form5 goes too" 3 on 2 lacks_window Form5
eventually "both launchers widen to 114 pixels" 3 launchers_are 114
check "the other notes stay on display 2" on 2 note_roles_are "${ALL_NOTES/Form5 /}"
check "closing it there writes nothing" holds_for 1 stamps_are "$STAMPS"

# ---- A note made on display 2 ---------------------------------------------------------

on_display 2
click_at 96 45
require "display 2: the new-note button opens the edit screen" 5 has_window Form2
require "the edit screen has the keyboard focus" 5 active_is "$(window_of Form2)"
xdotool type --delay 30 "made on two"
xdotool key Tab
xdotool key Return
check "[FORM5] is in use again" stamped_when both_ini_num_is FORM5 SIYOU 1
check "[FORM5] holds the typed text" text_is FORM5 "made on two"
eventually "Enter closes the edit screen" 5 lacks_window Form2
require "display 2: the new note takes the free slot, Form5" 5 has_window Form5
require "the two files agree" 3 files_agree
eventually "display 1: Form5 appears" 3 on 1 has_window Form5
eventually "display 1: at display 2's place and size, showing the same" 3 same_picture Form5
eventually "both launchers narrow again" 3 launchers_are 85
check "display 1 shows all fifteen notes" on 1 note_roles_are "$ALL_NOTES"
check "neither copy writes again for 2 s" holds_for 2 stamps_are "$STAMPS"

# ---- The alarm ----------------------------------------------------------------------------

require "[FORM6] is set, not ringing" 1 both_ini_num_is FORM6 ALARM 1
set_clocks $((ALARM_AT - 5)) $((ALARM_AT - 5))
# A clock that jumps is taken at the program's next wake-up, at most a minute
# later; new times on the file(s) wake both copies now.
sleep 1.2
touch "${FILES[@]}"
eventually "the alarm goes off: [FORM6] ALARM 2" 15 both_ini_num_is FORM6 ALARM 2
eventually "the ringing Form6 is kept above on both displays" 3 above_on_both Form6
check "display 1: Form6 blinks" on 1 blinks Form6
check "display 2: Form6 blinks" on 2 blinks Form6

on_display 2
double_click_at 780 175
check "a double-click on display 2 stops it: [FORM6] ALARM 1" stamped_when both_ini_num_is FORM6 ALARM 1
require "the two files agree" 3 files_agree
eventually "Form6 is no longer kept above on either display" 3 above_on_neither Form6
check "stopping it opens no edit screen" lacks_window Form2
check "display 1: its text stays shown" on 1 steady Form6
check "display 2: its text stays shown" on 2 steady Form6
check "it rang once, and nothing is written after the stop" stamps_are "$STAMPS"

# ---- Display 2's clock two seconds ahead -------------------------------------------------
# Form7 rings on display 2 first and is stopped there at once. Display 1,
# whose clock reaches the minute two seconds later, knows from the file that
# this crossing was rung and stopped elsewhere, and does not ring it.

ahead_rings() { INI=${FILES[1]} ini_num_is FORM7 ALARM 2; }
set_clocks $((AHEAD_AT - 6)) $((AHEAD_AT - 4))
sleep 1.2
touch "${FILES[@]}"
require "display 2, ahead, rings Form7 first: its [FORM7] ALARM 2" 15 ahead_rings
on_display 2
double_click_at 110 550
eventually "stopped on display 2 within a second: [FORM7] ALARM 1 in both files" 5 both_ini_num_is FORM7 ALARM 1
sleep 3
check "display 1's clock has passed the minute: [FORM7] still ALARM 1 in both files" both_ini_num_is FORM7 ALARM 1
check "display 1: Form7 is not kept above" on 1 lacks_state "$(on 1 window_of Form7)" _NET_WM_STATE_ABOVE
check "display 1: Form7 does not blink" on 1 steady Form7
require "the two files agree" 5 files_agree

# ---- A time set back -----------------------------------------------------------------------
# A sync engine that believes only a file's details changed puts the time it
# knew back on it (Syncthing's update of metadata), and from then on takes
# the file for the version it knows. Display 2's file holds display 2's own
# last save: display 2 gives it the time of now, so the engine looks again.
mtime_of() { stat -L -c %Y "$1"; }
WRITTEN=$(mtime_of "${FILES[1]}")
cp "${FILES[1]}" "$TOP/before-set-back.ini"
touch -d "@$((WRITTEN - 3600))" "${FILES[@]}"
newer_again() { [ "$(mtime_of "${FILES[1]}")" -ge "$WRITTEN" ]; }
check "display 2 gives its own file, set back an hour, the time of now" wait_until 3 newer_again
check "and leaves its bytes as they were" cmp -s "${FILES[1]}" "$TOP/before-set-back.ini"
if [ "$MODE" = synced ]; then
    still_set_back() { [ "$(mtime_of "${FILES[0]}")" -lt "$WRITTEN" ]; }
    check "display 1's file, the engine's copy, keeps the time it was given" holds_for 2 still_set_back
fi
check "both copies still run" both_running
if [ "$MODE" = link ]; then
    # A save that replaced a link by a file would part the two copies for good.
    check "each copy's nopi.ini is still the symlink to the common file" still_linked
fi

finish
