// SPDX-License-Identifier: MIT
#include "notes/NoteAlarm.h"

#include "store/AlarmTime.h"
#include "store/Clock.h"

#include <tuple>

namespace NoteAlarm {

namespace {

// A dated alarm for 29 February waits for a leap year; at most eight years
// apart (2096 to 2104).
constexpr int LeapDayYearsApart = 8;

qint64 wallMSecs(const WallMinute &minute)
{
    return Clock::wallMSecs(minute.date, minute.time);
}

// The minute of an alarm of this A_TIME nearest to the reading `now`: the
// latest at or before it, or the earliest after it.
std::optional<WallMinute> nearestMinute(qint32 aTime, const QDate &date, qint64 now, bool after)
{
    if (aTime < 0)
        return std::nullopt;
    const QTime time(AlarmTime::hour(aTime) % 100, AlarmTime::minute(aTime));
    if (!time.isValid())
        return std::nullopt;
    const auto fits = [&](const QDate &day) {
        const qint64 wall = Clock::wallMSecs(day, time);
        return after ? wall > now : wall <= now;
    };
    const int step = after ? 1 : -1;

    if (!AlarmTime::isDated(aTime))
        return WallMinute{fits(date) ? date : date.addDays(step), time};
    const int month = AlarmTime::month(aTime);
    const int day = AlarmTime::day(aTime) % 100;
    for (int years = 0; years <= LeapDayYearsApart; ++years) {
        const QDate candidate(date.year() + step * years, month, day);
        if (candidate.isValid() && fits(candidate))
            return WallMinute{candidate, time};
    }
    return std::nullopt;
}

}

bool WallMinute::operator<(const WallMinute &other) const
{
    return std::tie(date, time) < std::tie(other.date, other.time);
}

qint64 markOf(const WallMinute &minute)
{
    return minute.date.isValid() && minute.time.isValid()
            ? qint64(minute.date.year()) * 100'000'000 + minute.date.month() * 1'000'000 + minute.date.day() * 10'000
                    + minute.time.hour() * 100 + minute.time.minute()
            : 0;
}

std::optional<WallMinute> minuteOfMark(qint64 mark)
{
    const QDate date(int(mark / 100'000'000), int(mark / 1'000'000 % 100), int(mark / 10'000 % 100));
    const QTime time(int(mark / 100 % 100), int(mark % 100));
    if (mark <= 0 || !date.isValid() || !time.isValid())
        return std::nullopt;
    return WallMinute{date, time};
}

std::optional<WallMinute> latestMinute(qint32 aTime, const QDateTime &now)
{
    const QDate date = now.date();
    return nearestMinute(aTime, date, Clock::wallMSecs(date, now.time()), false);
}

std::optional<WallMinute> nextMinute(qint32 aTime, const QDateTime &now, const std::optional<WallMinute> &lastRung)
{
    const QDate date = now.date();
    const std::optional<WallMinute> next = nearestMinute(aTime, date, Clock::wallMSecs(date, now.time()), true);
    if (!next || next != lastRung)
        return next;
    return nearestMinute(aTime, next->date, wallMSecs(*next), true);
}

Decision step(const NoteSettings &record, const QDateTime &previousTick, const QDateTime &now,
              const std::optional<WallMinute> &lastRung)
{
    if (record.ALARM == 2)
        return {Step::Blink, std::nullopt};
    if (record.ALARM != 1)
        return {};
    const std::optional<WallMinute> minute = latestMinute(record.A_TIME, now);
    if (!minute || minute == lastRung || wallMSecs(*minute) <= Clock::wallMSecs(previousTick))
        return {};
    return {Step::Fire, minute};
}

}
