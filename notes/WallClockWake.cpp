// SPDX-License-Identifier: MIT
#include "notes/WallClockWake.h"

#include "store/Clock.h"
#include "store/FileAccess.h"

#include <QDateTime>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <sys/inotify.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

constexpr qint64 SafetyNetMs = 60'000;
// timedatectl and a package upgrade replace the link or the file in a few
// steps; the burst is looked at once.
constexpr int SettleMs = 30;

constexpr uint32_t FolderEvents = IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_ONLYDIR;
constexpr uint32_t FileEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

}

WallClockWake::WallClockWake(std::function<void()> woken, QObject *parent)
    : QObject(parent), m_woken(std::move(woken)), m_zoneFile(zoneFile())
{
    m_timer = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_timer >= 0) {
        m_timerNotifier = std::make_unique<QSocketNotifier>(m_timer, QSocketNotifier::Read);
        connect(m_timerNotifier.get(), &QSocketNotifier::activated, this, [this] { readTimer(); });
    }
    m_safetyNet.setSingleShot(true);
    m_safetyNet.setTimerType(Qt::PreciseTimer);
    connect(&m_safetyNet, &QTimer::timeout, this, [this] { wake(); });

    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] { zoneChanged(); });
    if (!m_zoneFile.empty())
        m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify >= 0) {
        m_zoneNotifier = std::make_unique<QSocketNotifier>(m_inotify, QSocketNotifier::Read);
        connect(m_zoneNotifier.get(), &QSocketNotifier::activated, this, [this] { readZoneEvents(); });
        watchZone();
    }
}

WallClockWake::~WallClockWake()
{
    m_timerNotifier.reset();
    m_zoneNotifier.reset();
    if (m_timer >= 0)
        close(m_timer);
    if (m_inotify >= 0)
        close(m_inotify);
}

std::string WallClockWake::zoneFile()
{
    const char *tz = std::getenv("TZ");
    if (!tz)
        return "/etc/localtime";
    std::string name = tz;
    if (!name.empty() && name.front() == ':')
        name.erase(0, 1);
    if (name.empty() || name.front() == '/')
        return name;
    const char *folder = std::getenv("TZDIR");
    return std::string(folder && *folder ? folder : "/usr/share/zoneinfo") + '/' + name;
}

void WallClockWake::wakeAt(std::optional<qint64> utcMSecs)
{
    const bool armed = utcMSecs == m_armedAt;
    m_armedAt = utcMSecs;
    if (m_timer >= 0 && !armed) {
        // Armed, the timer is also cancelled by a clock set; disarmed, there
        // is nothing a set could make due.
        itimerspec when {};
        if (utcMSecs) {
            const qint64 seconds = *utcMSecs >= 0 ? *utcMSecs / 1000 : -((-*utcMSecs + 999) / 1000);
            when.it_value.tv_sec = time_t(std::max<qint64>(seconds, 0));
            when.it_value.tv_nsec = long(std::max<qint64>(*utcMSecs - seconds * 1000, 0)) * 1'000'000L;
            // Zero would disarm it: a moment long past is due now.
            if (when.it_value.tv_sec == 0 && when.it_value.tv_nsec == 0)
                when.it_value.tv_nsec = 1;
        }
        if (timerfd_settime(m_timer, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when, nullptr) != 0) {
            m_timerNotifier.reset();
            close(m_timer);
            m_timer = -1;
        }
    }
    if (!utcMSecs) {
        m_safetyNet.stop();
        return;
    }
    // The monotonic timer runs beside the real-time one for the same wait,
    // as the program's clock tells it: a clock the kernel does not keep
    // (one a test fakes in the process) is met too. Whichever fires first
    // wakes the tick, whose plan arms both anew, so the other costs no
    // wake-up. Without the real-time timer it is all there is, and looks
    // again within a minute.
    const qint64 waitMs = *utcMSecs - QDateTime::currentMSecsSinceEpoch();
    m_safetyNet.start(int(std::clamp<qint64>(waitMs, 0, m_timer >= 0 ? std::numeric_limits<int>::max() : SafetyNetMs)));
}

void WallClockWake::readTimer()
{
    std::uint64_t expirations = 0;
    const ssize_t length = read(m_timer, &expirations, sizeof expirations);
    // ECANCELED: the clock was set. Either way the timer is spent and is
    // armed again by the tick's plan, from the clock as it now stands.
    if (length < 0 && errno != ECANCELED)
        return;
    wake();
}

void WallClockWake::wake()
{
    m_armedAt.reset();
    m_woken();
}

// Every link on the way to the zone's file is watched in its folder, for
// its name: timedatectl replaces /etc/localtime by a rename. The file itself
// is watched for a write in place.
void WallClockWake::watchZone()
{
    std::vector<int> wanted;
    m_zoneNames.clear();
    const std::vector<std::string> chain = FileAccess::linkChain(m_zoneFile);
    for (const std::string &path : chain) {
        FileAccess::addWatch(m_inotify, FileAccess::directoryOf(path), FolderEvents, wanted);
        m_zoneNames.push_back(FileAccess::nameOf(path));
    }
    FileAccess::addWatch(m_inotify, chain.back(), FileEvents, wanted);
    for (const int watch : m_watches) {
        if (std::find(wanted.begin(), wanted.end(), watch) == wanted.end())
            inotify_rm_watch(m_inotify, watch);
    }
    m_watches = std::move(wanted);
}

void WallClockWake::readZoneEvents()
{
    bool relevant = false;
    FileAccess::readWatchEvents(m_inotify, [this, &relevant](std::uint32_t mask, std::string_view name) {
        // A folder such as /etc sees many other files change.
        if (!name.empty())
            relevant = relevant || std::find(m_zoneNames.begin(), m_zoneNames.end(), name) != m_zoneNames.end();
        else
            relevant = relevant || !(mask & IN_IGNORED);
    });
    if (relevant)
        m_settle.start();
}

void WallClockWake::zoneChanged()
{
    // The links may lead elsewhere now.
    watchZone();
    Clock::reloadZone();
    wake();
}
