// SPDX-License-Identifier: MIT
// The wall clock under the alarms: the moment the clock shows a reading, in
// zones with summer time; the kernel's real-time timer; a new local zone
// seen at once.

#include "notes/WallClockWake.h"
#include "store/Clock.h"
#include "ZoneSetting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestWallClock : public QObject
{
    Q_OBJECT

private slots:
    void shouldFindTheMomentTheClockShows_data();
    void shouldFindTheMomentTheClockShows();
    void shouldWakeAtTheMoment();
    void shouldReadANewZoneAtOnce();
};

namespace {

QDateTime utc(int month, int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(2026, month, day), QTime(hour, minute, second), Qt::UTC);
}

// Points the link at a zone's file, in one step, as timedatectl does.
bool pointLink(const QString &link, const QString &target)
{
    const QString temporary = link + QStringLiteral(".new");
    QFile::remove(temporary);
    return QFile::link(target, temporary) && std::rename(QFile::encodeName(temporary), QFile::encodeName(link)) == 0;
}

QString zoneInfo(const char *name)
{
    return QStringLiteral("/usr/share/zoneinfo/") + QLatin1String(name);
}

}

void TestWallClock::shouldFindTheMomentTheClockShows_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QDateTime>("after");
    QTest::addColumn<QDateTime>("moment");

    const QByteArray berlin = "Europe/Berlin";
    QTest::newRow("winter in Berlin") << berlin << "2026-12-07 09:30" << utc(12, 7, 6, 0) << utc(12, 7, 8, 30);
    QTest::newRow("summer in Berlin") << berlin << "2026-07-07 09:30" << utc(7, 7, 6, 0) << utc(7, 7, 7, 30);
    QTest::newRow("Tokyo's midnight") << QByteArray("Asia/Tokyo") << "2026-12-08 00:00" << utc(12, 7, 6, 0)
                                      << utc(12, 7, 15, 0);
    QTest::newRow("behind UTC, the next day there")
            << QByteArray("America/Los_Angeles") << "2026-12-07 22:00" << utc(12, 7, 6, 0) << utc(12, 8, 6, 0);
    QTest::newRow("the skipped hour: 02:30 shows first as 03:00")
            << berlin << "2026-03-29 02:30" << utc(3, 28, 23, 0) << utc(3, 29, 1, 0);
    QTest::newRow("the hour twice, from before it: the first 02:30")
            << berlin << "2026-10-25 02:30" << utc(10, 24, 23, 0) << utc(10, 25, 0, 30);
    QTest::newRow("the hour twice, from within the second: the second 02:30")
            << berlin << "2026-10-25 02:30" << utc(10, 25, 1, 10) << utc(10, 25, 1, 30);
    QTest::newRow("a reading long past: asked again in a minute")
            << berlin << "2026-12-07 09:30" << utc(12, 7, 10, 0) << utc(12, 7, 10, 1);
}

void TestWallClock::shouldFindTheMomentTheClockShows()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, reading);
    QFETCH(QDateTime, after);
    QFETCH(QDateTime, moment);
    const ZoneSetting setting;
    setting.use(zone);
    const QDateTime wall = QDateTime::fromString(reading, QStringLiteral("yyyy-MM-dd HH:mm"));
    QCOMPARE(QDateTime::fromMSecsSinceEpoch(
                     Clock::firstMomentShowing(Clock::wallMSecs(wall.date(), wall.time()), after.toMSecsSinceEpoch()),
                     Qt::UTC),
             moment);
}

void TestWallClock::shouldWakeAtTheMoment()
{
    qint64 wokenAt = 0;
    WallClockWake wake([&] { wokenAt = QDateTime::currentMSecsSinceEpoch(); });
    const qint64 moment = QDateTime::currentMSecsSinceEpoch() + 150;
    wake.wakeAt(moment);
    QTRY_VERIFY(wokenAt != 0);
    QVERIFY(wokenAt >= moment);

    // Disarmed, it wakes for nothing; armed again after a wake, it wakes again.
    wokenAt = 0;
    wake.wakeAt(QDateTime::currentMSecsSinceEpoch() + 100);
    wake.wakeAt(std::nullopt);
    QTest::qWait(300);
    QCOMPARE(wokenAt, 0);
    wake.wakeAt(QDateTime::currentMSecsSinceEpoch() - 5000);
    QTRY_VERIFY(wokenAt != 0);
}

// TZ names a link, which names another: whichever of them is pointed
// elsewhere, the clock shows the new zone's time once the wake has come.
void TestWallClock::shouldReadANewZoneAtOnce()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("zones")));
    const QString outer = folder.filePath(QStringLiteral("localtime"));
    const QString inner = folder.filePath(QStringLiteral("zones/current"));
    QVERIFY(pointLink(inner, zoneInfo("Europe/Berlin")));
    QVERIFY(pointLink(outer, inner));
    const ZoneSetting setting;
    setting.use(QFile::encodeName(outer));
    Clock::reloadZone();
    const qint64 december = utc(12, 7, 12, 0).toMSecsSinceEpoch();
    QCOMPARE(Clock::offsetAt(december), 3600);

    int wakes = 0;
    WallClockWake wake([&] { ++wakes; });
    QVERIFY(pointLink(inner, zoneInfo("Asia/Tokyo")));
    QTRY_COMPARE(wakes, 1);
    QCOMPARE(Clock::offsetAt(december), 9 * 3600);
    QCOMPARE(Clock::now().offsetFromUtc(), 9 * 3600);

    QVERIFY(pointLink(outer, zoneInfo("America/New_York")));
    QTRY_COMPARE(wakes, 2);
    QCOMPARE(Clock::offsetAt(december), -5 * 3600);
    // The link it no longer passes through is not watched.
    QVERIFY(pointLink(inner, zoneInfo("Europe/Berlin")));
    QTest::qWait(200);
    QCOMPARE(wakes, 2);
}

QTEST_GUILESS_MAIN(TestWallClock)
#include "tst_wall_clock.moc"
