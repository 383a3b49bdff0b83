#!/bin/bash
# SPDX-License-Identifier: MIT
# Three machines, one set of notes, kept equal by real Syncthing: three
# copies of the program on three displays, each with its own home and its own
# Syncthing (loopback only: no discovery, relays or reporting), each copy's
# nopi.ini a link into its synced folder, as the README tells users to set it
# up. Twenty rounds in which two or three machines change different notes
# within half a second of each other, and five in which two change the same
# note. After each round, within 30 s: every change is on every machine, in
# files that are byte for byte equal, with no conflict copy left in any synced
# folder; and once it is over, a minute with no write anywhere.
#
# Usage: syncthing.sh path/to/nopi. Without syncthing it is skipped (77).
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/lib_machines.sh"

if ! command -v syncthing > /dev/null || ! command -v curl > /dev/null; then
    echo "# skipped: syncthing or curl is not installed (scripts/setup test installs them)"
    exit 77
fi

SYNCTHING_1="" SYNCTHING_2="" SYNCTHING_3="" COPY_WATCH=""
make_machines 3
MACHINES_STOP=(COPY_WATCH SYNCTHING_1 SYNCTHING_2 SYNCTHING_3)
ROUNDS=${NOPI_SYNC_ROUNDS:-20}
SAME_NOTE_ROUNDS=${NOPI_SYNC_SAME_NOTE_ROUNDS:-5}

# ---- Syncthing -------------------------------------------------------------------

port_free() { ! (exec 3<> "/dev/tcp/127.0.0.1/$1") 2> /dev/null; }
PORT=$((30000 + RANDOM % 25000))
# next_port VAR: a free port into VAR (not in a subshell: the count goes on).
next_port() {
    until port_free "$PORT"; do PORT=$((PORT + 1)); done
    printf -v "$1" '%s' "$PORT"
    PORT=$((PORT + 1))
}

declare -A DEVICE LISTEN GUI
for n in 1 2 3; do
    home=$TOP/d$n/syncthing
    mkdir -p "$TOP/d$n/sync/.stfolder"
    HOME=$TOP/d$n/home syncthing generate --home="$home" --no-default-folder --skip-port-probing > /dev/null 2>&1 \
        || { echo "not ok - syncthing generate failed"; exit 1; }
    DEVICE[$n]=$(HOME=$TOP/d$n/home syncthing serve --home="$home" --device-id)
    next_port "LISTEN[$n]"
    next_port "GUI[$n]"
done

# Each instance knows the other two at their loopback ports only, and looks
# at the folder one second after a change, as a watcher does.
for n in 1 2 3; do
    {
        echo '<configuration version="36">'
        echo "  <folder id=\"nopi\" label=\"nopi\" path=\"$TOP/d$n/sync\" type=\"sendreceive\" rescanIntervalS=\"3600\""
        echo '          fsWatcherEnabled="true" fsWatcherDelayS="1" ignorePerms="false" autoNormalize="true">'
        echo '    <filesystemType>basic</filesystemType>'
        for m in 1 2 3; do echo "    <device id=\"${DEVICE[$m]}\" introducedBy=\"\"></device>"; done
        echo '    <minDiskFree unit="%">0</minDiskFree><maxConflicts>10</maxConflicts><markerName>.stfolder</markerName>'
        echo '  </folder>'
        for m in 1 2 3; do
            echo "  <device id=\"${DEVICE[$m]}\" name=\"machine$m\" compression=\"metadata\"><address>tcp://127.0.0.1:${LISTEN[$m]}</address></device>"
        done
        echo "  <gui enabled=\"true\" tls=\"false\"><address>127.0.0.1:${GUI[$n]}</address><apikey>nopi-test-$n</apikey></gui>"
        echo "  <options><listenAddress>tcp://127.0.0.1:${LISTEN[$n]}</listenAddress>"
        echo '    <globalAnnounceEnabled>false</globalAnnounceEnabled><localAnnounceEnabled>false</localAnnounceEnabled>'
        echo '    <relaysEnabled>false</relaysEnabled><natEnabled>false</natEnabled><urAccepted>-1</urAccepted>'
        echo '    <autoUpgradeIntervalH>0</autoUpgradeIntervalH><crashReportingEnabled>false</crashReportingEnabled>'
        echo '    <startBrowser>false</startBrowser><reconnectionIntervalS>1</reconnectionIntervalS><setLowPriority>false</setLowPriority>'
        echo '  </options>'
        echo '</configuration>'
    } > "$TOP/d$n/syncthing/config.xml"
done

