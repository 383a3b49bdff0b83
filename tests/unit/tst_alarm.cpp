// SPDX-License-Identifier: MIT
// When a note's tick fires, blinks or does nothing; the alarm's text forms;
// the pixel arithmetic of window shapes.

#include "desktop/WindowProcedures.h"
#include "notes/NoteAlarm.h"
#include "store/AlarmTime.h"
#include "store/Clock.h"
#include "ZoneSetting.h"

#include <QTest>

#include <algorithm>

class TestAlarm : public QObject
{
    Q_OBJECT

private slots:
    void shouldDecideTheTick_data();
    void shouldDecideTheTick();
    void shouldTickThroughZoneChanges_data();
    void shouldTickThroughZoneChanges();
    void shouldRingOncePerCrossing_data();
    void shouldRingOncePerCrossing();
    void shouldWriteTwoDigits_data();
    void shouldWriteTwoDigits();
    void shouldShowTheAlarmLine_data();
    void shouldShowTheAlarmLine();
    void shouldPackAlarmTimes();
    void shouldConvertTwipsToPixels_data();
    void shouldConvertTwipsToPixels();
    void shouldCutWindowsToTheirRegions_data();
    void shouldCutWindowsToTheirRegions();
};

using Step = NoteAlarm::Step;

void TestAlarm::shouldDecideTheTick_data()
{
    QTest::addColumn<int>("alarm");
    QTest::addColumn<int>("aTime");
    QTest::addColumn<QDateTime>("previousTick");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("lastRung");
    QTest::addColumn<Step>("step");
    // The minute a Fire rings for.
    QTest::addColumn<QString>("ringsFor");

    const QDate christmas(2026, 12, 25);
    const QDate other(2026, 12, 7);
    const auto at = [](const QDate &date, int hour, int minute, int second, int ms = 0) {
        return QDateTime(date, QTime(hour, minute, second, ms));
    };
    const QString none;
    QTest::newRow("armed, the tick in second 00")
            << 1 << 930 << at(other, 9, 29, 59, 600) << at(other, 9, 30, 0, 100) << none << Step::Fire << "2026-12-07 09:30";
    QTest::newRow("armed, a second early")
            << 1 << 930 << at(other, 9, 29, 58) << at(other, 9, 29, 59) << none << Step::Nothing << none;
    QTest::newRow("armed, ticks in 00 and 01: the second tick is quiet")
            << 1 << 930 << at(other, 9, 30, 0, 100) << at(other, 9, 30, 0, 600) << none << Step::Nothing << none;
    QTest::newRow("a slow save: the first tick after the moment is in second 01")
            << 1 << 930 << at(other, 9, 29, 59, 900) << at(other, 9, 30, 1, 300) << none << Step::Fire << "2026-12-07 09:30";
    QTest::newRow("suspended over 09:30 fires")
            << 1 << 930 << at(other, 9, 10, 0) << at(other, 11, 45, 12) << none << Step::Fire << "2026-12-07 09:30";
    QTest::newRow("suspended over a whole day fires once, for the latest")
            << 1 << 930 << at(other, 8, 0, 0) << at(other.addDays(2), 8, 0, 0) << none << Step::Fire << "2026-12-08 09:30";
    QTest::newRow("the moment is the previous tick: already fired")
            << 1 << 930 << at(other, 9, 30, 0) << at(other, 9, 30, 0, 500) << none << Step::Nothing << none;
    QTest::newRow("clock set back: that tick crosses nothing")
            << 1 << 930 << at(other, 9, 30, 5) << at(other, 9, 29, 50) << none << Step::Nothing << none;
    QTest::newRow("clock set back, crossed again, never rung")
            << 1 << 930 << at(other, 9, 29, 59, 800) << at(other, 9, 30, 0, 300) << none << Step::Fire << "2026-12-07 09:30";
    QTest::newRow("clock set back, crossed again after ringing: quiet")
            << 1 << 930 << at(other, 9, 29, 59, 800) << at(other, 9, 30, 0, 300) << "2026-12-07 09:30" << Step::Nothing
            << none;
    QTest::newRow("rang yesterday: rings today")
            << 1 << 930 << at(other, 9, 29, 59, 800) << at(other, 9, 30, 0, 300) << "2026-12-06 09:30" << Step::Fire
            << "2026-12-07 09:30";
    QTest::newRow("armed at midnight")
            << 1 << 0 << at(other, 23, 59, 59, 800) << at(other.addDays(1), 0, 0, 0, 300) << none << Step::Fire
            << "2026-12-08 00:00";
    QTest::newRow("dated, on its day")
            << 1 << 12250930 << at(christmas, 9, 29, 59, 700) << at(christmas, 9, 30, 0, 200) << none << Step::Fire
            << "2026-12-25 09:30";
    QTest::newRow("dated, another day")
            << 1 << 12250930 << at(other, 9, 29, 59, 700) << at(other, 9, 30, 0, 200) << none << Step::Nothing << none;
    QTest::newRow("dated, crossed over midnight")
            << 1 << 12252359 << at(christmas, 23, 58, 0) << at(christmas.addDays(1), 0, 5, 0) << none << Step::Fire
            << "2026-12-25 23:59";
    QTest::newRow("dated 1 Jan 00:00, across the year")
            << 1 << 1010000 << at(QDate(2026, 12, 31), 23, 59, 59, 900) << at(QDate(2027, 1, 1), 0, 0, 0, 400) << none
            << Step::Fire << "2027-01-01 00:00";
    QTest::newRow("dated, rang last year: rings this year")
            << 1 << 1010000 << at(QDate(2026, 12, 31), 23, 59, 59, 900) << at(QDate(2027, 1, 1), 0, 0, 0, 400)
            << "2026-01-01 00:00" << Step::Fire << "2027-01-01 00:00";
    QTest::newRow("Feb 29 in a leap year")
            << 1 << 2290930 << at(QDate(2028, 2, 29), 9, 29, 59, 800) << at(QDate(2028, 2, 29), 9, 30, 0, 300) << none
            << Step::Fire << "2028-02-29 09:30";
    QTest::newRow("Feb 29 in a non-leap year")
            << 1 << 2290930 << at(QDate(2027, 2, 28), 9, 0, 0) << at(QDate(2027, 3, 1), 10, 0, 0) << none
            << Step::Nothing << none;
    QTest::newRow("30 February never comes")
            << 1 << 2300930 << at(QDate(2028, 2, 28), 9, 0, 0) << at(QDate(2028, 3, 2), 10, 0, 0) << none
            << Step::Nothing << none;
    QTest::newRow("ringing blinks")
            << 2 << 930 << at(other, 13, 59, 59, 500) << at(other, 14, 0, 0) << none << Step::Blink << none;
    QTest::newRow("ringing with a date blinks after midnight")
            << 2 << 12250930 << at(christmas, 23, 59, 59, 700) << at(christmas.addDays(1), 0, 0, 1) << none
            << Step::Blink << none;
    QTest::newRow("off never fires")
            << 0 << 930 << at(other, 9, 29, 59, 800) << at(other, 9, 30, 0, 300) << none << Step::Nothing << none;
    QTest::newRow("unknown state")
            << 7 << 930 << at(other, 9, 29, 59, 800) << at(other, 9, 30, 0, 300) << none << Step::Nothing << none;
    QTest::newRow("minute 60 never comes")
            << 1 << 960 << at(other, 9, 59, 0) << at(other, 10, 1, 0) << none << Step::Nothing << none;
    QTest::newRow("hour 24 never comes")
            << 1 << 2400 << at(other, 23, 59, 0) << at(other.addDays(1), 0, 1, 0) << none << Step::Nothing << none;
    QTest::newRow("month 13 never comes")
            << 1 << 13010000 << at(QDate(2026, 12, 31), 23, 0, 0) << at(QDate(2027, 1, 2), 0, 0, 0) << none
            << Step::Nothing << none;
    QTest::newRow("day 32 never comes")
            << 1 << 1320000 << at(QDate(2026, 1, 31), 23, 0, 0) << at(QDate(2026, 2, 2), 0, 0, 0) << none
            << Step::Nothing << none;
    QTest::newRow("negative time never comes")
            << 1 << -5 << at(other, 23, 59, 0) << at(other.addDays(1), 0, 1, 0) << none << Step::Nothing << none;
}

