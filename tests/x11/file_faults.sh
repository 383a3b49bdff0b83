#!/bin/bash
# SPDX-License-Identifier: MIT
# What real machines do to a settings file while notes are shown: it is
# deleted, replaced by garbage or by a folder, rewritten slowly in place by
# another program, made read-only (the file or its folder), or the disk is
# full. Through all of it every note stays on the screen; once the fault is
# gone, the file holds every note whole again and a restart shows them all.
#
# Permissions stop no one running as root, so the program runs as an
# unprivileged user when the test is started as root (as in CI).
. "$(dirname "$0")/lib.sh"

SHIM=${NOPI_FAULTS:-$(dirname "$NOPI")/tests/shim/libnopi_faults.so}
[ -f "$SHIM" ] || { echo "not ok - the fault shim is missing at $SHIM (build the nopi_faults target)"; exit 1; }
FULL_FLAG=$WORK/disk-full

AS_USER=()
if [ "$(id -u)" -eq 0 ]; then
    chmod 755 "$WORK"
    chown -R nobody:nogroup "$CONFIG_DIR" "$WORK/home" "$WORK/runtime"
    AS_USER=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi

write_fixture() {
    launcher_section 0 600
    note_section 3 1 8454143 1500 1500 2250 1200 0 0 "three"
    note_section 4 1 12632319 6000 1500 2250 1200 1 930 "four"
    note_section 5 1 12648384 10500 1500 2250 1200 0 0 "five"
}
write_fixture > "$INI"
[ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$INI"

start_and_wait LD_PRELOAD="$SHIM" NOPI_FAULT_DISK_FULL_FLAG="$FULL_FLAG" "${AS_USER[@]}"
require "the three notes come up" 10 note_roles_are "Form3 Form4 Form5"

# notes_whole: every note's section has all its keys and its own text.
notes_whole() {
    local slot text
    for slot in 3 4 5; do
        [ "$(ini_keys FORM$slot)" = "$ALL_KEYS" ] || return 1
        ini_num_is FORM$slot SIYOU 1 || return 1
    done
    for text in "FORM3 three" "FORM4 four" "FORM5 five"; do
        [ "$(ini_get ${text% *} NAIYOU)" = "${text#* }" ] || return 1
    done
}
notes_shown() { note_roles_are "Form3 Form4 Form5"; }

# after_fault NAME: the notes stay through the fault for two seconds.
after_fault() {
    check "$1: every note stays on the screen" holds_for 2 notes_shown
}

ini_get_is() { [ "$(ini_get "$1" "$2")" = "$3" ]; }

no_problem_box() { [ -z "$(problem_box_ids)" ]; }

close_problem_boxes() {
    local id
    for id in $(problem_box_ids); do
        timeout 3 xdotool windowactivate --sync "$id" key Escape 2> /dev/null
    done
}

# FORM5_Y: where Form5 is now, in pixels from the top.
form5_y() { wait_until 5 has_window Form5 && geometry "$(window_of Form5)" && echo "$GY"; }

# one_change NAME: with the fault gone, a drag of Form5 is written, and with
# it every note, whole.
one_change() {
    drag 760 $(($(form5_y) + 40)) 0 30
    eventually "$1, removed: the drag is written" 5 ini_num_is FORM5 POJIY $(($(form5_y) * 15))
    eventually "$1, removed: every note is in the file, whole" 5 notes_whole
}

# ---- The file deleted ------------------------------------------------------------
rm -f "$INI"
after_fault "deleted"
eventually "deleted: the notes write themselves back, whole" 5 notes_whole

# ---- Garbage in its place -----------------------------------------------------------
head -c 4096 /dev/urandom | tr -d '[' > "$WORK/garbage"
cp "$WORK/garbage" "$INI"
after_fault "garbage"
eventually "garbage: the notes write themselves back, whole" 5 notes_whole
damaged=$(ls "$CONFIG_DIR"/nopi/nopi.ini.damaged-* 2> /dev/null | head -n 1)
check "garbage: the damaged file is kept beside it" test -n "$damaged"
check "garbage: the kept copy holds the garbage byte for byte" cmp -s "$WORK/garbage" "${damaged:-/nonexistent}"
rm -f "$CONFIG_DIR"/nopi/nopi.ini.damaged-*

# ---- Another program rewrites it slowly in place ----------------------------------
# Its edit (FORM4's text) must survive: the notes wait for the file to be whole.
tr -d '\r' < "$INI" | sed 's/^NAIYOU=four$/NAIYOU=edited/' | sed 's/$/\r/' > "$WORK/edited"
size=$(stat -c %s "$WORK/edited")
{ head -c $((size / 2)) "$WORK/edited"; sleep 0.7; tail -c +$((size / 2 + 1)) "$WORK/edited"; } > "$INI"
after_fault "half-written"
check "half-written: the other program's edit survives" holds_for 2 ini_get_is FORM4 NAIYOU edited
expect_eq "half-written: FORM3 is still whole" "$ALL_KEYS" "$(ini_keys FORM3)"
# Back to the notes' own text for the checks that follow.
write_fixture > "$INI"

# ---- The file read-only ------------------------------------------------------------
chmod 444 "$INI"
drag 760 $(($(form5_y) + 40)) 0 30
after_fault "read-only file"
eventually "read-only file: the failure is told in a message box" 5 has_problem_box
moved_to=$(($(form5_y) * 15))
chmod 644 "$INI"
# Saves are tried again every two seconds; the box says they fail only as
# long as they do.
eventually "read-only file, writable again: the drag is saved within 3 s" 3 ini_num_is FORM5 POJIY "$moved_to"
eventually "and the message box goes by itself" 2 no_problem_box
close_problem_boxes
one_change "read-only file"

# ---- Its folder read-only -----------------------------------------------------------
rm -f "$INI"
eventually "the notes are back after a deletion" 5 notes_whole
chmod 555 "$CONFIG_DIR/nopi"
drag 760 $(($(form5_y) + 40)) 0 30
after_fault "read-only folder"
chmod 755 "$CONFIG_DIR/nopi"
close_problem_boxes
one_change "read-only folder"

# ---- A folder in its place ---------------------------------------------------------------
rm -f "$INI"
mkdir "$INI"
after_fault "a folder"
rmdir "$INI"
eventually "a folder, removed: the notes write themselves back, whole" 5 notes_whole
close_problem_boxes

# ---- The disk full ----------------------------------------------------------------------
touch "$FULL_FLAG"
drag 760 $(($(form5_y) + 40)) 0 30
after_fault "disk full"
rm -f "$FULL_FLAG"
close_problem_boxes
one_change "disk full"

# ---- A restart shows them all -----------------------------------------------------
stop_pid "$NOPI_PID"
NOPI_PID=""
start_nopi "${AS_USER[@]}"
eventually "after a restart the three notes come up" 10 note_roles_are "Form3 Form4 Form5"

finish