start_syncthing() {
    (exec env HOME="$TOP/d$1/home" STNOUPGRADE=1 syncthing serve --home="$TOP/d$1/syncthing" --no-browser --no-restart \
        --logfile="$TOP/syncthing$1.log") > /dev/null 2>&1 &
    printf -v "SYNCTHING_$1" '%s' "$!"
}
connected() {
    curl -s -H "X-API-Key: nopi-test-$1" "http://127.0.0.1:${GUI[$1]}/rest/system/connections" \
        | grep -o '"connected": *true' | grep -c . | grep -qx 2
}
for n in 1 2 3; do start_syncthing "$n"; done
for n in 1 2 3; do require "Syncthing $n is connected to the other two" 30 connected "$n"; done

# ---- The notes -------------------------------------------------------------------
# Six notes, 180 x 60 pixels, in two rows clear of the edit screen, which
# opens in the middle.

NOTES=(3 4 5 6 7 8)
declare -A PLACE TEXT HOME
{
    launcher_section 0 0
    i=0
    for slot in "${NOTES[@]}"; do
        x=$((60 + (i % 3) * 320))
        y=$((i < 3 ? 90 : 580))
        PLACE[$slot]="$x $y"
        HOME[$slot]="$x $y"
        TEXT[$slot]="note $slot"
        note_section "$slot" 1 8454143 $((x * 15)) $((y * 15)) 2700 900 0 0 "${TEXT[$slot]}"
        i=$((i + 1))
    done
} > "$TOP/d1/sync/nopi.ini"

FILES=("$TOP/d1/sync/nopi.ini" "$TOP/d2/sync/nopi.ini" "$TOP/d3/sync/nopi.ini")
files_equal() { cmp -s "${FILES[0]}" "${FILES[1]}" && cmp -s "${FILES[0]}" "${FILES[2]}"; }
require "Syncthing hands the notes to the other two machines" 30 files_equal

ALL_NOTES="Form3 Form4 Form5 Form6 Form7 Form8"
for n in 1 2 3; do
    on_display "$n"
    ln -s "$TOP/d$n/sync/nopi.ini" "$INI"
    start_and_wait
    require "machine $n shows the six notes" 15 note_roles_are "$ALL_NOTES"
done

# ---- What each machine holds -------------------------------------------------------

conflict_copies() { find "$TOP"/d[123]/sync -maxdepth 1 -name '*conflict*' ! -name '.syncthing.*' 2> /dev/null; }
no_conflict_copy() { [ -z "$(conflict_copies)" ]; }

# every_note_matches_its_window: each note the file holds is a window at the
# file's place and size, and each note window is one the file holds.
every_note_matches_its_window() {
    local slot expected="" id windows
    windows=$(viewable_windows)
    for slot in $(seq 3 17); do
        [ "$(ini_num "FORM$slot" SIYOU 2> /dev/null)" = 1 ] || continue
        expected+="Form$slot "
        id=$(awk -v role="Form$slot" '$1 == role { print $2; exit }' <<< "$windows")
        [ -n "$id" ] && note_file_matches_window "FORM$slot" "$id" || return 1
    done
    [ "$(awk '$1 ~ /^Form([3-9]|1[0-7])$/ { print $1 }' <<< "$windows" | sort -V | xargs)" = "${expected% }" ]
}

# window_places: "FormN X Y W H" of each note window, for a failed round.
window_places() {
    local role id
    while read -r role id; do
        [[ $role == Form[0-9]* ]] && [ "$role" != Form1 ] && [ "$role" != Form2 ] && geometry "$id" && echo -n "$role $GX $GY $GW $GH; "
    done < <(viewable_windows)
}

# The texts of the notes in use.
texts_in_use() {
    local slot
    for slot in $(seq 3 17); do
        [ "$(ini_num "FORM$slot" SIYOU 2> /dev/null)" = 1 ] && ini_get "FORM$slot" NAIYOU
    done
}

# holds_every_change: the file (machine 1's, equal to the others') has each
# note at its expected place with its expected text, and each text kept
# besides (a note made of the other of two texts).
holds_every_change() {
    local slot texts
    for slot in "${NOTES[@]}"; do
        ini_nums_are "FORM$slot" "POJIX POJIY" "$(awk '{ print $1 * 15, $2 * 15 }' <<< "${PLACE[$slot]}")" || return 1
        # Two texts of one note: either stays in its slot.
        [ -z "${TEXT[$slot]}" ] || [ "$(ini_get "FORM$slot" NAIYOU)" = "${TEXT[$slot]}" ] || return 1
    done
    texts=$(texts_in_use)
    for slot in "${KEPT_TEXTS[@]}"; do
        grep -qxF "$slot" <<< "$texts" || return 1
    done
}

# settled: every machine shows what the equal files hold, and no conflict
# copy is left.
settled() {
    files_equal && no_conflict_copy || return 1
    local n
    for n in 1 2 3; do
        on "$n" every_note_matches_its_window || return 1
    done
}

