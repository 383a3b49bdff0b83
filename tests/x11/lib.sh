# SPDX-License-Identifier: MIT
# Shared harness of the real-window tests, sourced by each test script with the
# program's path as the script's first argument.
#
# Every test gets a display of its own (Xvfb with openbox on it), its own
# settings, runtime and home folders, so tests run side by side without
# seeing one another's windows, lock or nopi.ini. Whatever the harness starts
# it stops on the way out, also when a check fails half-way.
#
# Checks print "ok - ..." or "not ok - ..."; finish() ends the script with the
# number of failed checks, so one run shows every fault, not only the first.
# A check that leaves nothing sensible to do next (no window to click) uses
# require(), which stops the script there.

set -u
export LC_ALL=C.UTF-8

NOPI=$(readlink -f "${1:?usage: $0 path/to/nopi}")
[ -x "$NOPI" ] || { echo "not ok - no program at $NOPI"; exit 1; }
for tool in Xvfb openbox xdotool xprop xwininfo xmessage iconv awk; do
    command -v "$tool" > /dev/null || { echo "not ok - $tool is missing (scripts/setup test installs it)"; exit 1; }
done

WORK=$(mktemp -d /tmp/nopi-x11.XXXXXX)
CONFIG_DIR=$WORK/config
INI=$CONFIG_DIR/nopi/nopi.ini
mkdir -p "$CONFIG_DIR/nopi" "$WORK/home"
mkdir -m 700 "$WORK/runtime"

FAILS=0
XVFB_PID=""
# What a test starts beside the display (a session bus, an input method),
# ended after it, the last started first.
HELPER_PIDS=()
OPENBOX_PID=""
NOPI_PID=""
NOPI_STATUS=""

# ---- Ending ----------------------------------------------------------------

stop_pid() {
    local pid=$1 i
    [ -n "$pid" ] || return 0
    kill "$pid" 2> /dev/null || return 0
    for i in $(seq 30); do
        kill -0 "$pid" 2> /dev/null || break
        sleep 0.1
    done
    kill -9 "$pid" 2> /dev/null
    wait "$pid" 2> /dev/null
    return 0
}

# diagnose: what the display showed when a check failed.
diagnose() {
    [ -n "${DISPLAY:-}" ] || return 0
    echo "---- display $DISPLAY; program $( [ -n "$NOPI_PID" ] && kill -0 "$NOPI_PID" 2> /dev/null && echo "running" || echo "not running (status ${NOPI_STATUS:-?})")"
    local id
    for id in $(xdotool search --class '^nopi$' 2> /dev/null); do
        echo "window $id $(xprop -id "$id" WM_WINDOW_ROLE 2> /dev/null | sed 's/.*= //') $(xwininfo -id "$id" 2> /dev/null | awk '/Map State:/ { print $3 } /-geometry/ { print $2 }' | tr '\n' ' ')"
    done
}

# stop_display: ends the program, the window manager and the display, and
# forgets them.
stop_display() {
    stop_pid "$NOPI_PID"
    stop_pid "$OPENBOX_PID"
    stop_pid "$XVFB_PID"
    NOPI_PID=""
    OPENBOX_PID=""
    XVFB_PID=""
}

