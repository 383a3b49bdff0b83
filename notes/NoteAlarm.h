// SPDX-License-Identifier: MIT
#pragma once

#include "store/NoteSettings.h"

#include <QDateTime>
#include <optional>

// What one tick of a note does about its alarm, decided from the section as
// read and the time; no window involved.
namespace NoteAlarm {

enum class Step { Nothing, Fire, Blink };

// The latest moment at or before `now` at which an alarm of this A_TIME goes
// off: hh:mm:00 of today or yesterday, or of its month and day in this or an
// earlier year. None for a value that names no time (minute 60, hour 24,
// month 13, 30 February, a negative number).
std::optional<QDateTime> latestMoment(qint32 aTime, const QDateTime &now);

// The earliest moment after `now` at which an alarm of this A_TIME goes off,
// or none for a value that names no time.
std::optional<QDateTime> nextMoment(qint32 aTime, const QDateTime &now);

// An armed alarm fires on the tick whose span (previousTick, now] holds one
// of its moments, so a tick late by a busy machine, a slow save or a suspend
// still fires it, once. A clock set back starts a new span: crossing the
// moment again fires again.
Step step(const NoteSettings &record, const QDateTime &previousTick, const QDateTime &now);

}
