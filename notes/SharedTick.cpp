// SPDX-License-Identifier: MIT
#include "notes/SharedTick.h"

#include "notes/WallClockWake.h"
#include "store/Clock.h"
#include "store/Module1.h"
#include "store/SettingsWatch.h"
#include "ui/Definitions.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <vector>

struct TickTimer
{
    static TickTimer &instance()
    {
        static TickTimer timer;
        return timer;
    }

    TickTimer()
    {
        // The blinking and the checks after a change: coarse timers may
        // stretch 500 ms a little, and wake the program less often for it.
        fast.setInterval(Definitions::Note::Timer1Interval);
        QObject::connect(&fast, &QTimer::timeout, [this] { round(); });
        // An alarm goes off at second 00 of its minute, not somewhere in it,
        // also after a suspend or a clock set. Owned by the application, which
        // ends before this.
        if (QCoreApplication *application = QCoreApplication::instance())
            alarm = new WallClockWake([this] { round(); }, application);
        soon.setSingleShot(true);
        soon.setInterval(0);
        QObject::connect(&soon, &QTimer::timeout, [this] { round(); });
        planSoon.setSingleShot(true);
        planSoon.setInterval(0);
        QObject::connect(&planSoon, &QTimer::timeout, [this] { plan(); });
        WatchSettingsFile([this] { soon.start(); });
    }

    void round()
    {
        // A change another program makes is seen by this round as a whole.
        {
            const SettingsReadRound once;
            // A tick may close its note, or another one, or show a new one.
            const std::vector<SharedTick *> due = subscribers;
            for (SharedTick *subscriber : due) {
                if (std::find(subscribers.begin(), subscribers.end(), subscriber) != subscribers.end())
                    subscriber->m_onTick();
            }
        }
        plan();
    }

    void plan()
    {
        planSoon.stop();
        const QDateTime now = Clock::now();
        bool wantsFast = false;
        std::optional<NoteAlarm::WallMinute> next;
        for (SharedTick *subscriber : subscribers) {
            if (!subscriber->m_due)
                continue;
            const SharedTick::Due due = subscriber->m_due(now);
            wantsFast = wantsFast || due.soon;
            if (due.alarm && (!next || *due.alarm < *next))
                next = due.alarm;
        }
        if (!wantsFast)
            fast.stop();
        else if (!fast.isActive())
            fast.start();
        if (!alarm)
            return;
        if (next) {
            const qint64 moment = Clock::firstMomentShowing(Clock::wallMSecs(next->date, next->time),
                                                            now.toMSecsSinceEpoch());
            alarm->wakeAt(Clock::systemMSecs(moment));
        } else {
            alarm->wakeAt(std::nullopt);
        }
    }

    void add(SharedTick *subscriber)
    {
        subscribers.push_back(subscriber);
        planSoon.start();
    }

    void remove(SharedTick *subscriber)
    {
        std::erase(subscribers, subscriber);
        planSoon.start();
    }

    QTimer fast;
    QPointer<WallClockWake> alarm;
    QTimer soon;
    QTimer planSoon;
    std::vector<SharedTick *> subscribers;
};

SharedTick::SharedTick(std::function<void()> onTick, std::function<Due(const QDateTime &now)> due)
    : m_onTick(std::move(onTick)), m_due(std::move(due))
{
}

SharedTick::~SharedTick()
{
    stop();
}

void SharedTick::start()
{
    if (m_active)
        return;
    m_active = true;
    TickTimer::instance().add(this);
}

void SharedTick::stop()
{
    if (!m_active)
        return;
    m_active = false;
    TickTimer::instance().remove(this);
}

void SharedTick::reschedule()
{
    if (m_active)
        TickTimer::instance().planSoon.start();
}

void SharedTick::runSoon()
{
    if (m_active)
        TickTimer::instance().soon.start();
}
