// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QSocketNotifier;

// Wakes the notes' tick at a moment of the wall clock, and at once whenever
// that moment moves: when the clock is set (by hand, or NTP stepping it),
// when the machine wakes from a suspend, and when the local time zone
// changes. A QTimer counts on the monotonic clock, which stops during a
// suspend and never sees the wall clock set; the kernel's real-time timer
// (timerfd) fires at the wall-clock moment itself and tells of a clock set.
//
// The zone is what /etc/localtime links to, or the file TZ names at start;
// the links and the file are watched with inotify. When they change, the
// clock reads the zone again before `woken` is called.
class WallClockWake : public QObject
{
public:
    explicit WallClockWake(std::function<void()> woken, QObject *parent = nullptr);
    ~WallClockWake() override;

    // Wakes at this moment of the real-time clock (milliseconds since the
    // epoch), or only for a change of clock or zone.
    void wakeAt(std::optional<qint64> utcMSecs);

    // The file the local zone comes from, as the C library finds it: empty
    // when TZ names no file (UTC, or a rule such as "JST-9").
    static std::string zoneFile();

private:
    void readTimer();
    void watchZone();
    void readZoneEvents();
    void zoneChanged();
    void wake();

    std::function<void()> m_woken;
    int m_timer = -1;
    std::unique_ptr<QSocketNotifier> m_timerNotifier;
    // A monotonic timer for the same moment as the program's own clock
    // tells it; where the kernel has no real-time timer, never set longer
    // than a minute, so a clock set or a suspend costs at most that.
    QTimer m_safetyNet;
    std::optional<qint64> m_armedAt;

    std::string m_zoneFile;
    int m_inotify = -1;
    std::unique_ptr<QSocketNotifier> m_zoneNotifier;
    std::vector<int> m_watches;
    // The names the watched folders hold of the zone's links and file.
    std::vector<std::string> m_zoneNames;
    QTimer m_settle;
};
