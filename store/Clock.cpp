#include "store/Clock.h"

#include <optional>

namespace {
std::optional<QDateTime> fixedMoment;
}

namespace Clock {

QDateTime now()
{
    return fixedMoment ? *fixedMoment : QDateTime::currentDateTime();
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
