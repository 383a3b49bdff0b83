// SPDX-License-Identifier: MIT
#include "store/Clock.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>

namespace {

std::optional<QDateTime> fixedMoment;

struct Zone
{
    bool known = false;
    int offsetSeconds = 0;
    qint64 minute = 0;     // the UTC minute of the lookup
    qint64 lastUtc = 0;    // the clocks at the last call
    qint64 lastSteady = 0;
    QDateTime moment;      // the last answer, and its UTC milliseconds
    qint64 momentUtc = 0;
};

Zone zone;

// A clock set by hand, by NTP stepping it or by a time zone's change comes
// with a jump against the steady clock; so does a suspend, which the steady
// clock does not count.
constexpr qint64 JumpMSecs = 3000;

constexpr qint64 SecondMSecs = 1000;
constexpr qint64 MinuteMSecs = 60 * SecondMSecs;
constexpr qint64 DayMSecs = 24 * 60 * MinuteMSecs;
constexpr qint64 EpochJulianDay = 2440588; // 1 January 1970

qint64 floorDiv(qint64 a, qint64 b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}

namespace Clock {

QDateTime now()
{
    if (fixedMoment)
        return *fixedMoment;
    const qint64 steady = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now().time_since_epoch())
                                  .count();
    return localTime(QDateTime::currentMSecsSinceEpoch(), steady);
}

QDateTime localTime(qint64 utcMSecs, qint64 steadyMSecs)
{
    const qint64 minute = floorDiv(utcMSecs, MinuteMSecs);
    const qint64 expected = zone.lastUtc + (steadyMSecs - zone.lastSteady);
    const bool jumped = utcMSecs < zone.lastUtc || std::llabs(utcMSecs - expected) > JumpMSecs;
    if (!zone.known || minute != zone.minute || jumped) {
        zone.offsetSeconds = offsetAt(utcMSecs);
        zone.minute = minute;
        zone.known = true;
        zone.moment = QDateTime();
    }
    zone.lastUtc = utcMSecs;
    zone.lastSteady = steadyMSecs;
    // The notes' ticks of one round ask within the same millisecond.
    if (!zone.moment.isValid() || zone.momentUtc != utcMSecs) {
        zone.moment = QDateTime::fromMSecsSinceEpoch(utcMSecs, Qt::OffsetFromUTC, zone.offsetSeconds);
        zone.momentUtc = utcMSecs;
    }
    return zone.moment;
}

void reloadZone()
{
    // The C library reads the file TZ names once for each text TZ holds,
    // however the file changes since: another text first makes it read the
    // file again. The variable is replaced, never removed, so another
    // thread's getenv() meanwhile finds the one text or the other.
    const QByteArray tz = qgetenv("TZ");
    if (!tz.isEmpty()) {
        qputenv("TZ", "UTC0");
        tzset();
        qputenv("TZ", tz);
    }
    tzset();
    zone.known = false;
}

int offsetAt(qint64 utcMSecs)
{
    // localtime_r() alone keeps the zone it read first; tzset() looks at
    // /etc/localtime again.
    tzset();
    const std::time_t seconds = std::time_t(floorDiv(utcMSecs, SecondMSecs));
    std::tm local {};
    if (!localtime_r(&seconds, &local))
        return 0;
    return int(local.tm_gmtoff);
}

qint64 wallMSecs(const QDate &date, const QTime &time)
{
    // No reading at all comes before every other.
    if (!date.isValid())
        return std::numeric_limits<qint64>::min();
    return (date.toJulianDay() - EpochJulianDay) * DayMSecs + time.msecsSinceStartOfDay();
}

qint64 firstMomentShowing(qint64 wall, qint64 afterUtcMSecs)
{
    return firstMomentShowing(wall, afterUtcMSecs, offsetAt);
}

qint64 firstMomentShowing(qint64 wall, qint64 afterUtcMSecs, const std::function<int(qint64 utcMSecs)> &offsetAt)
{
    // No zone is more than a day from UTC, and none changes its offset twice
    // within two days: the offsets a day before and after are the only ones
    // the clock can have while it shows `wall`.
    const int before = offsetAt(wall - DayMSecs);
    const int after = offsetAt(wall + DayMSecs);
    std::optional<qint64> first;
    for (const int offset : {before, after}) {
        const qint64 moment = wall - offset * SecondMSecs;
        if (moment > afterUtcMSecs && offsetAt(moment) == offset && (!first || moment < *first))
            first = moment;
    }
    if (first)
        return *first;
    if (after > before) {
        // The hour summer time skips: the clock shows a later reading from
        // the moment it ends, which lies between these two, on a whole second.
        qint64 early = floorDiv(wall - after * SecondMSecs, SecondMSecs);
        qint64 late = floorDiv(wall - before * SecondMSecs, SecondMSecs) + 1;
        const auto shows = [&](qint64 second) { return (second + offsetAt(second * SecondMSecs)) * SecondMSecs >= wall; };
        if (!shows(early) && shows(late)) {
            while (late - early > 1) {
                const qint64 middle = early + (late - early) / 2;
                (shows(middle) ? late : early) = middle;
            }
            if (late * SecondMSecs > afterUtcMSecs)
                return late * SecondMSecs;
        }
    }
    return afterUtcMSecs + MinuteMSecs;
}

void setFixed(const QDateTime &moment)
{
    fixedMoment = moment;
}

void useSystemClock()
{
    fixedMoment.reset();
}

qint64 systemMSecs(qint64 utcMSecs)
{
    if (!fixedMoment)
        return utcMSecs;
    return QDateTime::currentMSecsSinceEpoch() + (utcMSecs - fixedMoment->toMSecsSinceEpoch());
}

}