namespace {

const QString MinuteFormat = QStringLiteral("yyyy-MM-dd HH:mm");

std::optional<NoteAlarm::WallMinute> minuteFrom(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    const QDateTime moment = QDateTime::fromString(text, MinuteFormat);
    return NoteAlarm::WallMinute{moment.date(), moment.time()};
}

QString textOf(const std::optional<NoteAlarm::WallMinute> &minute)
{
    return minute ? QDateTime(minute->date, minute->time).toString(MinuteFormat) : QString();
}

}

void TestAlarm::shouldDecideTheTick()
{
    QFETCH(int, alarm);
    QFETCH(int, aTime);
    QFETCH(QDateTime, previousTick);
    QFETCH(QDateTime, now);
    QFETCH(QString, lastRung);
    QFETCH(Step, step);
    QFETCH(QString, ringsFor);
    NoteSettings record;
    record.ALARM = alarm;
    record.A_TIME = aTime;
    const NoteAlarm::Decision decision = NoteAlarm::step(record, previousTick, now, minuteFrom(lastRung));
    QCOMPARE(decision.step, step);
    QCOMPARE(textOf(decision.minute), ringsFor);

    // The program sleeps from one tick until the alarm's next minute: it
    // wakes by `now` exactly when this tick fires.
    if (alarm == 1 && previousTick <= now) {
        const std::optional<NoteAlarm::WallMinute> wake = NoteAlarm::nextMinute(aTime, previousTick, minuteFrom(lastRung));
        QCOMPARE(wake.has_value() && Clock::wallMSecs(wake->date, wake->time) <= Clock::wallMSecs(now), step == Step::Fire);
        if (wake)
            QVERIFY(Clock::wallMSecs(wake->date, wake->time) > Clock::wallMSecs(previousTick));
    }
}

