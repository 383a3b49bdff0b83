// SPDX-License-Identifier: MIT
#include "notes/NoteAlarm.h"

#include "store/AlarmTime.h"

namespace NoteAlarm {

namespace {

// A dated alarm for 29 February waits for a leap year; at most eight years
// apart (2096 to 2104).
constexpr int LeapDayYearsApart = 8;

}

std::optional<QDateTime> latestMoment(qint32 aTime, const QDateTime &now)
{
    if (aTime < 0)
        return std::nullopt;
    const QTime time(AlarmTime::hour(aTime) % 100, AlarmTime::minute(aTime));
    if (!time.isValid())
        return std::nullopt;

    if (!AlarmTime::isDated(aTime)) {
        const QDateTime today(now.date(), time);
        if (today <= now)
            return today;
        return QDateTime(now.date().addDays(-1), time);
    }

    const int month = AlarmTime::month(aTime);
    const int day = AlarmTime::day(aTime) % 100;
    for (int year = now.date().year(); year >= now.date().year() - LeapDayYearsApart; --year) {
        const QDate date(year, month, day);
        if (!date.isValid())
            continue;
        const QDateTime moment(date, time);
        if (moment <= now)
            return moment;
    }
    return std::nullopt;
}

std::optional<QDateTime> nextMoment(qint32 aTime, const QDateTime &now)
{
    if (aTime < 0)
        return std::nullopt;
    const QTime time(AlarmTime::hour(aTime) % 100, AlarmTime::minute(aTime));
    if (!time.isValid())
        return std::nullopt;
    // In the zone `now` is given in: the clock seam gives a fixed offset.
    const auto at = [&now](const QDate &date, const QTime &clock) {
        QDateTime moment = now;
        moment.setDate(date);
        moment.setTime(clock);
        return moment;
    };
    if (!AlarmTime::isDated(aTime)) {
        const QDateTime today = at(now.date(), time);
        return today > now ? today : at(now.date().addDays(1), time);
    }
    const int month = AlarmTime::month(aTime);
    const int day = AlarmTime::day(aTime) % 100;
    for (int year = now.date().year(); year <= now.date().year() + LeapDayYearsApart; ++year) {
        const QDate date(year, month, day);
        if (!date.isValid())
            continue;
        const QDateTime moment = at(date, time);
        if (moment > now)
            return moment;
    }
    return std::nullopt;
}

Step step(const NoteSettings &record, const QDateTime &previousTick, const QDateTime &now)
{
    if (record.ALARM == 2)
        return Step::Blink;
    if (record.ALARM != 1)
        return Step::Nothing;
    // Ticks half a second apart on one day: the wall-clock times alone tell,
    // without the time-zone arithmetic of comparing moments twice a second.
    if (previousTick.date() == now.date() && previousTick.time() <= now.time()) {
        const qint32 aTime = record.A_TIME;
        const QTime time(AlarmTime::hour(aTime) % 100, AlarmTime::minute(aTime));
        const bool itsDay = !AlarmTime::isDated(aTime)
                || (AlarmTime::month(aTime) == now.date().month() && AlarmTime::day(aTime) % 100 == now.date().day());
        const bool crossed = aTime >= 0 && time.isValid() && previousTick.time() < time && time <= now.time();
        return itsDay && crossed ? Step::Fire : Step::Nothing;
    }
    const std::optional<QDateTime> moment = latestMoment(record.A_TIME, now);
    return moment && *moment > previousTick ? Step::Fire : Step::Nothing;
}

}
