// SPDX-License-Identifier: MIT
#pragma once

#include "notes/NoteAlarm.h"

#include <QDateTime>

#include <functional>
#include <optional>

// A note's tick, run only when something is due. All notes' ticks run
// together, in one round, whenever any of them is due: at the next alarm
// minute of any note, as the wall clock shows it, and at once when the clock
// is set, the machine resumes or the time zone changes (WallClockWake); every
// 500 ms while some note rings or has a few checks left after a start, an
// edit or a placement; and a moment after the settings file changed on disk
// or the user finished a drag. Between those the program sleeps.
class SharedTick
{
public:
    struct Due
    {
        bool soon = false;                // wants the 500 ms ticks
        std::optional<NoteAlarm::WallMinute> alarm;   // the next minute an alarm goes off
    };

    explicit SharedTick(std::function<void()> onTick, std::function<Due(const QDateTime &now)> due = {});
    ~SharedTick();
    SharedTick(const SharedTick &) = delete;
    SharedTick &operator=(const SharedTick &) = delete;

    void start();
    void stop();
    bool isActive() const { return m_active; }

    // What this tick is due for may have changed: the timers are set anew.
    void reschedule();
    // Runs a round of every tick at once, from the event loop.
    void runSoon();

private:
    std::function<void()> m_onTick;
    std::function<Due(const QDateTime &now)> m_due;
    bool m_active = false;

    friend struct TickTimer;
};
