#pragma once

#include <QDateTime>

// The one place the program asks for the time, so tests can stand at 09:29:59
// and step to 09:30:00 without waiting for the real clock.
namespace Clock {

QDateTime now();

void setFixed(const QDateTime &moment);
void useSystemClock();

}