// The clock keeps the zone's offset between lookups: two ticks as the clock
// gives them, the zone set before each, and what an alarm does between them.
void TestAlarm::shouldTickThroughZoneChanges_data()
{
    QTest::addColumn<QByteArray>("zoneBefore");
    QTest::addColumn<QByteArray>("zoneAfter");
    QTest::addColumn<QDateTime>("previousUtc");
    QTest::addColumn<QDateTime>("nowUtc");
    QTest::addColumn<int>("aTime");
    QTest::addColumn<QString>("localNow");
    QTest::addColumn<Step>("step");

    const auto utc = [](int month, int day, int hour, int minute, int second, int ms) {
        return QDateTime(QDate(2026, month, day), QTime(hour, minute, second, ms), Qt::UTC);
    };
    const QByteArray berlin = "Europe/Berlin";
    const QByteArray tokyo = "Asia/Tokyo";
    QTest::newRow("summer time begins between two ticks")
            << berlin << berlin << utc(3, 29, 0, 59, 59, 800) << utc(3, 29, 1, 0, 0, 300) << 230
            << "2026-03-29 03:00:00" << Step::Fire;
    QTest::newRow("summer time ends between two ticks: 02:30 comes again later")
            << berlin << berlin << utc(10, 25, 0, 59, 59, 800) << utc(10, 25, 1, 0, 0, 300) << 230
            << "2026-10-25 02:00:00" << Step::Nothing;
    QTest::newRow("midnight nine hours ahead of UTC")
            << tokyo << tokyo << utc(12, 7, 14, 59, 59, 800) << utc(12, 7, 15, 0, 0, 300) << 0
            << "2026-12-08 00:00:00" << Step::Fire;
    QTest::newRow("another zone and the clock set forward within the minute")
            << berlin << tokyo << utc(12, 7, 8, 0, 10, 0) << utc(12, 7, 8, 0, 20, 0) << 1700
            << "2026-12-07 17:00:20" << Step::Fire;
    QTest::newRow("another zone and the clock set back within the minute")
            << berlin << tokyo << utc(12, 7, 8, 0, 20, 0) << utc(12, 7, 8, 0, 10, 0) << 1700
            << "2026-12-07 17:00:10" << Step::Fire;
    QTest::newRow("another zone, taken at the next minute")
            << berlin << tokyo << utc(12, 7, 8, 0, 59, 800) << utc(12, 7, 8, 1, 0, 300) << 1700
            << "2026-12-07 17:01:00" << Step::Fire;
}

