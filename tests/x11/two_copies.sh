#!/bin/bash
# SPDX-License-Identifier: MIT
# Two copies started at the same instant, fifty times on one display: each
# time exactly one keeps running and shows its windows, the other ends with
# status 0, and the file is what one copy alone writes.
. "$(dirname "$0")/lib.sh"

ROUNDS=${NOPI_ROUNDS:-50}
LOCK=$WORK/runtime/nopi.lock
GATE=$WORK/gate

{
    launcher_section 100 100
    note_section 3 1 8454143 4500 3000 3000 1500 0 0 "two copies"
} > "$INI"
cp "$INI" "$WORK/fixture.ini"

command -v flock > /dev/null || { echo "not ok - flock is missing (util-linux)"; exit 1; }

# The barrier: the harness holds an exclusive flock on the gate while both
# copies queue for a shared one; the kernel wakes both waiters at the same
# unlock, so they reach their own lock within a few milliseconds of each other.
# A copy that came late would only pass the open gate: nothing can hang here.
waiters_at_gate() {
    local inode
    inode=$(stat -c %i "$GATE")
    [ "$(grep -c -- "-> FLOCK .*:$inode " /proc/locks)" -ge 2 ]
}

start_behind_gate() {
    # shellcheck disable=SC2016 # the inner shell expands its own arguments
    (nopi_env sh -c 'flock -s "$1" true; exec "$2"' gate "$GATE" "$NOPI") >> "$WORK/nopi.log" 2>&1 8>&- &
}

# quickly SECONDS COMMAND...: wait_until polling every 20 ms; a round is a
# handful of such waits, and the harness's 100 ms would add seconds to fifty.
quickly() {
    local deadline=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        [ "$(now_ms)" -ge "$deadline" ] && return 1
        sleep 0.02
    done
}

one_has_ended() { pid_gone "$FIRST" || pid_gone "$SECOND"; }
launcher_count() { viewable_windows | awk '$1 == "Form1"' | wc -l; }
lock_free() { flock -n "$LOCK" true; }

start_display

BAD_ROUNDS=0
started=$(now_ms)
for round in $(seq "$ROUNDS"); do
    exec 8> "$GATE"
    flock -x 8
    start_behind_gate
    FIRST=$!
    start_behind_gate
    SECOND=$!
    if ! quickly 10 waiters_at_gate; then
        fail "round $round: both copies wait at the gate"
    fi
    flock -u 8
    exec 8>&-

    # Whichever ends first is the one that lost the lock.
    if ! quickly 10 one_has_ended; then
        fail "round $round: one of the two copies ends within 10 s"
        stop_pid "$FIRST"
        stop_pid "$SECOND"
        BAD_ROUNDS=$((BAD_ROUNDS + 1))
        break
    fi
    if pid_gone "$FIRST"; then LOSER=$FIRST NOPI_PID=$SECOND; else LOSER=$SECOND NOPI_PID=$FIRST; fi
    wait "$LOSER"
    status=$?
    ok=1
    [ "$status" -eq 0 ] || { fail "round $round: the copy that lost exits with 0 (got $status)"; ok=0; }
    if quickly 15 has_window Form3; then
        [ "$(launcher_count)" -eq 1 ] || { fail "round $round: exactly one launcher ($(launcher_count))"; ok=0; }
        nopi_running || { fail "round $round: the other copy keeps running"; ok=0; }
    else
        fail "round $round: the running copy shows its note"
        ok=0
    fi

    # The first round's file, after the one start, is what every later round
    # must leave too.
    if [ "$round" -eq 1 ]; then
        cp "$INI" "$WORK/one_copy.ini"
    elif ! cmp -s "$INI" "$WORK/one_copy.ini"; then
        fail "round $round: nopi.ini is byte for byte what one copy writes"
        ok=0
    fi

    # A clean end between rounds, and the lock with it.
    kill "$NOPI_PID"
    quickly 3 pid_gone "$NOPI_PID" || kill -9 "$NOPI_PID" 2> /dev/null
    wait "$NOPI_PID" 2> /dev/null
    NOPI_PID=""
    quickly 5 lock_free || { fail "round $round: the lock is free once the copy has ended"; ok=0; }
    quickly 5 lacks_window Form1 || { fail "round $round: no launcher is left once the copy has ended"; ok=0; }
    [ "$ok" -eq 1 ] || BAD_ROUNDS=$((BAD_ROUNDS + 1))
done
echo "# $ROUNDS rounds in $(($(now_ms) - started)) ms"

expect_eq "every round ran one copy, ended the other with 0 and kept the file whole" 0 "$BAD_ROUNDS"
expect_eq "one copy's file holds what the file held before" "$(ini_values "$WORK/fixture.ini")" "$(ini_values "$WORK/one_copy.ini")"
check "no save file is left beside nopi.ini" test -z "$(find "$CONFIG_DIR/nopi" -mindepth 1 ! -name nopi.ini)"

finish
