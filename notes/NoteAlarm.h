// SPDX-License-Identifier: MIT
#pragma once

#include "store/NoteSettings.h"

#include <QDateTime>
#include <optional>

// What one tick of a note does about its alarm, decided from the section as
// read and the time; no window involved.
//
// Times are readings of the local wall clock, as its face shows them: an
// alarm at 09:30 goes off when the clock shows 09:30, whichever zone it
// keeps, and a clock that goes back (set by hand, or at the end of summer
// time) shows a minute again without the alarm ringing again.
namespace NoteAlarm {

enum class Step { Nothing, Fire, Blink };

// A minute of the wall clock, date and hh:mm:00, with no time zone: the
// crossing an alarm rings for, at most once.
struct WallMinute
{
    QDate date;
    QTime time;
    bool operator==(const WallMinute &) const = default;
    bool operator<(const WallMinute &other) const;
};

// The minute as the settings file marks a crossing, yyyyMMddhhmm, and back;
// 0 and anything that names no minute is none.
qint64 markOf(const WallMinute &minute);
std::optional<WallMinute> minuteOfMark(qint64 mark);

struct Decision
{
    Step step = Step::Nothing;
    // The minute a Fire rings for.
    std::optional<WallMinute> minute;
};

// The latest minute at or before the reading `now` at which an alarm of this
// A_TIME goes off: hh:mm of today or yesterday, or of its month and day in
// this or an earlier year. None for a value that names no time (minute 60,
// hour 24, month 13, 30 February, a negative number).
std::optional<WallMinute> latestMinute(qint32 aTime, const QDateTime &now);

// The earliest minute after the reading `now` at which an alarm of this
// A_TIME goes off, passing over `lastRung`; none for a value that names no
// time.
std::optional<WallMinute> nextMinute(qint32 aTime, const QDateTime &now,
                                     const std::optional<WallMinute> &lastRung = std::nullopt);

// An armed alarm fires on the tick whose readings (previousTick, now] hold one
// of its minutes, so a tick late by a busy machine, a slow save, a suspend or
// a clock set forward still fires it, once. `lastRung` is the minute the
// note last rang for: a clock that goes back over it and comes to it again
// does not ring it again.
Decision step(const NoteSettings &record, const QDateTime &previousTick, const QDateTime &now,
              const std::optional<WallMinute> &lastRung);

}
