# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# Functions scripts/bench shares among its measurements, sourced by it:
# ending everything it started, figures from lists of numbers, the display
# with its window manager and session bus, the programs' homes, and what the
# kernel says of a running program (CPU, wake-ups, memory). They use the
# script's WORK, LOGS, idle_seconds and die.

# ---- Ending -------------------------------------------------------------------

XVFB_PID=""
OPENBOX_PID=""
BUS_PID=""
RUN_PID=""      # bench_mapped --stay, which waits for the program
PROGRAM_PID=""  # the program it started

stop_pid() {
    local pid=$1
    [ -n "$pid" ] || return 0
    if kill "$pid" 2> /dev/null; then
        for _ in $(seq 50); do
            kill -0 "$pid" 2> /dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2> /dev/null || true
    fi
    wait "$pid" 2> /dev/null || true
}

cleanup() {
    local status=$?
    set +e
    stop_pid "$PROGRAM_PID"
    stop_pid "$RUN_PID"
    stop_pid "$OPENBOX_PID"
    stop_pid "$XVFB_PID"
    stop_pid "$BUS_PID"
    cp "$WORK"/*.log "$LOGS"/ 2> /dev/null
    rm -rf "$WORK"
    exit "$status"
}

# ---- Figures -----------------------------------------------------------------

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR) printf "%.1f\n", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
lowest() { sort -g | head -n 1; }
highest() { sort -g | tail -n 1; }

# ratio A B: A/B with two decimals, or nothing when either is missing.
ratio() {
    [ -n "$1" ] && [ -n "$2" ] || return 0
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f\n", a / b }'
}

# verdict VALUE LIMIT: "met" when VALUE <= LIMIT (or < with "below").
verdict() {
    local value=$1 limit=$2 strict=${3:-}
    [ -n "$value" ] || { echo "no figure"; return 0; }
    awk -v v="$value" -v l="$limit" -v s="$strict" 'BEGIN { print ((s ? v < l : v <= l) ? "met" : "MISSED") }'
}

# verdict_both RATIO1 LIMIT1 RATIO2 LIMIT2: one verdict for two targets;
# a missing figure is left out, and said so when both are missing.
verdict_both() {
    local first second
    first=$(verdict "$1" "$2")
    second=$(verdict "$3" "$4")
    if [ "$first" = MISSED ] || [ "$second" = MISSED ]; then
        echo MISSED
    elif [ "$first" = met ] || [ "$second" = met ]; then
        echo met
    else
        echo "no figure"
    fi
}

# ---- Display, window manager, session bus --------------------------------------

# try_display: Xvfb (it picks a free display number itself) with openbox on
# it, as tests/x11/lib.sh starts them; false when either does not come up.
try_display() {
    rm -f "$WORK/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$WORK/display" >> "$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
        grep -q '^[0-9][0-9]*$' "$WORK/display" 2> /dev/null && break
        kill -0 "$XVFB_PID" 2> /dev/null || return 1
        sleep 0.1
    done
    grep -q '^[0-9][0-9]*$' "$WORK/display" 2> /dev/null || return 1
    DISPLAY=":$(head -n 1 "$WORK/display")"
    export DISPLAY
    mkdir -p "$WORK/openbox"
    HOME=$WORK/openbox XDG_CONFIG_HOME=$WORK/openbox/.config openbox --sm-disable >> "$WORK/openbox.log" 2>&1 &
    OPENBOX_PID=$!
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' && return 0
        kill -0 "$OPENBOX_PID" 2> /dev/null || return 1
        sleep 0.1
    done
    return 1
}

# start_display: the display, its window manager and a session bus, or die.
start_display() {
    local attempt
    # A display another program is just closing can still answer on the
    # number ours was given; whatever fails to come up is started again.
    for attempt in 1 2 3; do
        try_display && break
        stop_pid "$OPENBOX_PID"
        stop_pid "$XVFB_PID"
        OPENBOX_PID=""
        XVFB_PID=""
        [ "$attempt" -lt 3 ] || die "no display with openbox after three tries (see $LOGS/xvfb.log, $LOGS/openbox.log)"
    done

    # Users have a session bus; every program talks to this one (Xpad's tray
    # icon looks for a watcher there, and without a bus it tries dbus-launch).
    BUS_ADDRESS=""
    if command -v dbus-daemon > /dev/null 2>&1; then
        dbus-daemon --session --nofork --nopidfile --print-address=3 3> "$WORK/bus" > "$WORK/bus.log" 2>&1 &
        BUS_PID=$!
        for _ in $(seq 50); do
            [ -s "$WORK/bus" ] && break
            sleep 0.1
        done
        BUS_ADDRESS=$(head -n 1 "$WORK/bus" 2> /dev/null)
        [ -n "$BUS_ADDRESS" ] || die "dbus-daemon gave no address (see $LOGS/bus.log)"
    fi
}

# ---- The programs' homes ----------------------------------------------------------

# home_env NAME COMMAND...: runs COMMAND with NAME's own home, XDG folders and
# runtime folder (Nopi's single-instance lock lives there), on this display.
home_env() {
    local name=$1 home=$WORK/$1/home
    shift
    env -u SESSION_MANAGER -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u DBUS_SESSION_BUS_ADDRESS \
        ${BUS_ADDRESS:+DBUS_SESSION_BUS_ADDRESS=$BUS_ADDRESS} \
        HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
        XDG_CACHE_HOME="$home/.cache" XDG_STATE_HOME="$home/.local/state" XDG_RUNTIME_DIR="$WORK/$name/runtime" \
        NO_AT_BRIDGE=1 QT_LOGGING_RULES="qt.multimedia*=false" "$@"
}

# make_home NAME: an empty home and runtime folder for NAME.
make_home() {
    mkdir -p "$WORK/$1/home/.config" "$WORK/$1/seed"
    mkdir -m 700 "$WORK/$1/runtime"
}

# Xpad's pads: the notes of Nopi's sample, in pixels (15 twips each), with
# their texts, in the files Xpad itself writes (info-* and content-*), and
# the settings file it writes on its first start. With these it shows no
# first-start help window.
seed_xpad() {
    local seed=$WORK/xpad/seed/xpad
    mkdir -p "$seed"
    iconv -f CP932 -t UTF-8 "$WORK/nopi/seed/nopi.ini" | tr -d '\r' | awk -v dir="$seed" '
        function trim(s) { gsub(/^[ \t]+|[ \t]+$/, "", s); return s }
        /^\[/ { section = toupper(substr($0, 2, index($0, "]") - 2)); next }
        index($0, "=") { value[section, toupper(trim(substr($0, 1, index($0, "=") - 1)))] = substr($0, index($0, "=") + 1) }
        END {
            for (slot = 3; slot <= 17; ++slot) {
                s = "FORM" slot
                if (trim(value[s, "SIYOU"]) + 0 != 1) continue
                name = sprintf("seed%02d", slot)
                info = dir "/info-" name
                printf "width %d\nheight %d\nx %d\ny %d\n", value[s, "YOKO"] / 15, value[s, "TATE"] / 15,
                       value[s, "POJIX"] / 15, value[s, "POJIY"] / 15 > info
                printf "follow_font 1\nfollow_color 1\nsticky 0\nhidden 0\n" > info
                printf "back rgb(238,238,236)\ntext rgb(0,0,0)\nfontname Sans 9\ncontent content-%s\n", name > info
                text = value[s, "NAIYOU"]
                gsub(/⇔/, "\n", text)
                printf "%s", text > (dir "/content-" name)
                ++pads
            }
            exit pads == 15 ? 0 : 1
        }' || die "could not seed 15 pads from the sample file"
    cat > "$seed/default-style" << 'EOF'
decorations 0
height 300
width 300
confirm_destroy 1
edit_lock 0
sticky_on_start 0
tray_enabled 1
tray_click_configuration 1
back rgb(255,238,153)
use_back 1
text rgb(0,0,0)
use_text 1
fontname Sans 9
toolbar 1
auto_hide_toolbar 1
scrollbar 1
buttons New, Delete, Separator, Cut, Copy, Paste, Separator, Undo, Redo, Separator, Find
autostart_wait_systray 1
autostart_delay 0
autostart_new_pad 0
autostart_display_pads 2
hide_from_taskbar 0
hide_from_task_switcher 0
line_numbering 0
EOF
    chmod 700 "$seed"
    chmod 600 "$seed"/*
}

# ---- A running program ----------------------------------------------------------------

# cpu_and_switches PID: "TID RUN_NS SWITCHES" for every thread: the time the
# scheduler ran it, and its voluntary and involuntary context switches, each
# switch a wake-up or a preemption. A kernel without schedstat gives the
# user and system time in clock ticks instead, far coarser.
cpu_and_switches() {
    local task hz
    hz=$(getconf CLK_TCK)
    for task in /proc/"$1"/task/*; do
        printf '%s %s %s\n' "${task##*/}" \
            "$(if [ -r "$task/schedstat" ]; then awk '{ print $1 }' "$task/schedstat"
               else awk -v hz="$hz" '{ sub(/^.*\) /, ""); printf "%.0f\n", ($12 + $13) * 1e9 / hz }' "$task/stat"; fi 2> /dev/null)" \
            "$(awk '/ctxt_switches/ { s += $2 } END { print s + 0 }' "$task/status" 2> /dev/null)"
    done
}