cleanup() {
    local status=$? i
    if [ "$status" -ne 0 ] || [ "$FAILS" -ne 0 ]; then
        diagnose
    fi
    stop_display
    for ((i = ${#HELPER_PIDS[@]} - 1; i >= 0; i--)); do
        stop_pid "${HELPER_PIDS[i]}"
    done
    if [ "$status" -ne 0 ] || [ "$FAILS" -ne 0 ]; then
        local log
        for log in "$WORK"/*.log; do
            [ -s "$log" ] || continue
            echo "---- $(basename "$log")"
            tail -n 30 "$log"
        done
        if [ -f "$INI" ]; then
            echo "---- nopi.ini"
            iconv -f CP932 -t UTF-8 "$INI" 2> /dev/null | tr -d '\r' || cat -v "$INI"
        fi
    fi
    rm -rf "$WORK"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# ---- Checks -----------------------------------------------------------------

pass() { echo "ok - $*"; }
fail() { echo "not ok - $*"; FAILS=$((FAILS + 1)); }

# check DESCRIPTION COMMAND...: the command's success is the check.
check() {
    local description=$1
    shift
    if "$@"; then pass "$description"; else fail "$description"; fi
}

# expect_eq DESCRIPTION EXPECTED ACTUAL
expect_eq() {
    if [ "$2" = "$3" ]; then
        pass "$1"
    else
        fail "$1 (expected '$2', got '$3')"
    fi
}

# now_ms: the wall clock in milliseconds. Deadlines need better than
# $SECONDS, whose whole seconds would make "for 1 s" anything from 0 to 1 s.
now_ms() {
    local now=${EPOCHREALTIME/[.,]/}
    echo $((now / 1000))
}

# wait_until SECONDS COMMAND...: polls the command until it succeeds or the
# deadline passes; the exit status tells which.
wait_until() {
    local deadline=$(($(now_ms) + $1 * 1000))
    shift
    while :; do
        "$@" && return 0
        [ "$(now_ms)" -ge "$deadline" ] && break
        sleep 0.1
    done
    "$@"
}

# holds_for SECONDS COMMAND...: the command keeps succeeding for the whole
# period. For "nothing happens" checks, which can only be watched, not awaited.
holds_for() {
    local deadline=$(($(now_ms) + $1 * 1000))
    shift
    while [ "$(now_ms)" -lt "$deadline" ]; do
        "$@" || return 1
        sleep 0.1
    done
    "$@"
}

eventually() {
    local description=$1 seconds=$2
    shift 2
    if wait_until "$seconds" "$@"; then pass "$description"; else fail "$description"; fi
}

require() {
    local description=$1 seconds=$2
    shift 2
    if wait_until "$seconds" "$@"; then
        pass "$description"
    else
        fail "$description"
        echo "stopping: nothing sensible to check without it"
        exit 1
    fi
}

finish() {
    if [ "$FAILS" -eq 0 ]; then
        echo "all checks passed"
        exit 0
    fi
    echo "$FAILS check(s) failed"
    exit 1
}

# ---- Display ----------------------------------------------------------------

# The window manager start_display runs: openbox, unless the test chose
# another with start_display_with.
WINDOW_MANAGER=(openbox --sm-disable)

# start_display_with COMMAND...: start_display with another window manager.
# It must announce itself with _NET_SUPPORTING_WM_CHECK on the root, as
# openbox does.
start_display_with() {
    WINDOW_MANAGER=("$@")
    start_display
}

start_display() {
    local attempt
    # A display that another test is just closing can still answer on the
    # number ours was given, and our first clients then reach the dying one.
    # Whatever fails to come up is started once more.
    for attempt in 1 2 3; do
        try_display && return 0
        echo "# display ${DISPLAY:-?} did not come up (try $attempt): $(tail -n 1 "$WORK/openbox.log" 2> /dev/null)"
        stop_display
    done
    echo "not ok - no display with a window manager after three tries"
    exit 1
}

try_display() {
    local i
    rm -f "$WORK/display"
    # -displayfd lets the server pick a free display number, so parallel tests
    # do not fight over one.
    Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp 3> "$WORK/display" >> "$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    for i in $(seq 100); do
        grep -q '^[0-9][0-9]*$' "$WORK/display" 2> /dev/null && break
        kill -0 "$XVFB_PID" 2> /dev/null || return 1
        sleep 0.1
    done
    grep -q '^[0-9][0-9]*$' "$WORK/display" 2> /dev/null || return 1
    export DISPLAY=":$(head -n 1 "$WORK/display")"

    HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config "${WINDOW_MANAGER[@]}" >> "$WORK/openbox.log" 2>&1 &
    OPENBOX_PID=$!
    # openbox manages windows only once it has announced itself on the root;
    # an openbox that could not reach the display has ended by then.
    wait_until 10 window_manager_settled || return 1
    kill -0 "$OPENBOX_PID" 2> /dev/null || return 1
    if [ "${WINDOW_MANAGER[0]}" = openbox ]; then
        wait_until 10 window_manager_listens || return 1
    fi
    ROOT_ID=$(xwininfo -root | awk '/Window id:/ { print $4; exit }')
    ROOT_ID=$((ROOT_ID))
}

# window_manager_listens: a window mapped now is managed. openbox announces
# itself before it has finished starting, and a window mapped meanwhile is
# left unmapped for good, so a probe window is mapped until one is managed.
# (The tests' own window managers place windows in the order they come: no
# probe may go first there.)
window_manager_listens() {
    local pid managed=1
    xmessage -name nopi-probe -geometry +0+0 -timeout 3 probe > /dev/null 2>&1 &
    pid=$!
    wait_until 1 probe_managed && managed=0
    kill "$pid" 2> /dev/null
    wait "$pid" 2> /dev/null
    return "$managed"
}
probe_managed() {
    local id
    id=$(xdotool search --classname '^nopi-probe$' 2> /dev/null | head -n 1)
    [ -n "$id" ] && xwininfo -id "$id" 2> /dev/null | grep -q 'Map State: IsViewable'
}

# window_manager_settled: openbox has announced itself, or has given up.
window_manager_settled() {
    kill -0 "$OPENBOX_PID" 2> /dev/null || return 0
    xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id'
}

# ---- The program --------------------------------------------------------------

# nopi_env COMMAND...: runs a command in the program's environment on this
# display: its own settings, runtime folder (the single-instance lock) and home.
# It execs, so a background nopi_env's pid is the program's own. Without a
# sound server of the test's own, the program finds none, rather than start
# or reach the user's.
nopi_env() {
    exec env -u QT_QPA_PLATFORM -u SESSION_MANAGER -u DBUS_SESSION_BUS_ADDRESS \
        HOME="$WORK/home" XDG_CONFIG_HOME="$CONFIG_DIR" XDG_RUNTIME_DIR="$WORK/runtime" \
        NO_AT_BRIDGE=1 QT_LOGGING_RULES="qt.multimedia*=false" \
        PULSE_SERVER="${PULSE_SERVER:-unix:$WORK/no-sound-server}" \
        "$@"
}

# start_nopi [VAR=VALUE...]: starts the program in the background; extra
# environment (a fake clock) goes before it.
start_nopi() {
    (nopi_env "$@" "$NOPI") >> "$WORK/nopi.log" 2>&1 &
    NOPI_PID=$!
}

nopi_running() {
    kill -0 "$NOPI_PID" 2> /dev/null
}

# nopi_exited: true once the program has ended; its exit code goes to
# NOPI_STATUS.
nopi_exited() {
    nopi_running && return 1
    wait "$NOPI_PID" 2> /dev/null
    NOPI_STATUS=$?
    NOPI_PID=""
    return 0
}

# ---- Windows ------------------------------------------------------------------

# viewable_windows: "ROLE ID" for every mapped top-level window of the program.
# Qt's hidden helper windows carry no role or are not mapped.
viewable_windows() {
    local id role
    for id in $(xdotool search --class '^nopi$' 2> /dev/null); do
        role=$(xprop -id "$id" WM_WINDOW_ROLE 2> /dev/null | sed -n 's/^WM_WINDOW_ROLE(STRING) = "\(.*\)"$/\1/p')
        [ -n "$role" ] || continue
        xwininfo -id "$id" 2> /dev/null | grep -q 'Map State: IsViewable' || continue
        echo "$role $id"
    done
}

# window_of ROLE: the id of the mapped window with that role, if any.
window_of() {
    viewable_windows | awk -v role="$1" '$1 == role { print $2; exit }'
}

note_roles_are() { [ "$(note_roles)" = "$1" ]; }

has_window() { [ -n "$(window_of "$1")" ]; }
lacks_window() { [ -z "$(window_of "$1")" ]; }

# note_roles: the roles of the mapped note windows, sorted, on one line.
note_roles() {
    viewable_windows | awk '$1 ~ /^Form([3-9]|1[0-7])$/ { print $1 }' | sort -V | tr '\n' ' ' | sed 's/ $//'
}

# geometry ID: sets GX GY (place on the screen) and GW GH (size) of a window.
geometry() {
    local info
    # Without an id, xwininfo waits for a click on some window.
    [ -n "$1" ] || return 1
    info=$(xwininfo -id "$1" 2> /dev/null) || return 1
    GX=$(awk '/Absolute upper-left X:/ { print $4 }' <<< "$info")
    GY=$(awk '/Absolute upper-left Y:/ { print $4 }' <<< "$info")
    GW=$(awk '/^ *Width:/ { print $2 }' <<< "$info")
    GH=$(awk '/^ *Height:/ { print $2 }' <<< "$info")
}

# geometry_is ID "X Y W H"; place_is ID "X Y"; size_is ID "W H"
geometry_is() { geometry "$1" && [ "$GX $GY $GW $GH" = "$2" ]; }
place_is() { geometry "$1" && [ "$GX $GY" = "$2" ]; }
size_is() { geometry "$1" && [ "$GW $GH" = "$2" ]; }

# shape_extents ID: the bounding box of the window's X shape as xwininfo
# prints it, e.g. "108x43+3+24".
shape_extents() {
    xwininfo -shape -id "$1" 2> /dev/null | awk '/Window shape extents:/ { print $4 }'
}

shape_is() { [ "$(shape_extents "$1")" = "$2" ]; }

net_wm_state() {
    [ -n "$1" ] || return 1
    xprop -id "$1" _NET_WM_STATE 2> /dev/null
}

has_state() { net_wm_state "$1" | grep -q "$2"; }
lacks_state() {
    local state
    state=$(net_wm_state "$1") || return 1
    ! grep -q "$2" <<< "$state"
}

# under_pointer X Y: the top-level (or window manager frame) that receives the
# pointer at a screen point; the root's id where nothing is. The shape cuts
# input as well as drawing, so this probes it pixel by pixel.
under_pointer() {
    xdotool mousemove "$1" "$2" 2> /dev/null
    xdotool getmouselocation --shell 2> /dev/null | sed -n 's/^WINDOW=//p'
}

shows_window_at() { [ "$(under_pointer "$1" "$2")" != "$ROOT_ID" ]; }
shows_root_at() { [ "$(under_pointer "$1" "$2")" = "$ROOT_ID" ]; }

# problem_box_ids: the message boxes that tell of a settings file that cannot
# be read or saved.
problem_box_ids() { viewable_windows | awk '$1 == "NopiProblem" { print $2 }'; }
has_problem_box() { [ -n "$(problem_box_ids)" ] && window_titled Nopi > /dev/null; }

active_is() { [ "$(xdotool getactivewindow 2> /dev/null)" = "$1" ]; }

# viewable_top_level: the ids of the windows mapped straight on the root,
# the window manager's frames and menus among them.
viewable_top_level() {
    local id
    for id in $(xwininfo -root -children 2> /dev/null | awk '$1 ~ /^0x/ { print $1 }'); do
        xwininfo -id "$id" 2> /dev/null | grep -q 'Map State: IsViewable' && echo "$id"
    done
}

pid_gone() { ! kill -0 "$1" 2> /dev/null; }

# second_start NAME: starts the program again beside the running copy and
# checks that it ends within 3 s with status 0.
second_start() {
    local pid
    (nopi_env "$NOPI") > "$WORK/second.log" 2>&1 &
    pid=$!
    if wait_until 3 pid_gone "$pid"; then
        pass "$1 ends within 3 s"
        wait "$pid"
        expect_eq "$1 exits with 0" 0 "$?"
    else
        fail "$1 ends within 3 s"
        kill -9 "$pid" 2> /dev/null
    fi
}

# tooltip_shown: a tool tip of the program is on screen.
tooltip_shown() {
    local id
    for id in $(xdotool search --class '^nopi$' 2> /dev/null); do
        xprop -id "$id" _NET_WM_WINDOW_TYPE 2> /dev/null | grep -q _NET_WM_WINDOW_TYPE_TOOLTIP || continue
        xwininfo -id "$id" 2> /dev/null | grep -q 'Map State: IsViewable' && return 0
    done
    return 1
}

# window_titled TEXT: a mapped window whose name is exactly TEXT.
window_titled() {
    local id
    for id in $(xdotool search --name '.' 2> /dev/null); do
        xwininfo -id "$id" 2> /dev/null | grep -q 'Map State: IsViewable' || continue
        if xprop -id "$id" _NET_WM_NAME 2> /dev/null | grep -qF "= \"$1\""; then
            echo "$id"
            return 0
        fi
    done
    return 1
}

# ---- Pointer ---------------------------------------------------------------------
# Presses are held ~90 ms: an instant click can end before the program's own
# move loop has started, which is not what a hand does.

click_at() {
    xdotool mousemove "$1" "$2" mousedown "${3:-1}" sleep 0.09 mouseup "${3:-1}"
}

double_click_at() {
    xdotool mousemove "$1" "$2" mousedown 1 sleep 0.09 mouseup 1 sleep 0.05 mousedown 1 sleep 0.09 mouseup 1
}

# drag X Y DX DY [BUTTON]: press at X Y, move in eight steps by DX DY, release.
drag() {
    local x=$1 y=$2 dx=$3 dy=$4 button=${5:-1} i steps=()
    for i in 1 2 3 4 5 6 7 8; do
        steps+=(mousemove $((x + dx * i / 8)) $((y + dy * i / 8)) sleep 0.03)
    done
    xdotool mousemove "$x" "$y" mousedown "$button" sleep 0.09 "${steps[@]}" sleep 0.05 mouseup "$button"
}

# ---- nopi.ini -------------------------------------------------------------------
# Section and key names match case-insensitively; values are raw bytes (CP932)
# with the CR of the line end removed.

ini_value_as_written() {
    [ -f "$INI" ] || return 1
    LC_ALL=C awk -v section="$1" -v key="$2" '
        { sub(/\r$/, "") }
        /^[ \t]*\[/ {
            name = $0; sub(/^[ \t]*\[/, "", name); sub(/\].*$/, "", name)
            inside = toupper(name) == toupper(section)
            next
        }
        inside {
            eq = index($0, "="); if (eq == 0) next
            k = substr($0, 1, eq - 1); gsub(/^[ \t]+|[ \t]+$/, "", k)
            if (toupper(k) == toupper(key)) { print substr($0, eq + 1); found = 1; exit }
        }
        END { exit !found }' "$INI"
}

# ini_get trims the value as the program (and any profile reader) does on
# reading; ini_raw keeps it as written.
ini_raw() {
    ini_value_as_written "$@"
}

ini_get() {
    local value
    value=$(ini_value_as_written "$@") || return 1
    value="${value#"${value%%[! ]*}"}"
    printf '%s\n' "${value%"${value##*[! ]}"}"
}

# ini_num SECTION KEY: a number's value without the blank the program puts
# before non-negative numbers.
ini_num() {
    local value
    value=$(ini_get "$1" "$2") || return 1
    echo "${value// /}"
}

ini_num_is() { [ "$(ini_num "$1" "$2")" = "$3" ]; }

# ini_nums_are SECTION "KEY..." "VALUE...": several numbers at once, so a
# poll sees them change together.
ini_nums_are() {
    local key actual=()
    for key in $2; do
        actual+=("$(ini_num "$1" "$key")")
    done
    [ "${actual[*]}" = "$3" ]
}

# ini_keys SECTION: the section's key names, upper case, on one line; the
# stamp of who changed what (SYNC), which no other reader of the file knows,
# aside.
ini_keys() {
    [ -f "$INI" ] || return 1
    LC_ALL=C awk -v section="$1" '
        { sub(/\r$/, "") }
        /^[ \t]*\[/ {
            name = $0; sub(/^[ \t]*\[/, "", name); sub(/\].*$/, "", name)
            inside = toupper(name) == toupper(section); next
        }
        inside && index($0, "=") {
            k = substr($0, 1, index($0, "=") - 1); gsub(/^[ \t]+|[ \t]+$/, "", k)
            if (toupper(k) != "SYNC") printf "%s ", toupper(k)
        }' "$INI" | sed 's/ $//'
}

ALL_KEYS="SIYOU B_COLOR POJIX POJIY YOKO TATE ALARM A_TIME NAIYOU FNAME FSIZE FBOLD FITALIC"

# ini_values: every "SECTION KEY=value" of the file, blanks around values
# dropped, in file order: what the file means, not how it is spelt (nor the
# stamp of who changed it).
ini_values() {
    LC_ALL=C awk '
        { sub(/\r$/, "") }
        /^[ \t]*\[/ { section = $0; sub(/^[ \t]*\[/, "", section); sub(/\].*$/, "", section); section = toupper(section); next }
        index($0, "=") {
            k = substr($0, 1, index($0, "=") - 1); v = substr($0, index($0, "=") + 1)
            gsub(/^[ \t]+|[ \t]+$/, "", k); gsub(/^[ \t]+|[ \t]+$/, "", v)
            if (toupper(k) != "SYNC") print section " " toupper(k) "=" v
        }' "$1"
}

# section_values FILE SECTION: the "SECTION KEY=value" lines of one section.
section_values() {
    ini_values "$1" | LC_ALL=C awk -v section="$2" 'toupper(section) == $1'
}

# note_file_matches_window SECTION ID: the section's place and size are the
# window's, in twips.
note_file_matches_window() {
    geometry "$2" || return 1
    ini_nums_are "$1" "POJIX POJIY YOKO TATE" "$((GX * 15)) $((GY * 15)) $((GW * 15)) $((GH * 15))"
}

# snapshot NAME: keeps a copy of the file, and its inode and mtime, to
# compare with later. Every save replaces the file, so even a save of the same
# bytes shows as a new inode.
file_stamp() { stat -c '%i %y' "$INI" 2> /dev/null; }
snapshot() {
    cp -p "$INI" "$WORK/$1.ini"
    file_stamp > "$WORK/$1.stamp"
}
unchanged_since() { cmp -s "$INI" "$WORK/$1.ini" && [ "$(file_stamp)" = "$(cat "$WORK/$1.stamp")" ]; }
same_values_as() { [ "$(ini_values "$INI")" = "$(ini_values "$WORK/$1.ini")" ]; }

# The edit screen's default font, as the file holds it.
FONT_CP932=$(printf 'ＭＳ Ｐゴシック' | iconv -f UTF-8 -t CP932)

# note_section SLOT SIYOU B_Color POJIX POJIY YOKO TATE ALARM A_TIME NAIYOU
#              [FName FSize FBold FItalic]: one note's section, CRLF ended, as
# the program writes it.
note_section() {
    local slot=$1
    printf '[FORM%s]\r\n' "$slot"
    printf 'SIYOU= %s\r\nB_Color= %s\r\nPOJIX= %s\r\nPOJIY= %s\r\nYOKO= %s\r\nTATE= %s\r\nALARM= %s\r\nA_TIME= %s\r\n' \
        "$2" "$3" "$4" "$5" "$6" "$7" "$8" "$9"
    printf 'NAIYOU=%s\r\nFName=%s\r\nFSize= %s\r\nFBold=%s\r\nFItalic=%s\r\n' \
        "${10}" "${11:-$FONT_CP932}" "${12:-10}" "${13:-False}" "${14:-False}"
}

# launcher_section X Y: [FORM1] with the launcher's place in pixels.
launcher_section() {
    note_section 1 1 8454143 $(($1 * 15)) $(($2 * 15)) 0 0 0 0 ""
}

# ---- Common steps ----------------------------------------------------------------

# start_and_wait: starts the program and waits for its launcher. LAUNCHER is
# the launcher's window id.
start_and_wait() {
    start_display
    start_nopi "$@"
    # On a loaded machine a display can come up with a window manager that
    # never maps what it is asked to (seen with the windows left unmapped at
    # 0,0). Such a display is replaced once; a program that shows no launcher
    # on a sound one still fails.
    if ! wait_until 15 has_window Form1; then
        echo "# no launcher on display $DISPLAY: $(diagnose | tr '\n' ' ')"
        stop_display
        start_display
        start_nopi "$@"
    fi
    require "the launcher Form1 appears" 15 has_window Form1
    LAUNCHER=$(window_of Form1)
}

# ---- The edit screen ----------------------------------------------------------

# edit_client ID: sets CX CY, the screen place of the edit screen's client
# area, which lies under its own 3-pixel border and 21-pixel caption strip.
edit_client() {
    geometry "$1" || return 1
    CX=$((GX + 3))
    CY=$((GY + 24))
}

# ---- Sound ------------------------------------------------------------------------
# A PulseAudio server of the test's own: a null sink, which plays into nothing
# at the pace of a real card, behind a socket in WORK that any client may use.
# PULSE_SERVER names it to the program and to pactl alike.

SOUND_SERVER_PID=""

start_sound_server() {
    local tool
    for tool in pulseaudio pactl; do
        command -v "$tool" > /dev/null || { echo "not ok - $tool is missing (scripts/setup test installs it)"; exit 1; }
    done
    mkdir -m 700 "$WORK/pulse"
    export PULSE_SERVER="unix:$WORK/pulse/native"
    # Run by root, as in a CI container, it warns and runs; --system is a
    # different, shared server. Its home, runtime and state stay in WORK; it
    # asks nobody (rtkit, over the system bus) for a higher priority.
    (exec env -u DBUS_SESSION_BUS_ADDRESS HOME="$WORK/pulse" XDG_RUNTIME_DIR="$WORK/pulse" \
        PULSE_RUNTIME_PATH="$WORK/pulse/runtime" PULSE_STATE_PATH="$WORK/pulse/state" \
        pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no \
        --realtime=no --high-priority=no --log-target=stderr \
        -L module-null-sink -L "module-native-protocol-unix auth-anonymous=1 socket=$WORK/pulse/native") \
        >> "$WORK/pulseaudio.log" 2>&1 &
    SOUND_SERVER_PID=$!
    trap 'stop_sound_server_then_clean_up' EXIT
    require "the test's sound server answers" 10 sound_server_answers
}

stop_sound_server_then_clean_up() {
    local status=$?
    stop_pid "$SOUND_SERVER_PID"
    (exit "$status")
    cleanup
}

pactl_quiet() { HOME="$WORK/pulse" pactl "$@" 2> /dev/null; }
sound_server_answers() { pactl_quiet info > /dev/null; }

# sound_streams: how many playback streams the server holds. The server is
# the test's own, so every one is the program's, whichever part of it plays.
# It fails when the server does not answer, so that no answer never passes
# for silence.
sound_streams() {
    local streams
    streams=$(pactl_quiet list short sink-inputs) || return 1
    grep -c . <<< "$streams"
    return 0
}

program_sounds() { [ "$(sound_streams)" -gt 0 ] 2> /dev/null; }
program_silent() { [ "$(sound_streams)" = 0 ]; }

# hold_sound / release_sound: a suspended sink takes no more samples, so a
# stream that is playing stays open until its program stops it, however short
# its sound.
hold_sound() { pactl_quiet suspend-sink @DEFAULT_SINK@ 1; }
release_sound() { pactl_quiet suspend-sink @DEFAULT_SINK@ 0; }

# ---- Pictures --------------------------------------------------------------------

# window_picture ID: a checksum of what the window shows on the screen.
window_picture() {
    command -v xwd > /dev/null || { echo "not ok - xwd is missing (scripts/setup test installs x11-apps)" >&2; return 1; }
    [ -n "$1" ] || return 1
    xwd -silent -id "$1" > "$WORK/picture.xwd" 2> /dev/null || return 1
    md5sum < "$WORK/picture.xwd" | cut -c1-32
}

# pictures_over MILLISECONDS ID: the distinct pictures the window showed,
# sampled every 0.1 s, one a line.
pictures_over() {
    local deadline=$(($(now_ms) + $1))
    while [ "$(now_ms)" -lt "$deadline" ]; do
        window_picture "$2"
        sleep 0.1
    done | sort -u
}

# blinks ID PICTURE: within 2 s the window shows PICTURE and something else.
blinks() {
    local seen
    seen=$(pictures_over 2000 "$1")
    grep -qx "$2" <<< "$seen" && [ "$(wc -l <<< "$seen")" -ge 2 ]
}

# shows_steadily ID PICTURE: the window shows PICTURE and nothing else for 1.5 s.
shows_steadily() { [ "$(pictures_over 1500 "$1")" = "$2" ]; }

# settled_picture ID: the window's picture once it has stayed the same for
# 1.5 s, waiting up to 10 s; nothing when it never settles.
settled_picture() {
    local deadline=$(($(now_ms) + 10000)) seen
    while [ "$(now_ms)" -lt "$deadline" ]; do
        seen=$(pictures_over 1500 "$1")
        if [ -n "$seen" ] && [ "$(wc -l <<< "$seen")" -eq 1 ]; then
            echo "$seen"
            return 0
        fi
    done
    return 1
}

# A session bus and an input method, for the tests that need them.
. "$(dirname "${BASH_SOURCE[0]}")/lib_services.sh"
