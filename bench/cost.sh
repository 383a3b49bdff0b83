# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# What the first seconds and a long text cost, sourced by scripts/bench after
# its own functions (restore, program_of, window_count, class_of, launch,
# end_program, start_once) and bench/harness.sh:
#   - settled: the CPU time from exec until 3 s after the windows are shown,
#     and within those 3 s;
#   - the answers to pings in those 3 s;
#   - ＯＫ to disk: the time from a click on the edit screen's ＯＫ until the
#     file holds the change;
#   - a cold start: a start with the page cache dropped.
# Names are the bench's: nopi (15 short notes), long (the same 15 notes with
# 60 KiB of text each), floor, xpad.

SETTLE_SECONDS=3

# ---- Figures over rounds --------------------------------------------------------

# percentile P: the P-th percentile (nearest rank) of the numbers on stdin.
percentile() { sort -g | awk -v p="$1" '{ v[NR] = $1 } END { if (NR) { i = int(p / 100 * (NR - 1) + 0.5) + 1; print v[i] } }'; }

# spread FILE: "p25–p75" of the numbers in FILE, whole milliseconds.
spread() {
    printf '%.0f–%.0f\n' "$(percentile 25 < "$1")" "$(percentile 75 < "$1")"
}

# paired_ratios A B: the ratio of each line of A to the same line of B, one a
# line: rounds that alternate meet the same load, so each round's ratio holds
# less of the machine's noise than the ratio of two medians.
paired_ratios() {
    paste -d' ' "$1" "$2" | awk 'NF == 2 && $2 > 0 { printf "%.4f\n", $1 / $2 }'
}

# ---- The first seconds ------------------------------------------------------------

# settle_once NAME: starts the program and prints "IN_3S SETTLED": the CPU ms
# it used in the 3 s after its windows were shown, and from its exec until
# then.
settle_once() {
    local result
    restore "$1"
    result=$(home_env "$1" "$MAPPED" --count "$(window_count "$1")" --class "$(class_of "$1")" --timeout 60 \
                 --cpu-after "$SETTLE_SECONDS" -- "$(program_of "$1")" 2>> "$WORK/$1.log") \
        || die "$1 did not show its windows and settle (see $LOGS/$1.log)"
    awk 'NR == 2 { printf "%.1f %.1f\n", $2 - $1, $2 }' <<< "$result"
}

# pings_after_start NAME: starts the program and pings one of its windows
# from the moment they are shown until 3 s later; prints "MEDIAN WORST".
pings_after_start() {
    local shown_at window left
    restore "$1"
    rm -f "$WORK/$1.stay"
    home_env "$1" "$MAPPED" --stay --count "$(window_count "$1")" --class "$(class_of "$1")" --timeout 60 \
        -- "$(program_of "$1")" > "$WORK/$1.stay" 2>> "$WORK/$1.log" &
    RUN_PID=$!
    for _ in $(seq 3000); do
        [ -s "$WORK/$1.stay" ] && break
        kill -0 "$RUN_PID" 2> /dev/null || break
        sleep 0.02
    done
    shown_at=$EPOCHREALTIME
    PROGRAM_PID=$(awk '{ print $2 }' "$WORK/$1.stay" 2> /dev/null)
    [ -n "$PROGRAM_PID" ] || die "$1 did not show its windows (see $LOGS/$1.log)"
    # Every window's pings are answered by the one thread that draws them all.
    window=$(xdotool search --onlyvisible --limit 1 --class "^$(class_of "$1")\$" 2> /dev/null)
    [ -n "$window" ] || die "$1: no window to ping"
    left=$(awk -v s="$shown_at" -v now="$EPOCHREALTIME" -v d="$SETTLE_SECONDS" 'BEGIN { w = s + d - now; printf "%.2f\n", (w > 0 ? w : 0) }')
    "$PING" --interval 20 --timeout 60 "$window" -- sleep "$left" > "$WORK/$1.startping" 2>> "$WORK/$1.log" \
        || die "$1: the pings after start-up failed (see $LOGS/$1.log)"
    end_program
    awk '{ print $1, $2 }' "$WORK/$1.startping"
}

