// SPDX-License-Identifier: MIT
#include "store/Clock.h"

#include <chrono>
#include <cstdlib>
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
    const qint64 minute = utcMSecs >= 0 ? utcMSecs / 60000 : (utcMSecs - 59999) / 60000;
    const qint64 expected = zone.lastUtc + (steadyMSecs - zone.lastSteady);
    const bool jumped = utcMSecs < zone.lastUtc || std::llabs(utcMSecs - expected) > JumpMSecs;
    if (!zone.known || minute != zone.minute || jumped) {
        zone.offsetSeconds = QDateTime::fromMSecsSinceEpoch(utcMSecs, Qt::LocalTime).offsetFromUtc();
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

void setFixed(const QDateTime &moment)
{
    fixedMoment = moment;
}

void useSystemClock()
{
    fixedMoment.reset();
}

}