void TestAlarm::shouldTickThroughZoneChanges()
{
    QFETCH(QByteArray, zoneBefore);
    QFETCH(QByteArray, zoneAfter);
    QFETCH(QDateTime, previousUtc);
    QFETCH(QDateTime, nowUtc);
    QFETCH(int, aTime);
    QFETCH(QString, localNow);
    QFETCH(Step, step);
    const ZoneSetting zone;

    // Half a second of the steady clock between the ticks. Each row starts
    // far from where the row before left the clock, as after a suspend.
    static qint64 start = 0;
    start -= 1'000'000'000'000;
    zone.use(zoneBefore);
    const QDateTime previous = Clock::localTime(previousUtc.toMSecsSinceEpoch(), start);
    zone.use(zoneAfter);
    const QDateTime now = Clock::localTime(nowUtc.toMSecsSinceEpoch(), start + 500);

    QCOMPARE(now.toMSecsSinceEpoch(), nowUtc.toMSecsSinceEpoch());
    QCOMPARE(now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), localNow);
    NoteSettings record;
    record.ALARM = 1;
    record.A_TIME = aTime;
    QCOMPARE(NoteAlarm::step(record, previous, now, std::nullopt).step, step);
}

// A run of the program on an injected clock: it sleeps until the moment its
// next alarm minute comes, or until the kernel or the zone watch wakes it
// for a resume, a clock set or a new zone, and now and then for something
// else. Times are UTC, "MM-dd hh:mm[:ss]" of 2026; a happening is
// "AT suspend UNTIL", "AT set TO" or "AT zone NAME".
// Every ring is stopped at once, so a second ring would show.
void TestAlarm::shouldRingOncePerCrossing_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<int>("aTime");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("until");
    QTest::addColumn<QStringList>("happenings");
    QTest::addColumn<QStringList>("rings");

    const QByteArray berlin = "Europe/Berlin";
    const QByteArray tokyo = "Asia/Tokyo";
    QTest::newRow("a steady clock, two days")
            << berlin << 900 << "12-07 07:00" << "12-08 09:00" << QStringList()
            << QStringList{"12-07 08:00:00", "12-08 08:00:00"};
    QTest::newRow("suspended before the minute, resumed after it")
            << berlin << 900 << "12-07 07:55" << "12-07 12:00" << QStringList{"12-07 07:57 suspend 12-07 08:10"}
            << QStringList{"12-07 08:10:00"};
    QTest::newRow("suspended and resumed before the minute")
            << berlin << 900 << "12-07 07:55" << "12-07 12:00" << QStringList{"12-07 07:56 suspend 12-07 07:59:30"}
            << QStringList{"12-07 08:00:00"};
    QTest::newRow("clock set forward over the minute")
            << berlin << 900 << "12-07 07:55" << "12-07 12:00" << QStringList{"12-07 07:58 set 12-07 08:05"}
            << QStringList{"12-07 08:05:00"};
    QTest::newRow("clock set back over the minute it rang for")
            << berlin << 900 << "12-07 07:55" << "12-08 09:00" << QStringList{"12-07 08:00:30 set 12-07 07:59"}
            << QStringList{"12-07 08:00:00", "12-08 08:00:00"};
    QTest::newRow("a zone to the east skips the minute")
            << berlin << 1500 << "12-07 05:00" << "12-08 07:00" << QStringList{"12-07 06:30 zone Asia/Tokyo"}
            << QStringList{"12-07 06:30:00", "12-08 06:00:00"};
    QTest::newRow("a zone to the east, before the minute")
            << berlin << 1700 << "12-07 05:00" << "12-07 20:00" << QStringList{"12-07 06:30 zone Asia/Tokyo"}
            << QStringList{"12-07 08:00:00"};
    QTest::newRow("a zone to the west, before the minute")
            << tokyo << 1200 << "12-07 00:00" << "12-07 20:00" << QStringList{"12-07 01:00 zone Europe/Berlin"}
            << QStringList{"12-07 11:00:00"};
    QTest::newRow("a zone to the west after the ring: the minute comes again, quiet")
            << tokyo << 1200 << "12-07 00:00" << "12-08 12:00" << QStringList{"12-07 04:00 zone Europe/Berlin"}
            << QStringList{"12-07 03:00:00", "12-08 11:00:00"};
    QTest::newRow("summer time begins: 02:30 never shows, rings at 03:00")
            << berlin << 230 << "03-29 00:00" << "03-30 02:00" << QStringList()
            << QStringList{"03-29 01:00:00", "03-30 00:30:00"};
    QTest::newRow("summer time ends: 02:30 shows twice, rings once")
            << berlin << 230 << "10-24 23:00" << "10-26 03:00" << QStringList()
            << QStringList{"10-25 00:30:00", "10-26 01:30:00"};
    QTest::newRow("summer time ends: set in the second 02:00, rings at the second 02:30")
            << berlin << 230 << "10-25 01:10" << "10-25 12:00" << QStringList() << QStringList{"10-25 01:30:00"};
}

