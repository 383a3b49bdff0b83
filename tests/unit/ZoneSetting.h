// SPDX-License-Identifier: MIT
#pragma once

#include "store/Clock.h"

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

// The time zone of the C library and of the program's clock, put back as it
// was at the end of the scope.
class ZoneSetting
{
public:
    ZoneSetting() : m_saved(qgetenv("TZ")), m_wasSet(qEnvironmentVariableIsSet("TZ")) {}
    ~ZoneSetting()
    {
        if (m_wasSet)
            qputenv("TZ", m_saved);
        else
            qunsetenv("TZ");
        Clock::reloadZone();
    }
    ZoneSetting(const ZoneSetting &) = delete;
    ZoneSetting &operator=(const ZoneSetting &) = delete;

    // The C library's zone only: the clock keeps the offset it looked up
    // last until the next minute or a reload, as it does when it runs.
    void use(const QByteArray &zone) const
    {
        qputenv("TZ", zone);
        tzset();
    }

private:
    QByteArray m_saved;
    bool m_wasSet;
};
