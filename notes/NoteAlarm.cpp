// SPDX-License-Identifier: MIT
#include "notes/NoteAlarm.h"

#include "store/AlarmTime.h"

namespace NoteAlarm {

namespace {

// A dated alarm for 29 February waits for a leap year; at most eight years
// apart (2096 to 2104).
constexpr int LeapDayYearsApart = 8;

// The moment of an alarm of this A_TIME nearest to `now`: the latest at or
// before it, or the earliest after it.
std::optional<QDateTime> nearestMoment(qint32 aTime, const QDateTime &now, bool after)
{
    if (aTime < 0)
        return std::nullopt;
    const QTime time(AlarmTime::hour(aTime) % 100, AlarmTime::minute(aTime));
    if (!time.isValid())
        return std::nullopt;
    const auto fits = [&](const QDateTime &moment) { return after ? moment > now : moment <= now; };
    const int step = after ? 1 : -1;

    if (!AlarmTime::isDated(aTime)) {
        const QDateTime today(now.date(), time);
        return fits(today) ? today : QDateTime(now.date().addDays(step), time);
    }
    const int month = AlarmTime::month(aTime);
    const int day = AlarmTime::day(aTime) % 100;
    for (int years = 0; years <= LeapDayYearsApart; ++years) {
        const QDate date(now.date().year() + step * years, month, day);
        if (date.isValid() && fits(QDateTime(date, time)))
            return QDateTime(date, time);
    }
    return std::nullopt;
}

}

std::optional<QDateTime> latestMoment(qint32 aTime, const QDateTime &now)
{
    return nearestMoment(aTime, now, false);
}

std::optional<QDateTime> nextMoment(qint32 aTime, const QDateTime &now)
{
    return nearestMoment(aTime, now, true);
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
