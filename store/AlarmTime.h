// SPDX-License-Identifier: MIT
#pragma once

#include <QDate>
#include <QString>

// A_TIME packs an alarm into one decimal number: hhmm for every day, or
// MMddhhmm for one month and day. Anything above 2359 carries a date.
namespace AlarmTime {

inline constexpr qint32 LatestUndated = 2359;

inline bool isDated(qint32 aTime) { return aTime > LatestUndated; }

inline qint32 hour(qint32 aTime) { return aTime / 100; }
inline qint32 minute(qint32 aTime) { return aTime % 100; }
inline qint32 month(qint32 aTime) { return aTime / 1000000; }
inline qint32 day(qint32 aTime) { return aTime / 10000; }

qint32 pack(int hour, int minute);
qint32 pack(int month, int day, int hour, int minute);

// The last two characters of "00" and the number: 5 → "05", 1225 → "25".
QString twoDigits(qint64 number);

// The first line a note with an alarm shows: "<09:30>" or "12/25 <09:30>",
// ending in a lone LF.
QString alarmLine(qint32 aTime);

// Month and day as four digits, "1225".
QString monthDay(const QDate &date);
QString alarmMonthDay(qint32 aTime);

}
