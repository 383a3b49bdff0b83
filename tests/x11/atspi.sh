#!/bin/bash
# SPDX-License-Identifier: MIT
# What a screen reader finds: the launcher, a note and the edit screen as
# frames, their controls as named push buttons that can be pressed, the font
# dialog's lists labelled. Read through AT-SPI with pyatspi, on a session bus
# and an accessibility bus the test starts for itself.
. "$(dirname "$0")/lib.sh"

PYTHON=/usr/bin/python3
BUS_LAUNCHER=/usr/libexec/at-spi-bus-launcher
for tool in dbus-daemon dbus-send "$BUS_LAUNCHER"; do
    command -v "$tool" > /dev/null || { echo "not ok - $tool is missing (scripts/setup test installs it)"; exit 1; }
done
"$PYTHON" -c 'import pyatspi' 2> /dev/null || { echo "not ok - pyatspi is missing (scripts/setup test installs python3-pyatspi)"; exit 1; }

ARROW=$(printf '⇔' | iconv -f UTF-8 -t CP932)
{
    launcher_section 100 100
    note_section 3 1 8454143 6000 3000 3000 1500 1 930 "buy milk${ARROW}and bread"
} > "$INI"

start_display
start_session_bus
"$BUS_LAUNCHER" --launch-immediately >> "$WORK/at-spi.log" 2>&1 &
HELPER_PIDS+=("$!")
accessibility_bus_up() { dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress > /dev/null 2>&1; }
require "the accessibility bus answers" 10 accessibility_bus_up

# The bridge is on whatever the desktop's setting says; GTK's NO_AT_BRIDGE
# from the harness goes too.
start_nopi DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 env -u NO_AT_BRIDGE
require "the launcher appears" 15 has_window Form1
require "the note Form3 appears" 10 has_window Form3

while IFS= read -r line; do
    case "$line" in
        "ok - "*) pass "${line#ok - }" ;;
        "not ok - "*) fail "${line#not ok - }" ;;
        *) echo "$line" ;;
    esac
done < <(timeout 60 "$PYTHON" "$(dirname "$0")/atspi_tree.py" "$WORK/tree.log" 2> "$WORK/pyatspi.log")

if wait_until 5 nopi_exited; then
    pass "the quit mark pressed through its action ends the program"
    expect_eq "the program exits with 0" 0 "$NOPI_STATUS"
else
    fail "the quit mark pressed through its action ends the program"
fi
[ "$FAILS" -eq 0 ] || { echo "---- accessibility tree"; cat "$WORK/tree.log"; }

finish
