// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>

// The one place the program asks for the time, so tests can stand at 09:29:59
// and step to 09:30:00 without waiting for the real clock.
namespace Clock {

// Local wall-clock time. The zone's offset from UTC is looked up again when
// the minute changes (zones change their offset only on whole minutes) or
// the clock jumps, not at every call: each lookup stats /etc/localtime.
QDateTime now();

void setFixed(const QDateTime &moment);
void useSystemClock();

// What now() gives for the system clock at `utcMSecs` when a steady clock
// (one that never jumps) stands at `steadyMSecs`, keeping the offset it
// looked up last. now() passes the system's clocks; tests pass a jump.
QDateTime localTime(qint64 utcMSecs, qint64 steadyMSecs);

}
