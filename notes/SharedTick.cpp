// SPDX-License-Identifier: MIT
#include "notes/SharedTick.h"

#include "store/Module1.h"
#include "ui/Definitions.h"

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
        timer.setInterval(Definitions::Note::Timer1Interval);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
    }

    void tick()
    {
        // A change another program makes is seen by this round or the next,
        // within one tick either way.
        const SettingsReadRound round;
        // A tick may close its note, or another one, or show a new one.
        const std::vector<SharedTick *> due = subscribers;
        for (SharedTick *subscriber : due) {
            if (std::find(subscribers.begin(), subscribers.end(), subscriber) != subscribers.end())
                subscriber->m_onTick();
        }
    }

    void add(SharedTick *subscriber)
    {
        subscribers.push_back(subscriber);
        if (!timer.isActive())
            timer.start();
    }

    void remove(SharedTick *subscriber)
    {
        std::erase(subscribers, subscriber);
        if (subscribers.empty())
            timer.stop();
    }

    QTimer timer;
    std::vector<SharedTick *> subscribers;
};

SharedTick::SharedTick(std::function<void()> onTick) : m_onTick(std::move(onTick))
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
