#pragma once

#include "store/NoteSettings.h"

#include <QDateTime>

// What one tick of a note does about its alarm, decided from the section as
// read and the time; no window involved.
namespace NoteAlarm {

enum class Step { Nothing, Fire, Blink };

// An armed alarm with a date waits, skipping the alarm step, on every other day.
bool waitsForItsDay(const NoteSettings &record, const QDate &today);

// hour × 10000 + minute × 100, compared with the clock's hhmmss.
int alarmValue(qint32 aTime);
int nowValue(const QTime &time);

Step step(const NoteSettings &record, const QDateTime &now);

}