# ---- ＯＫ to disk ------------------------------------------------------------------

# window_with_role ROLE: the id of the program's visible window with that role.
window_with_role() {
    local id
    for id in $(xdotool search --onlyvisible --class '^nopi$' 2> /dev/null); do
        xprop -id "$id" WM_WINDOW_ROLE 2> /dev/null | grep -q "\"$1\"" && { echo "$id"; return 0; }
    done
    return 1
}

# The colour ＯＫ stores after one press of Color, from the colour stored now.
next_colour() {
    case $1 in
        8454143) echo 12632319 ;;
        12632319) echo 12648384 ;;
        12648384) echo 16777088 ;;
        *) echo 8454143 ;;
    esac
}

# ok_once NAME DIR: with the program running, opens the edit screen of the
# note in NOTE_SECTION by a double-click, presses Color and then ＯＫ, and
# prints the ms from the release of ＯＫ until the file holds the new colour.
ok_once() {
    # Near the note's top-left corner: ＯＫ fits the note's size to its text.
    local x=$((NOTE_X + 20)) y=$((NOTE_Y + 15)) edit colour next result info gx gy
    colour=$(LC_ALL=C awk -v want="[$NOTE_SECTION]" '
        { sub(/\r$/, "") }
        /^\[/ { inside = toupper($0) == want; next }
        inside && /^B_Color=/ { sub(/^B_Color= */, ""); print }' "$2/nopi.ini")
    next=$(next_colour "$colour")
    xdotool mousemove "$x" "$y" mousedown 1 sleep 0.09 mouseup 1 sleep 0.05 mousedown 1 sleep 0.09 mouseup 1
    for _ in $(seq 100); do
        edit=$(window_with_role Form2) && break
        sleep 0.1
    done
    [ -n "$edit" ] || die "$1: a double-click on $NOTE_SECTION opened no edit screen"
    info=$(xwininfo -id "$edit")
    gx=$(awk '/Absolute upper-left X:/ { print $4 }' <<< "$info")
    gy=$(awk '/Absolute upper-left Y:/ { print $4 }' <<< "$info")
    # The buttons' middles, in the client area under the 3-pixel border and
    # the 21-pixel caption strip: Color at (255, 76), ＯＫ at (255, 124).
    result=$("$ONDISK" --timeout 15 "$2" nopi.ini "[$NOTE_SECTION]" "B_Color=$next" -- \
                 xdotool mousemove $((gx + 3 + 255)) $((gy + 24 + 76)) click 1 sleep 0.2 \
                 mousemove $((gx + 3 + 255)) $((gy + 24 + 124)) mousedown 1 sleep 0.09 mouseup 1 \
                 2>> "$WORK/$1.log") \
        || die "$1: ＯＫ's change did not reach the disk (see $LOGS/$1.log)"
    for _ in $(seq 100); do
        window_with_role Form2 > /dev/null || break
        sleep 0.1
    done
    echo "$result"
}

# ok_rounds NAME DIR COUNT: COUNT presses of ＯＫ, their times one a line in
# NAME.ok; the program's VmRSS after them in NAME.okrss.
ok_rounds() {
    restore "$1"
    xdotool mousemove 1279 1023
    launch "$1" "$(program_of "$1")"
    sleep 2
    for _ in $(seq "$3"); do
        ok_once "$1" "$2" >> "$WORK/$1.ok"
        sleep 0.5
    done
    sleep 2
    memory "$PROGRAM_PID"
    echo "$RSS_MIB" > "$WORK/$1.okrss"
    xdotool mousemove 1279 1023
    end_program
}

# ---- A cold start --------------------------------------------------------------------

# can_drop_caches: the page cache can be dropped (as root, with /proc/sys
# writable).
can_drop_caches() { [ "$(id -u)" -eq 0 ] && [ -w /proc/sys/vm/drop_caches ]; }

# cold_once NAME: one timed start with nothing of it in the page cache.
cold_once() {
    sync
    echo 3 > /proc/sys/vm/drop_caches
    start_once "$1"
}
