#!/bin/bash
# SPDX-License-Identifier: MIT
# Eight notes due in the same minute on a disk where every flush to disk takes
# a second: saves are the writer thread's, so all eight go off together at
# second 00, and their saves reach the file one after another.
. "$(dirname "$0")/lib.sh"

FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2> /dev/null | head -n 1)
[ -n "$FAKETIME_LIB" ] || { echo "not ok - libfaketime is missing (scripts/setup test installs faketime)"; exit 1; }
SHIM=${NOPI_FAULTS:-$(dirname "$NOPI")/tests/shim/libnopi_faults.so}
[ -f "$SHIM" ] || { echo "not ok - the fault shim is missing at $SHIM (build the nopi_faults target)"; exit 1; }

SLOTS="3 4 5 6 7 8 9 10"
{
    launcher_section 0 600
    for slot in $SLOTS; do
        note_section "$slot" 1 8454143 $(((slot - 3) * 1800 + 750)) 1500 1650 1200 1 930 "due $slot"
    done
} > "$INI"

alarms() {
    local slot
    for slot in $SLOTS; do printf '%s ' "$(ini_num FORM$slot ALARM)"; done
}
all_ringing() { [ "$(alarms)" = "2 2 2 2 2 2 2 2 " ]; }

TODAY=$(date +%F)
start_and_wait LD_PRELOAD="$FAKETIME_LIB $SHIM" FAKETIME="@$TODAY 09:29:54" NOPI_FAULT_FSYNC_DELAY_MS=1000
# The program's clock started at 09:29:54, before its launcher showed.
STARTED=$(now_ms)
require "the eight notes come up" 15 note_roles_are "Form3 Form4 Form5 Form6 Form7 Form8 Form9 Form10"
expect_eq "before 09:30 no alarm has gone off" "1 1 1 1 1 1 1 1 " "$(alarms)"

all_above() {
    local slot
    for slot in $SLOTS; do has_state "$(window_of Form$slot)" _NET_WM_STATE_ABOVE || return 1; done
}
# Saved one after another on the screen's thread, each waiting for its
# flushes, the eighth would go off more than eight seconds after 09:30.
by_0930_and_a_bit() { [ "$(now_ms)" -le $((STARTED + 6000 + 3000)) ] && all_above; }
check "all eight go off by 09:30:03, though each flush takes a second" wait_until 10 by_0930_and_a_bit
if wait_until 25 all_ringing; then
    pass "all eight saves reach the file"
else
    fail "all eight saves reach the file (ALARM: $(alarms))"
fi

finish