namespace {

// Rounds for other reasons (another note's alarm, a file changed): the
// decision, not the plan alone, must keep a minute from ringing twice.
constexpr qint64 OtherRoundsMSecs = (7 * 60 + 13) * 1000;

qint64 utcMSecs(const QString &text)
{
    const QString format = text.size() > 11 ? QStringLiteral("yyyy-MM-dd hh:mm:ss") : QStringLiteral("yyyy-MM-dd hh:mm");
    QDateTime moment = QDateTime::fromString(QStringLiteral("2026-") + text, format);
    moment.setTimeSpec(Qt::UTC);
    return moment.toMSecsSinceEpoch();
}

}

void TestAlarm::shouldRingOncePerCrossing()
{
    QFETCH(QByteArray, zone);
    QFETCH(int, aTime);
    QFETCH(QString, from);
    QFETCH(QString, until);
    QFETCH(QStringList, happenings);
    QFETCH(QStringList, rings);
    const ZoneSetting setting;
    setting.use(zone);
    Clock::reloadZone();

    NoteSettings record;
    record.ALARM = 1;
    record.A_TIME = aTime;
    qint64 utc = utcMSecs(from);
    // The steady clock stops while the machine sleeps and ignores a set.
    qint64 steady = 0;
    QDateTime previous = Clock::localTime(utc, steady);
    std::optional<NoteAlarm::WallMinute> lastRung;
    QStringList rang;
    qsizetype happened = 0;
    for (int wakes = 0; wakes < 1000; ++wakes) {
        const std::optional<NoteAlarm::WallMinute> minute = NoteAlarm::nextMinute(aTime, previous, lastRung);
        const qint64 alarmDue = minute ? Clock::firstMomentShowing(Clock::wallMSecs(minute->date, minute->time), utc)
                                       : utcMSecs(until);
        const qint64 due = std::min(alarmDue, utc + OtherRoundsMSecs);
        QVERIFY(due > utc);
        const QStringList words = happened < happenings.size() ? happenings[happened].split(QLatin1Char(' ')) : QStringList();
        const qint64 at = words.isEmpty() ? due : utcMSecs(words[0] + QLatin1Char(' ') + words[1]);
        if (!words.isEmpty() && at <= due) {
            ++happened;
            steady += at - utc;
            const bool newZone = words[2] == QLatin1String("zone");
            utc = newZone ? at : utcMSecs(words[3] + QLatin1Char(' ') + words[4]);
            if (newZone) {
                setting.use(words[3].toLatin1());
                Clock::reloadZone();
            }
        } else {
            steady += due - utc;
            utc = due;
        }
        if (utc > utcMSecs(until))
            break;
        const QDateTime now = Clock::localTime(utc, steady);
        const NoteAlarm::Decision decision = NoteAlarm::step(record, previous, now, lastRung);
        previous = now;
        if (decision.step == Step::Fire) {
            lastRung = decision.minute;
            rang << QDateTime::fromMSecsSinceEpoch(utc, Qt::UTC).toString(QStringLiteral("MM-dd hh:mm:ss"));
        }
    }
    QCOMPARE(rang, rings);
}

