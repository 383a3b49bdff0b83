// SPDX-License-Identifier: MIT
#include "store/AlarmTime.h"

namespace AlarmTime {

qint32 pack(int hour, int minute)
{
    return hour * 100 + minute;
}

qint32 pack(int month, int day, int hour, int minute)
{
    return month * 1000000 + day * 10000 + pack(hour, minute);
}

QString twoDigits(qint64 number)
{
    return (QStringLiteral("00") + QString::number(number)).right(2);
}

QString alarmLine(qint32 aTime)
{
    const QString time = QLatin1Char('<') + twoDigits(hour(aTime)) + QLatin1Char(':')
            + twoDigits(minute(aTime)) + QLatin1String(">\n");
    if (!isDated(aTime))
        return time;
    return twoDigits(month(aTime)) + QLatin1Char('/') + twoDigits(day(aTime)) + QLatin1Char(' ') + time;
}

QString monthDay(const QDate &date)
{
    return twoDigits(date.month()) + twoDigits(date.day());
}

QString alarmMonthDay(qint32 aTime)
{
    return twoDigits(month(aTime)) + twoDigits(day(aTime));
}

}
