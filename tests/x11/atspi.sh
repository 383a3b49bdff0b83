#!/bin/bash
# SPDX-License-Identifier: MIT
# What a screen reader finds and hears: the launcher, the notes and the edit
# screen as frames, their controls as named push buttons that can be pressed,
# the font dialog's lists labelled; a Tab round that activates and focuses
# each window once; each note's text as lines of text; an alert when an alarm
# rings while the user types elsewhere. Read through AT-SPI with pyatspi, on a
# session bus and an accessibility bus the test starts for itself, while Orca
# runs beside it and must speak the note Tab reaches and the ringing alarm.
# A fake wall clock rings the alarm at 09:30.
. "$(dirname "$0")/lib.sh"

PYTHON=/usr/bin/python3
BUS_LAUNCHER=/usr/libexec/at-spi-bus-launcher
for tool in dbus-daemon dbus-send orca "$BUS_LAUNCHER"; do
    command -v "$tool" > /dev/null || { echo "not ok - $tool is missing (scripts/setup test installs it)"; exit 1; }
done
"$PYTHON" -c 'import pyatspi' 2> /dev/null || { echo "not ok - pyatspi is missing (scripts/setup test installs python3-pyatspi)"; exit 1; }
FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketime.so.1 2> /dev/null | head -n 1)
[ -n "$FAKETIME_LIB" ] || { echo "not ok - libfaketime is missing (scripts/setup test installs faketime)"; exit 1; }

ARROW=$(printf '⇔' | iconv -f UTF-8 -t CP932)
{
    launcher_section 100 100
    note_section 3 1 8454143 6000 3000 3000 1500 1 930 "buy milk${ARROW}and bread"
    note_section 4 1 12632319 9000 6000 3000 1500 0 0 "second note"
    note_section 5 1 12648384 3000 6000 3000 1500 0 0 "third${ARROW}note"
} > "$INI"

start_display
start_session_bus
"$BUS_LAUNCHER" --launch-immediately >> "$WORK/at-spi.log" 2>&1 &
HELPER_PIDS+=("$!")
accessibility_bus_up() { dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress > /dev/null 2>&1; }
require "the accessibility bus answers" 10 accessibility_bus_up

# Orca with settings of its own; its debug log holds every word it would say.
ORCA_LOG=$WORK/orca.log
mkdir -p "$WORK/orca"
(exec env HOME="$WORK/orca" XDG_CONFIG_HOME="$WORK/orca/config" XDG_DATA_HOME="$WORK/orca/data" \
    XDG_CACHE_HOME="$WORK/orca/cache" GSETTINGS_BACKEND=memory orca --debug-file="$ORCA_LOG") \
    > "$WORK/orca-output.txt" 2>&1 &
HELPER_PIDS+=("$!")

# The bridge is on whatever the desktop's setting says; GTK's NO_AT_BRIDGE
# from the harness goes too. The alarm rings 17 s after the start.
start_nopi DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@$(date +%F) 09:29:43" env -u NO_AT_BRIDGE
ALARM_AT=$(($(now_ms) / 1000 + 17))
require "the launcher appears" 15 has_window Form1
require "the notes appear" 10 note_roles_are "Form3 Form4 Form5"
orca_says() { grep -q "SPEECH OUTPUT: '$1" "$ORCA_LOG" 2> /dev/null; }
require "Orca is running" 20 orca_says "Screen reader on"

while IFS= read -r line; do
    case "$line" in
        "ok - "*) pass "${line#ok - }" ;;
        "not ok - "*) fail "${line#not ok - }" ;;
        *) echo "$line" ;;
    esac
done < <(timeout 90 "$PYTHON" "$(dirname "$0")/atspi_tree.py" "$WORK/tree.log" "$(window_of Form1)" "$ALARM_AT" \
             2> "$WORK/pyatspi.log")

if wait_until 5 nopi_exited; then
    pass "the quit mark pressed through its action ends the program"
    expect_eq "the program exits with 0" 0 "$NOPI_STATUS"
else
    fail "the quit mark pressed through its action ends the program"
fi
check "Orca speaks the note Tab reaches, by its first line" orca_says "buy milk frame"
check "Orca speaks the alarm when it rings" orca_says "notification アラーム 09:30 — buy milk"
[ "$FAILS" -eq 0 ] || { echo "---- accessibility tree"; cat "$WORK/tree.log"; echo "---- what Orca said"; grep "SPEECH OUTPUT" "$ORCA_LOG"; }

finish
