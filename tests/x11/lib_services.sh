# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# Services a real-window test can start beside its display, sourced by
# lib.sh: a D-Bus session bus, and on it an input method. What they start
# goes to HELPER_PIDS, which lib.sh ends after the display.

# start_session_bus: a D-Bus session bus of the test's own, exported as
# DBUS_SESSION_BUS_ADDRESS for the tools; the program is handed it by name.
start_session_bus() {
    dbus-daemon --session --fork --nopidfile --print-address=3 --print-pid=4 3> "$WORK/bus.address" 4> "$WORK/bus.pid"
    HELPER_PIDS+=("$(cat "$WORK/bus.pid")")
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$WORK/bus.address")
    export DBUS_SESSION_BUS_ADDRESS
    require "the test's session bus runs" 5 test -n "$DBUS_SESSION_BUS_ADDRESS"
}

# start_input_method: ibus on the session bus with its Japanese engine,
# anthy, in hiragana (kana) mode, as a Japanese user types. The program uses
# it with the environment in INPUT_METHOD_ENV (for start_nopi).
start_input_method() {
    local home=$WORK/ibus tool
    for tool in ibus-daemon ibus gsettings; do
        command -v "$tool" > /dev/null || { echo "not ok - $tool is missing (scripts/setup test installs it)"; exit 1; }
    done
    /usr/bin/python3 -c 'import gi; gi.require_version("IBus", "1.0")' 2> /dev/null \
        || { echo "not ok - python3-gi or gir1.2-ibus-1.0 is missing (scripts/setup test installs them)"; exit 1; }
    # Its settings in a file of the test's own; the engine, a Python
    # program, on the system's Python whatever else PATH offers.
    IBUS_ENV=(env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" GSETTINGS_BACKEND=keyfile
              PATH="/usr/bin:/bin:$PATH")
    mkdir -p "$home"
    "${IBUS_ENV[@]}" gsettings set org.freedesktop.ibus.engine.anthy.common input-mode 0 # hiragana
    "${IBUS_ENV[@]}" ibus-daemon --panel=disable --emoji-extension=disable --config=disable >> "$WORK/ibus.log" 2>&1 &
    HELPER_PIDS+=("$!")
    require "ibus answers" 10 ibus_answers
    "${IBUS_ENV[@]}" ibus engine anthy >> "$WORK/ibus.log" 2>&1
    require "anthy takes the keys as kana" 15 anthy_composes
    INPUT_METHOD_ENV=(DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" QT_IM_MODULE=ibus
                      IBUS_ADDRESS_FILE="$(ls "$home"/config/ibus/bus/* | head -n 1)")
}
ibus_answers() {
    local address
    address=$("${IBUS_ENV[@]}" ibus address 2> /dev/null)
    [ -n "$address" ] && [ "$address" != "(null)" ]
}
# anthy_composes: an input context of its own takes an "n" into a composition.
anthy_composes() {
    "${IBUS_ENV[@]}" /usr/bin/python3 - 2>> "$WORK/ibus.log" << 'EOF'
import sys
import gi
gi.require_version("IBus", "1.0")
from gi.repository import IBus
context = IBus.Bus().create_input_context("probe")
context.set_capabilities(IBus.Capabilite.PREEDIT_TEXT | IBus.Capabilite.FOCUS)
context.focus_in()
composes = context.process_key_event(IBus.KEY_n, 0, 0)
context.reset()
context.focus_out()
sys.exit(0 if composes else 1)
EOF
}