# idle NAME PID: CPU ms and wake-ups per minute over idle_seconds, into
# IDLE_CPU and IDLE_WAKEUPS.
idle() {
    local before=$WORK/$1.idle0 after=$WORK/$1.idle1 t0 t1
    cpu_and_switches "$2" > "$before"
    t0=$EPOCHREALTIME
    sleep "$idle_seconds"
    cpu_and_switches "$2" > "$after"
    t1=$EPOCHREALTIME
    kill -0 "$2" 2> /dev/null || die "$1 ended while idle (see $LOGS/$1.log)"
    read -r IDLE_CPU IDLE_WAKEUPS < <(awk -v wall="$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')" '
        NR == FNR { run[$1] = $2; switches[$1] = $3; next }
        { ns += $2 - run[$1]; count += $3 - switches[$1] }
        END { printf "%.1f %.0f\n", ns / 1e6 * 60 / wall, count * 60 / wall }' "$before" "$after")
}

# memory PID: VmRSS and Pss in MiB, into RSS_MIB and PSS_MIB.
memory() {
    RSS_MIB=$(awk '/^VmRSS:/ { printf "%.1f\n", $2 / 1024 }' "/proc/$1/status")
    PSS_MIB=$(awk '/^Pss:/ { printf "%.1f\n", $2 / 1024; exit }' "/proc/$1/smaps_rollup" 2> /dev/null || true)
}

# files_stamp NAME: inode and modification time of every file the program
# keeps, to tell whether it wrote while idle.
files_stamp() {
    case $1 in
        nopi) stat -c '%n %i %.9Y' "$NOPI_DIR"/* ;;
        xpad) stat -c '%n %i %.9Y' "$XPAD_DIR"/* ;;
    esac
}