void TestAlarm::shouldWriteTwoDigits_data()
{
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("5") << qint64(5) << "05";
    QTest::newRow("12") << qint64(12) << "12";
    QTest::newRow("1225") << qint64(1225) << "25";
    QTest::newRow("0") << qint64(0) << "00";
    QTest::newRow("-5") << qint64(-5) << "-5";
}

void TestAlarm::shouldWriteTwoDigits()
{
    QFETCH(qint64, number);
    QFETCH(QString, text);
    QCOMPARE(AlarmTime::twoDigits(number), text);
}

void TestAlarm::shouldShowTheAlarmLine_data()
{
    QTest::addColumn<int>("aTime");
    QTest::addColumn<QString>("line");
    QTest::newRow("time only") << 930 << "<09:30>\n";
    QTest::newRow("last minute of the day") << 2359 << "<23:59>\n";
    QTest::newRow("1 January 00:00") << 1010000 << "01/01 <00:00>\n";
    QTest::newRow("christmas") << 12250930 << "12/25 <09:30>\n";
    QTest::newRow("out of range shows its digits") << 1260 << "<12:60>\n";
}

void TestAlarm::shouldShowTheAlarmLine()
{
    QFETCH(int, aTime);
    QFETCH(QString, line);
    QCOMPARE(AlarmTime::alarmLine(aTime), line);
}

void TestAlarm::shouldPackAlarmTimes()
{
    QCOMPARE(AlarmTime::pack(7, 5), 705);
    QCOMPARE(AlarmTime::pack(12, 25, 12, 30), 12251230);
    QCOMPARE(AlarmTime::pack(12, 31, 23, 59), 12312359);
    QVERIFY(!AlarmTime::isDated(2359));
    QVERIFY(AlarmTime::isDated(1010000));
}

void TestAlarm::shouldConvertTwipsToPixels_data()
{
    QTest::addColumn<double>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("full launcher") << 1710.0 << 114;
    QTest::newRow("narrow launcher") << 1277.0 << 85;
    QTest::newRow("remainder dropped") << 29.0 << 1;
    QTest::newRow("half rounds to even, down") << 44.5 << 2;
    QTest::newRow("half rounds to even, up") << 45.5 << 3;
    QTest::newRow("negative") << -300.0 << -20;
    QTest::newRow("beyond 32 bits") << 1e12 << 2147483647 / 15;
}

void TestAlarm::shouldConvertTwipsToPixels()
{
    QFETCH(double, twips);
    QFETCH(int, pixels);
    QCOMPARE(PixelsFromTwips(twips, 15), pixels);
}

void TestAlarm::shouldCutWindowsToTheirRegions_data()
{
    QTest::addColumn<QRect>("region");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("launcher 1710x1050") << LauncherRegion(114, 70) << QRect(QPoint(3, 24), QPoint(110, 66));
    QTest::newRow("narrow launcher") << LauncherRegion(85, 70) << QRect(3, 24, 79, 43);
    QTest::newRow("note 2625x1035") << NoteRegion(175, 69) << QRect(3, 3, 170, 64);
}

void TestAlarm::shouldCutWindowsToTheirRegions()
{
    QFETCH(QRect, region);
    QFETCH(QRect, expected);
    QCOMPARE(region, expected);
}

QTEST_GUILESS_MAIN(TestAlarm)
#include "tst_alarm.moc"
