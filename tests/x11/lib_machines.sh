# SPDX-License-Identifier: MIT
# Sourced after lib.sh by the tests of notes shared between machines.

# ---- Several machines ----------------------------------------------------------
# Notes shared between machines: one display and one copy of the program per
# machine, each with its own home, runtime folder and lock. The helpers above
# act on one display and one copy, named by these variables; on_display N
# swaps in machine N's set, and on N COMMAND... runs one command there and
# comes back. TOP is the test's own folder; machine N's is $TOP/dN.

MACHINE_VARS="WORK CONFIG_DIR INI DISPLAY XVFB_PID OPENBOX_PID NOPI_PID NOPI_STATUS ROOT_ID LAUNCHER"
declare -A MACHINES
MACHINE_COUNT=0
CURRENT=""
# Variables naming what the test started besides (a sync engine), stopped first.
MACHINES_STOP=()
# What a failed run shows of nopi.ini: each machine's own file, or the common
# one through machine 1's link.
MACHINE_FILES=each

# make_machines N: machines 1..N, and a trap that ends them all.
make_machines() {
    local n
    TOP=$WORK
    MACHINE_COUNT=$1
    for n in $(seq "$1"); do
        mkdir -p "$TOP/d$n/config/nopi" "$TOP/d$n/home"
        mkdir -m 700 "$TOP/d$n/runtime"
        MACHINES[$n,WORK]=$TOP/d$n
        MACHINES[$n,CONFIG_DIR]=$TOP/d$n/config
        MACHINES[$n,INI]=$TOP/d$n/config/nopi/nopi.ini
    done
    trap end_machines EXIT
}

on_display() {
    local var
    if [ -n "$CURRENT" ]; then
        for var in $MACHINE_VARS; do
            MACHINES[$CURRENT,$var]=${!var-}
        done
    fi
    for var in $MACHINE_VARS; do
        printf -v "$var" '%s' "${MACHINES[$1,$var]-}"
    done
    export DISPLAY
    CURRENT=$1
}

on() {
    local back=$CURRENT status
    on_display "$1"
    shift
    "$@"
    status=$?
    on_display "$back"
    return "$status"
}

end_machines() {
    local status=$? n log pid common=""
    for pid in "${MACHINES_STOP[@]}"; do
        stop_pid "${!pid}"
    done
    [ "$MACHINE_FILES" = common ] && common=${MACHINES[1,INI]}
    for n in $(seq "$MACHINE_COUNT" -1 1); do
        on_display "$n"
        if [ "$status" -ne 0 ] || [ "$FAILS" -ne 0 ]; then
            echo "==== display $n"
            diagnose
            for log in "$WORK"/*.log; do
                [ -s "$log" ] || continue
                echo "---- $(basename "$log") of display $n"
                tail -n 20 "$log"
            done
            if [ "$MACHINE_FILES" = each ] && [ -f "$INI" ]; then
                echo "---- nopi.ini of display $n"
                iconv -f CP932 -t UTF-8 "$INI" 2> /dev/null | tr -d '\r' || cat -v "$INI"
            fi
        fi
        stop_display
    done
    # lib.sh's cleanup shows the test's own logs, and the common file, and
    # removes everything.
    WORK=$TOP
    DISPLAY=""
    INI=$common
    (exit "$status")
    cleanup
}
