#!/bin/bash
# SPDX-License-Identifier: MIT
# A note of 60 KiB: its window shows the text's first lines as a note of
# those lines alone shows them; ＯＫ sizes it as a note of the same widest line
# and as many lines; and the file keeps the whole text.
. "$(dirname "$0")/lib.sh"

PIXELS=${NOPI_SCREEN_PIXELS:-}
[ -x "$PIXELS" ] || { echo "not ok - NOPI_SCREEN_PIXELS names no program (the build makes nopi_screen_pixels)"; exit 1; }

cp932() { printf %s "$1" | iconv -f UTF-8 -t CP932; }
ARROW=$(cp932 '⇔')
KANA=$(cp932 'あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほ')
WIDEST=$(cp932 'いちばん長い行はこの最後の行で、ほかのどの行よりも長く書いてあります')
A=$(cp932 'あ')
LINES=930
# Lines of 66 bytes and a widest last one: 60 KiB in the file. Its first lines
# alone, as many as fill the window and more; the same widest line below as
# many short lines.
LONG=""
FIRST=""
SAME_SIZE=""
for i in $(seq -w 1 $((LINES - 1))); do
    LONG+="$i $KANA$ARROW"
    [ "$i" -gt 12 ] || FIRST+="$i $KANA$ARROW"
    SAME_SIZE+="$A$ARROW"
done
LONG+=$WIDEST
FIRST=${FIRST%"$ARROW"}
SAME_SIZE+=$WIDEST

{
    launcher_section 900 0
    note_section 4 1 8454143 7800 4500 3000 1500 0 0 "$LONG"
    note_section 5 1 8454143 4200 300 3000 1500 0 0 "$FIRST"
    note_section 6 1 8454143 300 4500 3000 1500 0 0 "$SAME_SIZE"
} > "$INI"
snapshot seeded

start_and_wait
# Not over a note: the mouse over a text gives it the look of a disabled one.
xdotool mousemove 1000 700
require "the notes Form4, Form5 and Form6 appear" 10 has_window Form6
FORM4=$(window_of Form4)
FORM5=$(window_of Form5)

# client_pixels ID: "colour others digest" of the note's client area.
client_pixels() {
    geometry "$1" || return 1
    "$PIXELS" $((GX + 4)) $((GY + 4)) $((GW - 8)) $((GH - 8))
}
same_pixels() {
    local long first others
    long=$(client_pixels "$FORM4") && first=$(client_pixels "$FORM5") || return 1
    read -r _ others _ <<< "$long"
    [ "${long#* }" = "${first#* }" ] && [ "$others" -gt 0 ]
}
eventually "Form4 shows its first lines as Form5 shows them alone" 5 same_pixels
check "opening writes nothing" unchanged_since seeded

# ok_on ID: the edit screen opened on the note by a double-click, closed by ＯＫ.
ok_on() {
    geometry "$1" || return 1
    double_click_at $((GX + 20)) $((GY + 15))
    wait_until 5 has_window Form2 || return 1
    edit_client "$(window_of Form2)" || return 1
    click_at $((CX + 255)) $((CY + 124))
    wait_until 5 lacks_window Form2
}
require "ＯＫ on Form4's edit screen" 15 ok_on "$FORM4"
eventually "[FORM4] keeps the whole text" 5 test "$(ini_raw FORM4 NAIYOU)" = "$LONG"
require "ＯＫ on Form6's edit screen" 15 ok_on "$(window_of Form6)"
sized_as_form6() {
    [ "$(ini_num FORM6 YOKO)" != 3000 ] && ini_nums_are FORM4 "YOKO TATE" "$(ini_num FORM6 YOKO) $(ini_num FORM6 TATE)"
}
eventually "Form4 is sized as Form6, whose widest line and line count are its own" 5 sized_as_form6
expect_eq "its height holds all $LINES lines" 1 "$(( $(ini_num FORM4 TATE) / 15 - 20 > LINES * 10 ))"

finish
