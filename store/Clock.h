// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>

#include <functional>

// The one place the program asks for the time, so tests can stand at 09:29:59
// and step to 09:30:00 without waiting for the real clock.
namespace Clock {

// Local wall-clock time. The zone's offset from UTC is looked up again when
// the minute changes (zones change their offset only on whole minutes), the
// clock jumps or the zone is reloaded, not at every call: each lookup stats
// /etc/localtime.
QDateTime now();

void setFixed(const QDateTime &moment);
void useSystemClock();

// What now() gives for the system clock at `utcMSecs` when a steady clock
// (one that never jumps) stands at `steadyMSecs`, keeping the offset it
// looked up last. now() passes the system's clocks; tests pass a jump.
QDateTime localTime(qint64 utcMSecs, qint64 steadyMSecs);

// The local time zone may have changed (a new /etc/localtime, or a new file
// where TZ points): it is read again before the next answer.
void reloadZone();

// The local zone's offset from UTC, in seconds, at a moment.
int offsetAt(qint64 utcMSecs);

// A reading of the wall clock, the date and time its face shows, counted in
// milliseconds as if it were UTC: readings then compare as the face does,
// whatever the zone.
qint64 wallMSecs(const QDate &date, const QTime &time);
inline qint64 wallMSecs(const QDateTime &moment)
{
    return wallMSecs(moment.date(), moment.time());
}

// The first moment after `afterUtcMSecs` at which the local clock shows the
// reading `wall` or a later one: where summer time skips an hour, the moment
// it ends; where an hour comes twice, the first of the two after `after`.
// Milliseconds since the epoch; a minute after `after` when the zone gives no
// answer, so that the question is asked again.
qint64 firstMomentShowing(qint64 wall, qint64 afterUtcMSecs);
// The same for a zone told by its offset (seconds) at each moment.
qint64 firstMomentShowing(qint64 wall, qint64 afterUtcMSecs, const std::function<int(qint64 utcMSecs)> &offsetAt);

// The moment of the system's real-time clock at which this clock shows
// `utcMSecs`: the same moment, but for a fixed clock, which stands still
// while the system's runs on.
qint64 systemMSecs(qint64 utcMSecs);

}