# settled_with_one_of SLOT "X Y" "X Y": settled with the note at either place.
settled_with_one_of() {
    local place
    settled || return 1
    for place in "$2" "$3"; do
        on 1 ini_nums_are "FORM$1" "POJIX POJIY" "$(awk '{ print $1 * 15, $2 * 15 }' <<< "$place")" && return 0
    done
    return 1
}

settled_with_every_change() { settled && on 1 holds_every_change; }

file_stamps() { stat -L -c '%i %Y %s' "${FILES[@]}" 2> /dev/null; }
stamps_are() { [ "$(file_stamps)" = "$1" ]; }

# ---- Changes -------------------------------------------------------------------------

# open_edit N SLOT TEXT: on machine N, the note's edit screen with TEXT typed
# in and the focus on ＯＫ; pressing Enter then saves it.
open_edit() {
    local x y
    read -r x y <<< "${PLACE[$2]}"
    on_display "$1"
    double_click_at $((x + 14)) $((y + 14))
    require "machine $1: the edit screen opens on Form$2" 5 has_window Form2
    require "machine $1: the edit screen has the keyboard focus" 5 active_is "$(window_of Form2)"
    xdotool key ctrl+a
    xdotool type --delay 20 "$3"
    xdotool key Tab
}
press_ok() { on "$1" xdotool key Return; }


# Each change is made ready on its machine (an edit screen filled in), then
# all are done at once: the drops and the presses of ＯＫ fall within half a
# second.
ACTIONS=()
KEPT_TEXTS=()
# plan_drag N SLOT DX DY: from where the note is now.
plan_drag() {
    local x y
    read -r x y <<< "${PLACE[$2]}"
    ACTIONS+=("on $1 drag $((x + 14)) $((y + 14)) $3 $4")
}
plan_edit() { open_edit "$1" "$2" "$3"; ACTIONS+=("press_ok $1"); }
carry_out() {
    local action pids=()
    for action in "${ACTIONS[@]}"; do
        ($action) &
        pids+=($!)
    done
    wait "${pids[@]}"
    ACTIONS=()
}

# step_of SLOT: a drag's step that keeps the note near where it started,
# clear of the screen's edges and the other notes.
step_of() {
    local x y hx hy
    read -r x y <<< "${PLACE[$1]}"
    read -r hx hy <<< "${HOME[$1]}"
    echo "$((x > hx ? -30 : 30)) $((y > hy ? -10 : 10))"
}

# moved SLOT DX DY: where a drag leaves the note.
moved() {
    local x y
    read -r x y <<< "${PLACE[$1]}"
    echo "$((x + $2)) $((y + $3))"
}

# expectations: what the round expects of each note, and what machine 1's
# file holds, for a failed round.
expectations() {
    local slot
    for slot in "${NOTES[@]}"; do
        echo "# Form$slot expected (${PLACE[$slot]}) \"${TEXT[$slot]}\"; file $(ini_num "FORM$slot" POJIX)/15 $(ini_num "FORM$slot" POJIY)/15 \"$(ini_get "FORM$slot" NAIYOU)\""
    done
}

# differences: how machines 2 and 3's files differ from machine 1's.
differences() {
    local n
    for n in 2 3; do
        cmp -s "${FILES[0]}" "${FILES[$((n - 1))]}" && continue
        echo "# machine $n's file differs from machine 1's:"
        diff <(tr -d '\r' < "${FILES[0]}") <(tr -d '\r' < "${FILES[$((n - 1))]}") | grep '^[<>]' | sed 's/^/#   /' | head -n 12
    done
}

round_done() {
    local started=$1 what=$2
    if wait_until 30 settled_with_every_change; then
        pass "round $ROUND ($what): every change on all three machines after $(($(now_ms) - started)) ms"
    else
        fail "round $ROUND ($what): files equal: $(files_equal && echo yes || echo no); conflict copies: $(conflict_copies | xargs -r -n1 basename | xargs); holds every change: $(on 1 holds_every_change && echo yes || echo no)"
        on 1 expectations
        differences
        for n in 1 2 3; do
            on "$n" every_note_matches_its_window || echo "# machine $n shows: $(on "$n" window_places)"
        done
    fi
}

# ---- Different notes -----------------------------------------------------------------

: > "$TOP/copies.seen"
# Every conflict copy that ever stands in a synced folder, by name, to be
# found in some machine's merged/ at the end.
(
    while :; do
        conflict_copies | xargs -r -n1 basename >> "$TOP/copies.seen"
        sleep 0.2
    done
) &
COPY_WATCH=$!

