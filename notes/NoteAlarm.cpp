#include "notes/NoteAlarm.h"

#include "store/AlarmTime.h"

namespace NoteAlarm {

bool waitsForItsDay(const NoteSettings &record, const QDate &today)
{
    return record.ALARM == 1 && AlarmTime::isDated(record.A_TIME)
            && AlarmTime::alarmMonthDay(record.A_TIME) != AlarmTime::monthDay(today);
}

int alarmValue(qint32 aTime)
{
    // Through the two-digit texts, as the alarm line shows them: a dated
    // A_TIME's hour is the last two digits of its MMddhh.
    const int hour = AlarmTime::twoDigits(AlarmTime::hour(aTime)).toInt();
    const int minute = AlarmTime::twoDigits(AlarmTime::minute(aTime)).toInt();
    return hour * 10000 + minute * 100;
}

int nowValue(const QTime &time)
{
    return time.hour() * 10000 + time.minute() * 100 + time.second();
}

Step step(const NoteSettings &record, const QDateTime &now)
{
    if (waitsForItsDay(record, now.date()))
        return Step::Nothing;
    if (record.ALARM == 1)
        return alarmValue(record.A_TIME) == nowValue(now.time()) ? Step::Fire : Step::Nothing;
    if (record.ALARM == 2)
        return Step::Blink;
    return Step::Nothing;
}

}
