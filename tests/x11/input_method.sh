#!/bin/bash
# SPDX-License-Identifier: MIT
# Typing with a real input method: ibus with its Japanese engine anthy in
# kana mode. The note's text composes (nihongo becomes 日本語); the hour and
# minute boxes take the digits at once, with nothing left in a composition,
# and Tab goes on from them: keyboard alone, the note is saved with 12:30.
. "$(dirname "$0")/lib.sh"

launcher_section 100 100 > "$INI"
start_display
start_session_bus
start_input_method
start_nopi "${INPUT_METHOD_ENV[@]}"
require "the launcher appears" 15 has_window Form1
timeout 5 xdotool windowactivate --sync "$(window_of Form1)" 2> /dev/null
require "the launcher is the active window" 10 active_is "$(window_of Form1)"
xdotool key Return
edit_screen_active() { has_window Form2 && active_is "$(window_of Form2)"; }
require "Enter opens the edit screen, active" 10 edit_screen_active

# The text: romaji composed into kana, converted with Space, committed with
# Enter.
xdotool type --delay 100 nihongo
xdotool key --delay 300 space Return
# To the switch, ON, on to the hour; 12; Tab; 30; past Date, Font and the
# text to ＯＫ, and Enter.
xdotool key --delay 150 Tab Tab Tab Tab Right Tab
xdotool type --delay 150 12
xdotool key Tab
xdotool type --delay 150 30
xdotool key --delay 150 Tab Tab Tab Tab Return

eventually "the note is saved with its alarm at 12:30" 5 ini_nums_are FORM3 "SIYOU ALARM A_TIME" "1 1 1230"
text=$(ini_get FORM3 NAIYOU | iconv -f CP932 -t UTF-8)
check "the text box composed: nihongo became 日本語 (got '$text')" test "$text" = "日本語"

finish