on_display 1
STARTED_ALL=$(now_ms)
for ROUND in $(seq "$ROUNDS"); do
    # Two machines, and every third round all three.
    if [ $((ROUND % 3)) = 0 ]; then machines=(1 2 3); else machines=($(((ROUND - 1) % 3 + 1)) $((ROUND % 3 + 1))); fi
    what=""
    for i in "${!machines[@]}"; do
        m=${machines[$i]}
        slot=${NOTES[$(((ROUND + i * 2) % ${#NOTES[@]}))]}
        if [ $(((ROUND + i) % 2)) = 0 ]; then
            text="round $ROUND on $m"
            plan_edit "$m" "$slot" "$text"
            TEXT[$slot]=$text
            what+="machine $m edits Form$slot; "
        else
            read -r dx dy < <(step_of "$slot")
            plan_drag "$m" "$slot" "$dx" "$dy"
            PLACE[$slot]=$(moved "$slot" "$dx" "$dy")
            what+="machine $m drags Form$slot; "
        fi
    done
    started=$(now_ms)
    carry_out
    on_display 1
    round_done "$started" "${what%; }"
done

# ---- The same note ---------------------------------------------------------------------
# Both drag it: the later place. One drags, the other edits: both. Both
# edit: the later text stays, the other becomes a note of its own.

for ROUND in $(seq $((ROUNDS + 1)) $((ROUNDS + SAME_NOTE_ROUNDS))); do
    case $(((ROUND - ROUNDS - 1) % 5)) in
        0 | 3)
            slot=${NOTES[$((ROUND % 6))]}
            a=$((ROUND % 3 + 1))
            b=$(((ROUND + 1) % 3 + 1))
            read -r dx dy < <(step_of "$slot")
            plan_drag "$a" "$slot" "$dx" "$dy"
            plan_drag "$b" "$slot" $((dx / 2)) $((-dy))
            first=$(moved "$slot" "$dx" "$dy")
            second=$(moved "$slot" $((dx / 2)) $((-dy)))
            what="machines $a and $b drag Form$slot"
            ;;
        1 | 2)
            slot=${NOTES[$((ROUND % 6))]}
            a=$((ROUND % 3 + 1))
            b=$(((ROUND + 1) % 3 + 1))
            plan_edit "$b" "$slot" "round $ROUND on $b"
            read -r dx dy < <(step_of "$slot")
            plan_drag "$a" "$slot" "$dx" "$dy"
            TEXT[$slot]="round $ROUND on $b"
            PLACE[$slot]=$(moved "$slot" "$dx" "$dy")
            first=""
            what="machine $a drags Form$slot, machine $b edits it"
            ;;
        4)
            slot=${NOTES[$((ROUND % 6))]}
            plan_edit 1 "$slot" "round $ROUND on 1"
            plan_edit 2 "$slot" "round $ROUND on 2"
            TEXT[$slot]=""
            KEPT_TEXTS+=("round $ROUND on 1" "round $ROUND on 2")
            first=""
            what="machines 1 and 2 edit Form$slot"
            ;;
    esac
    started=$(now_ms)
    carry_out
    on_display 1
    if [ -n "$first" ]; then
        # The later of the two places, whichever it was, on every machine,
        # once nothing is written for 3 s: a machine may show the earlier one
        # before the later reaches it.
        deadline=$(($(now_ms) + 30000))
        while [ "$(now_ms)" -lt "$deadline" ]; do
            wait_until 10 settled_with_one_of "$slot" "$first" "$second" && holds_for 3 stamps_are "$(file_stamps)" && break
        done
        if ini_nums_are "FORM$slot" "POJIX POJIY" "$(awk '{ print $1 * 15, $2 * 15 }' <<< "$first")"; then
            PLACE[$slot]=$first
        else
            PLACE[$slot]=$second
        fi
    fi
    round_done "$started" "$what"
    [ -n "${TEXT[$slot]}" ] || TEXT[$slot]=$(ini_get "FORM$slot" NAIYOU)
done
echo "# $((ROUNDS + SAME_NOTE_ROUNDS)) rounds in $((($(now_ms) - STARTED_ALL) / 1000)) s"

# ---- Afterwards -----------------------------------------------------------------------

merged_copies() { find "$TOP"/d[123]/home/.local/state/nopi/merged -type f 2> /dev/null | xargs -r -n1 basename; }
put_away() {
    local name
    while read -r name; do
        merged_copies | grep -qxF "$name" || { echo "# $name is in no merged/"; return 1; }
    done < <(sort -u "$TOP/copies.seen")
}
stop_pid "$COPY_WATCH"
check "each of the $(sort -u "$TOP/copies.seen" | grep -c .) conflict copies made is in a merged/ folder" put_away
STAMPS=$(file_stamps)
check "for a minute after, no machine writes the file" holds_for 60 stamps_are "$STAMPS"
check "and no conflict copy appears" no_conflict_copy
for n in 1 2 3; do
    check "machine $n still runs" on "$n" nopi_running
done

finish
