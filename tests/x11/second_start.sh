#!/bin/bash
# SPDX-License-Identifier: MIT
# Starting Nopi again: a lock file nobody holds never stops a start; a start
# while a copy runs ends at once and brings that copy's launcher forward; a
# killed copy's socket does not slow the next start; the command line's
# options leave a running copy alone; the window manager's close request on
# the launcher ends the program as the quit icon does.
. "$(dirname "$0")/lib.sh"

{
    launcher_section 100 100
    note_section 3 1 8454143 6000 3000 3000 1500 0 0 "second start"
} > "$INI"
cp "$INI" "$WORK/fixture.ini"

LOCK=$WORK/runtime/nopi.lock
SOCKET=$WORK/runtime/nopi.socket

launcher_count() { viewable_windows | awk '$1 == "Form1"' | wc -l; }


# launch: starts the program and waits for its launcher; START_MS is how long
# that took.
launch() {
    local started
    started=$(now_ms)
    start_nopi
    require "the launcher appears ($1)" 15 has_window Form1
    START_MS=$(($(now_ms) - started))
    LAUNCHER=$(window_of Form1)
}

# stop_copy: ends the running copy (SIGTERM) and waits until its windows are gone.
stop_copy() {
    stop_pid "$NOPI_PID"
    NOPI_PID=""
    wait_until 5 lacks_window Form1
}

# run_option NAME ARGS...: runs the program with a command-line option while
# the copy runs; its output goes to $WORK/NAME.out, its status to OPTION_STATUS.
run_option() {
    local name=$1
    shift
    (nopi_env "$NOPI" "$@") > "$WORK/$name.out" 2> "$WORK/$name.err" &
    local pid=$!
    if wait_until 3 pid_gone "$pid"; then
        wait "$pid"
        OPTION_STATUS=$?
    else
        kill -9 "$pid" 2> /dev/null
        OPTION_STATUS="still running after 3 s"
    fi
}

start_display

# ---- Lock files nobody holds --------------------------------------------------
: > "$LOCK"
launch "with an empty nopi.lock"
stop_copy
printf '4242\nnopi\nsome-other-host\n' > "$LOCK"
launch "with another host's lock in nopi.lock"
stop_copy
head -c 300 /dev/urandom > "$LOCK"
launch "with garbage in nopi.lock"
require "the note Form3 appears" 10 has_window Form3
FORM3=$(window_of Form3)
snapshot running
RUNNING_PID=$NOPI_PID

# ---- The command line leaves the running copy alone -----------------------------
# Another program has the focus, as when the user starts Nopi from a menu.
xmessage -name other -geometry +600+500 "another program" > /dev/null 2>&1 &
OTHER_PID=$!
other_window_up() { xdotool search --classname '^other$' > /dev/null; }
require "another program's window appears" 10 other_window_up
OTHER=$(xdotool search --classname '^other$' | head -n 1)
timeout 5 xdotool windowactivate --sync "$OTHER" 2> /dev/null
require "the other program's window is active" 3 active_is "$OTHER"
WINDOWS_BEFORE=$(viewable_windows | sort)

run_option help --help
expect_eq "--help exits with 0" 0 "$OPTION_STATUS"
check "--help names the settings file" grep -qxF "  settings: $INI" "$WORK/help.out"
check "--help names the alarm sound" grep -q '^  sound: /.*BEEP$' "$WORK/help.out"
check "--help lists --autostart" grep -q -- '--autostart on|off' "$WORK/help.out"
run_option version --version
expect_eq "--version exits with 0" 0 "$OPTION_STATUS"
check "--version prints the version" grep -qE '^nopi [0-9]+\.[0-9]+' "$WORK/version.out"
run_option bogus --bogus
expect_eq "an unknown option exits with 2" 2 "$OPTION_STATUS"
check "an unknown option is named on stderr" grep -q -- "--bogus" "$WORK/bogus.err"

ENTRY=$WORK/home/.config/autostart/nopi.desktop
(nopi_env env -u XDG_CONFIG_HOME "$NOPI" --autostart on) > "$WORK/on.out" 2>&1
expect_eq "--autostart on exits with 0" 0 "$?"
check "--autostart on writes ~/.config/autostart/nopi.desktop" test -f "$ENTRY"
check "the entry starts this very program" grep -qxF "Exec=$NOPI" "$ENTRY"
check "--autostart on says what it wrote" grep -qF "$ENTRY" "$WORK/on.out"
if command -v desktop-file-validate > /dev/null; then
    check "desktop-file-validate accepts the entry" desktop-file-validate "$ENTRY"
fi
(nopi_env env -u XDG_CONFIG_HOME "$NOPI" --autostart off) > "$WORK/off.out" 2>&1
expect_eq "--autostart off exits with 0" 0 "$?"
check "--autostart off removes the entry" test ! -e "$ENTRY"

check "the options left the other program's window active" active_is "$OTHER"
expect_eq "the options left the running copy's windows as they were" "$WINDOWS_BEFORE" "$(viewable_windows | sort)"
expect_eq "the running copy is the same process" "$RUNNING_PID" "$NOPI_PID"
check "the running copy still runs" nopi_running
check "the options left nopi.ini byte for byte" unchanged_since running

# The new-note button's tool tip shows while another program has the focus.
geometry "$LAUNCHER"
xdotool mousemove $((GX + 88)) $((GY + 40)) sleep 0.1 mousemove $((GX + 92)) $((GY + 44))
eventually "the new-note button's tool tip shows on the inactive launcher" 4 tooltip_shown
xdotool mousemove 900 700
check "hovering left the other program's window active" active_is "$OTHER"

# ---- A second start brings the launcher forward ---------------------------------
# Even from where the user cannot reach it any more.
xdotool windowminimize "$LAUNCHER"
require "the launcher is minimised" 3 lacks_window Form1
check "the other program's window is still active" active_is "$OTHER"
second_start "a second start"
eventually "the minimised launcher is shown again" 3 has_window Form1
eventually "the running copy's launcher becomes the active window" 3 active_is "$LAUNCHER"
expect_eq "still exactly one launcher" 1 "$(launcher_count)"
check "the second start left nopi.ini byte for byte" unchanged_since running
stop_pid "$OTHER_PID"

# ---- The window manager's close request on the launcher ---------------------------
timeout 5 xdotool windowactivate --sync "$LAUNCHER" 2> /dev/null
xdotool key --clearmodifiers alt+F4
if wait_until 5 nopi_exited; then
    pass "Alt+F4 on the launcher ends the program within 5 s"
    expect_eq "the program exits with 0" 0 "$NOPI_STATUS"
else
    fail "Alt+F4 on the launcher ends the program within 5 s"
fi
check "closing left nopi.ini byte for byte" unchanged_since running
eventually "no window of the program is left" 3 test -z "$(viewable_windows)"

# ---- A killed copy's socket --------------------------------------------------------
check "a clean end takes its socket away" test ! -e "$SOCKET"
launch "after a clean end"
NORMAL_MS=$START_MS
kill -9 "$NOPI_PID"
wait "$NOPI_PID" 2> /dev/null
NOPI_PID=""
wait_until 5 lacks_window Form1
check "the killed copy left its socket behind" test -S "$SOCKET"
launch "beside a killed copy's socket"
echo "# launcher after ${NORMAL_MS} ms normally, ${START_MS} ms beside a stale socket"
check "beside a stale socket the launcher is up within 5 s" test "$START_MS" -lt 5000
check "a stale socket costs no more than a second" test "$START_MS" -lt $((NORMAL_MS + 1000))
check "the new copy listens again" test -S "$SOCKET"

finish
