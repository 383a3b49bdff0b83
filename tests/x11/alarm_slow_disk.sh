#!/bin/bash
# SPDX-License-Identifier: MIT
# Eight notes due in the same minute on a disk where every save takes 200 ms:
# the first alarm's save pushes the later notes' ticks out of second 00, and
# every one of them must still go off.
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
start_and_wait LD_PRELOAD="$FAKETIME_LIB $SHIM" FAKETIME="@$TODAY 09:29:54" NOPI_FAULT_FSYNC_DELAY_MS=200
require "the eight notes come up" 15 note_roles_are "Form3 Form4 Form5 Form6 Form7 Form8 Form9 Form10"
expect_eq "before 09:30 no alarm has gone off" "1 1 1 1 1 1 1 1 " "$(alarms)"

if wait_until 25 all_ringing; then
    pass "at 09:30 all eight alarms go off, though each save takes 200 ms"
else
    fail "at 09:30 all eight alarms go off, though each save takes 200 ms (ALARM: $(alarms))"
fi
for slot in 3 10; do
    check "Form$slot is kept above" has_state "$(window_of Form$slot)" _NET_WM_STATE_ABOVE
done

finish
