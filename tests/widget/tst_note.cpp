// SPDX-License-Identifier: MIT
// Note windows: opening from the file and from the edit screen, the alarm
// tick, blinking, acknowledging, dragging, resizing, closing.

#include "WidgetFixture.h"
#include "desktop/ImageControl.h"
#include "desktop/WindowProcedures.h"
#include "notes/AlarmSound.h"
#include "notes/NoteAlarm.h"
#include "store/Clock.h"
#include "store/ProfileMerge.h"
#include "store/NoteLook.h"

#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include <sys/stat.h>

namespace {

void sendMouse(QWidget *widget, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapTo(widget->window(), pos)),
                      QPointF(widget->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void drag(QWidget *widget, QPoint from, QPoint by, Qt::MouseButton button)
{
    sendMouse(widget, QEvent::MouseButtonPress, from, button, button);
    // Global positions drive the move, so the press point is fixed in screen terms.
    const QPoint global = widget->mapToGlobal(from);
    for (int step = 1; step <= 4; ++step) {
        const QPoint target = global + by * step / 4;
        QMouseEvent move(QEvent::MouseMove, QPointF(widget->mapFromGlobal(target)), QPointF(target),
                         QPointF(target), Qt::NoButton, button, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }
    const QPoint end = global + by;
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(widget->mapFromGlobal(end)), QPointF(end),
                        QPointF(end), button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// A real double-click: press, release, double-click, release.
void doubleClick(QWidget *widget, QPoint pos)
{
    sendMouse(widget, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
    sendMouse(widget, QEvent::MouseButtonDblClick, pos, Qt::LeftButton, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

bool isTopmost(QWidget *window)
{
    return window->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
}

QPoint middle(QWidget *window)
{
    return window->rect().center();
}

const QDate Monday(2026, 12, 7);

// Changes whenever the file is written, even with the same bytes.
QString fileStamp(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    return QStringLiteral("%1 %2.%3").arg(st.st_ino).arg(st.st_mtim.tv_sec).arg(st.st_mtim.tv_nsec);
}

QColor shownColor(QWidget *note)
{
    return note->grab().toImage().pixelColor(note->rect().center());
}

NoteForm *showArmedNote(WidgetFixture &fixture, int aTime)
{
    NoteSettings record = noteRecord();
    record.ALARM = 1;
    record.A_TIME = aTime;
    fixture.save(NoteSection(3), record);
    return fixture.showNote(3);
}

}

class TestNote : public QObject
{
    Q_OBJECT

private slots:
    void shouldFireOnTheFirstTickAfterItsMoment_data();
    void shouldFireOnTheFirstTickAfterItsMoment();
    void shouldFireADatedAlarmOnlyOnItsDay();
    void shouldFireOnceInTwoTicksOfTheSameSecond();
    void shouldFireEveryNoteDueInTheMinuteWhenSavesAreSlow();
    void shouldFireOnceWhenTheClockJumpsOverTheMinute();
    void shouldNotRingACrossingStoppedElsewhere();
    void shouldBlinkAStoredRingingAlarmWithoutSoundOrTopmost();
    void shouldAcknowledgeARingingAlarm_data();
    void shouldAcknowledgeARingingAlarm();
    void shouldShowTheAlarmLine_data();
    void shouldShowTheAlarmLine();
    void shouldConvertStoredLineBreaks();
    void shouldSizeItselfToItsTextAfterTheEditScreen();
    void shouldKeepItsStoredSizeFromTheFile();
    void shouldStayReachable_data();
    void shouldStayReachable();
    void shouldWriteOnlyThePlacesTheUserMakes();
    void shouldWriteItselfBackWhenItsSectionIsGone_data();
    void shouldWriteItselfBackWhenItsSectionIsGone();
    void shouldLetAnotherProgramFinishRewritingTheFile();
    void shouldRetryAFailedWriteAtEveryTick();
    void shouldTakeWhatAnotherMachineWrote();
    void shouldKeepADragMadeWhileTheFileChanged();
    void shouldShowWhatAConflictCopyBrings();
    void shouldDragOnlyWithTheLeftButton();
    void shouldResizeFromItsFrame();
    void shouldLetPressesThroughItsTextWhileTheMouseIsOverIt();
    void shouldReshapeOnlyWhileTheLauncherRefreshes();
    void shouldFreeItsSlotWhenClosed();
    void shouldIgnoreAWindowManagersCloseRequest();
    void shouldOpenTheEditScreenOnDoubleClick_data();
    void shouldOpenTheEditScreenOnDoubleClick();
    void shouldIgnoreADoubleClickWhileAnEditScreenIsOpen();
};

void TestNote::shouldFireOnTheFirstTickAfterItsMoment_data()
{
    QTest::addColumn<QTime>("created");
    QTest::addColumn<QTime>("tick");
    QTest::addColumn<bool>("fires");
    QTest::newRow("09:29:59") << QTime(9, 29, 58) << QTime(9, 29, 59) << false;
    QTest::newRow("09:30:00") << QTime(9, 29, 59, 500) << QTime(9, 30, 0) << true;
    QTest::newRow("09:30:01, second 00 missed") << QTime(9, 29, 59, 500) << QTime(9, 30, 1, 200) << true;
    QTest::newRow("the note came after 09:30:00") << QTime(9, 30, 0, 500) << QTime(9, 30, 1) << false;
}

void TestNote::shouldFireOnTheFirstTickAfterItsMoment()
{
    QFETCH(QTime, created);
    QFETCH(QTime, tick);
    QFETCH(bool, fires);
    WidgetFixture fixture(QDateTime(Monday, created));
    NoteForm *note = showArmedNote(fixture, 930);
    const int sounds = AlarmSound::playRequests();

    fixture.setTime(QDateTime(Monday, tick));
    note->Timer1_Timer();

    QCOMPARE(fixture.load(NoteSection(3)).ALARM, fires ? 2 : 1);
    QCOMPARE(isTopmost(note), fires);
    QCOMPARE(AlarmSound::playRequests() - sounds, fires ? 1 : 0);
}

void TestNote::shouldFireADatedAlarmOnlyOnItsDay()
{
    WidgetFixture fixture(QDateTime(Monday, QTime(9, 29, 59)));
    NoteForm *note = showArmedNote(fixture, 12250930);
    const NoteSettings record = fixture.load(NoteSection(3));

    // Another day: no alarm, but a drag is still written.
    fixture.setTime(QDateTime(Monday, QTime(9, 30, 0)));
    drag(note, middle(note), QPoint(10, 0), Qt::LeftButton);
    note->Timer1_Timer();
    NoteSettings stored = fixture.load(NoteSection(3));
    QCOMPARE(stored.ALARM, 1);
    QCOMPARE(stored.POJIX, record.POJIX + 150);

    fixture.setTime(QDateTime(QDate(2026, 12, 25), QTime(9, 29, 59, 600)));
    note->Timer1_Timer();
    QCOMPARE(fixture.load(NoteSection(3)).ALARM, 1);
    fixture.setTime(QDateTime(QDate(2026, 12, 25), QTime(9, 30, 0, 100)));
    note->Timer1_Timer();
    QCOMPARE(fixture.load(NoteSection(3)).ALARM, 2);
}

void TestNote::shouldFireOnceInTwoTicksOfTheSameSecond()
{
    WidgetFixture fixture(QDateTime(Monday, QTime(9, 29, 59, 500)));
    NoteForm *note = showArmedNote(fixture, 930);
    auto *label = child<NoteText>(note, "Label1");
    const int sounds = AlarmSound::playRequests();

    fixture.setTime(QDateTime(Monday, QTime(9, 30, 0)));
    note->Timer1_Timer();
    QVERIFY(!label->isHidden());
    note->Timer1_Timer();
    QCOMPARE(AlarmSound::playRequests() - sounds, 1);
    QVERIFY(label->isHidden());
    QCOMPARE(fixture.load(NoteSection(3)).ALARM, 2);
}

// Eight notes due in one minute, each save taking 200 ms: most ticks miss
// second 00, and every alarm still goes off, once.
void TestNote::shouldFireEveryNoteDueInTheMinuteWhenSavesAreSlow()
{
    QDateTime now(Monday, QTime(9, 29, 59, 600));
    WidgetFixture fixture(now);
    QList<NoteForm *> notes;
    for (int slot = 3; slot <= 10; ++slot) {
        NoteSettings record = noteRecord(slot * 1500, 3000);
        record.ALARM = 1;
        record.A_TIME = 930;
        fixture.save(NoteSection(slot), record);
        notes << fixture.showNote(slot);
    }
    const int sounds = AlarmSound::playRequests();

    QDateTime lastFired;
    while (now < QDateTime(Monday, QTime(9, 30, 5))) {
        for (NoteForm *note : notes) {
            const QByteArray before = fixture.bytes();
            note->Timer1_Timer();
            if (fixture.bytes() != before) {
                lastFired = now;
                now = now.addMSecs(200);
                fixture.setTime(now);
            }
        }
        now = now.addMSecs(500);
        fixture.setTime(now);
    }

    for (int slot = 3; slot <= 10; ++slot)
        QVERIFY2(fixture.load(NoteSection(slot)).ALARM == 2, qPrintable(NoteSection(slot)));
    QCOMPARE(AlarmSound::playRequests() - sounds, 8);
    QVERIFY(lastFired > QDateTime(Monday, QTime(9, 30, 1)));
}

// A suspend (or a clock set forward) over the alarm's minute: the next tick
// fires it once; acknowledging it in that minute does not fire it again, nor
// does the clock set back over the minute and coming to it once more.
void TestNote::shouldFireOnceWhenTheClockJumpsOverTheMinute()
{
    WidgetFixture fixture(QDateTime(Monday, QTime(9, 29, 0)));
    NoteForm *note = showArmedNote(fixture, 930);
    const int sounds = AlarmSound::playRequests();
    fixture.setTime(QDateTime(Monday, QTime(9, 29, 30)));
    note->Timer1_Timer();
    QCOMPARE(fixture.load(NoteSection(3)).ALARM, 1);

    fixture.setTime(QDateTime(Monday, QTime(11, 4, 17)));
    note->Timer1_Timer();
    QCOMPARE(fixture.load(NoteSection(3)).ALARM, 2);
    fixture.setTime(QDateTime(Monday, QTime(11, 4, 17, 500)));
    note->Timer1_Timer();
    QCOMPARE(AlarmSound::playRequests() - sounds, 1);

    doubleClick(note, middle(note));
    fixture.setTime(QDateTime(Monday, QTime(11, 4, 18)));
    note->Timer1_Timer();
    QCOMPARE(fixture.load(NoteSection(3)).ALARM, 1);
    QCOMPARE(AlarmSound::playRequests() - sounds, 1);

    fixture.setTime(QDateTime(Monday, QTime(9, 29, 59, 800)));
    note->Timer1_Timer();
    fixture.setTime(QDateTime(Monday, QTime(9, 30, 0, 300)));
    note->Timer1_Timer();
    QCOMPARE(fixture.load(NoteSection(3)).ALARM, 1);
    QCOMPARE(AlarmSound::playRequests() - sounds, 1);
}

// Another machine sharing the file, its clock two seconds ahead, rings the
// alarm and the user stops it there. Stopped before this clock reaches the
// minute, it does not ring here; stopped after it rang here too, the stop
// wins when the two versions meet, even over a later ring, and this note
// goes quiet.
void TestNote::shouldNotRingACrossingStoppedElsewhere()
{
    WidgetFixture fixture(QDateTime(Monday, QTime(9, 29, 58)));
    NoteForm *note = showArmedNote(fixture, 930);
    auto *label = child<NoteText>(note, "Label1");
    note->Timer1_Timer();
    const int sounds = AlarmSound::playRequests();
    // The other machine's ring and stop of the day's 09:30, at `at` by its
    // clock, over the version `from` it had of this machine's file.
    const auto stoppedElsewhere = [](const QDate &day, const std::string &from, std::int64_t at) {
        const StampedSection base = *SectionsOf(from)[1];
        NoteSettings ringing = base.record;
        ringing.ALARM = 2;
        NoteSettings stopped = base.record;
        Sync::Stamp stamp = Sync::Restamp(base.stamp, base.record, ringing, Sync::Dot{"bbbbbbbb", at});
        stamp = Sync::Restamp(stamp, ringing, stopped, Sync::Dot{"bbbbbbbb", at + 800});
        stamp.crossing = Sync::AlarmCrossing{NoteAlarm::markOf({day, QTime(9, 30)}), true};
        return QByteArray::fromStdString(SectionText("FORM3", stopped, stamp));
    };

    fixture.write(stoppedElsewhere(Monday, fixture.bytes().toStdString(), Clock::now().toMSecsSinceEpoch() + 2000));
    note->Timer1_Timer();
    fixture.setTime(QDateTime(Monday, QTime(9, 30, 0, 200)));
    note->Timer1_Timer();
    QCOMPARE(fixture.load(NoteSection(3)).ALARM, 1);
    QCOMPARE(AlarmSound::playRequests(), sounds);
    QVERIFY(!isTopmost(note));

    const std::string beforeTheRing = fixture.bytes().toStdString();
    fixture.setTime(QDateTime(Monday.addDays(1), QTime(9, 30, 0, 100)));
    note->Timer1_Timer();
    QCOMPARE(fixture.load(NoteSection(3)).ALARM, 2);
    WaitForSaves();
    fixture.write(stoppedElsewhere(Monday.addDays(1), beforeTheRing, Clock::now().toMSecsSinceEpoch() - 5000));
    QTRY_COMPARE_WITH_TIMEOUT((note->Timer1_Timer(), fixture.load(NoteSection(3)).ALARM), 1, 5000);
    QVERIFY(!isTopmost(note));
    QVERIFY(!label->isHidden());
    QCOMPARE(AlarmSound::playRequests(), sounds + 1);
}

void TestNote::shouldBlinkAStoredRingingAlarmWithoutSoundOrTopmost()
{
    WidgetFixture fixture(QDateTime(Monday, QTime(14, 0, 0)));
    NoteSettings record = noteRecord();
    record.ALARM = 2;
    record.A_TIME = 930;
    fixture.save(NoteSection(3), record);
    NoteForm *note = fixture.showNote(3);
    auto *label = child<NoteText>(note, "Label1");
    auto *closeMark = child<ImageControl>(note, "Image1");
    const int sounds = AlarmSound::playRequests();

    const QList<bool> hidden = {true, false, true, false};
    for (bool expected : hidden) {
        note->Timer1_Timer();
        QCOMPARE(label->isHidden(), expected);
        QVERIFY(!closeMark->isHidden());
    }
    QCOMPARE(AlarmSound::playRequests(), sounds);
    QVERIFY(!isTopmost(note));
}

void TestNote::shouldAcknowledgeARingingAlarm_data()
{
    QTest::addColumn<int>("key"); // 0: a double-click
    QTest::newRow("double-click") << 0;
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
}

void TestNote::shouldAcknowledgeARingingAlarm()
{
    QFETCH(int, key);
    WidgetFixture fixture(QDateTime(Monday, QTime(9, 29, 59, 500)));
    NoteForm *note = showArmedNote(fixture, 930);
    auto *label = child<NoteText>(note, "Label1");
    const int sounds = AlarmSound::playRequests();

    fixture.setTime(QDateTime(Monday, QTime(9, 30, 0)));
    note->Timer1_Timer(); // fires
    fixture.setTime(QDateTime(Monday, QTime(9, 30, 0, 500)));
    note->Timer1_Timer(); // text hidden
    QVERIFY(label->isHidden());
    QVERIFY(isTopmost(note));

    EditScreenOpen = 1; // acknowledging works even while an edit is open
    if (key)
        QTest::keyClick(note, Qt::Key(key));
    else
        doubleClick(note, middle(note));

    const NoteSettings stored = fixture.load(NoteSection(3));
    QCOMPARE(stored.ALARM, 1);
    QCOMPARE(stored.A_TIME, 930);
    QVERIFY(!label->isHidden());
    QVERIFY(!isTopmost(note));
    QVERIFY(!fixture.editScreen());
    QVERIFY(label->text().startsWith(QLatin1String("<09:30>\n")));

    // Still in the alarm's minute: it does not go off again.
    fixture.setTime(QDateTime(Monday, QTime(9, 30, 1)));
    note->Timer1_Timer();
    QCOMPARE(fixture.load(NoteSection(3)).ALARM, 1);
    QCOMPARE(AlarmSound::playRequests() - sounds, 1);
}

void TestNote::shouldShowTheAlarmLine_data()
{
    QTest::addColumn<int>("alarm");
    QTest::addColumn<int>("aTime");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name"); // for accessibility tools
    QTest::newRow("no alarm") << 0 << 930 << "memo" << "memo" << "memo";
    QTest::newRow("armed 23:59") << 1 << 2359 << "memo⇔two" << "<23:59>\nmemo\ntwo" << "memo";
    QTest::newRow("ringing, dated 1 Jan") << 2 << 1010000 << "memo" << "01/01 <00:00>\nmemo" << "memo";
    QTest::newRow("alarm without text") << 1 << 930 << "" << "<09:30>" << "付箋紙";
}

void TestNote::shouldShowTheAlarmLine()
{
    QFETCH(int, alarm);
    QFETCH(int, aTime);
    QFETCH(QString, stored);
    QFETCH(QString, text);
    QFETCH(QString, name);
    WidgetFixture fixture;
    NoteSettings record = noteRecord();
    record.ALARM = alarm;
    record.A_TIME = aTime;
    record.NAIYOU = stored;
    fixture.save(NoteSection(5), record);
    NoteForm *note = fixture.showNote(5);
    QCOMPARE(child<NoteText>(note, "Label1")->text(), text);
    QCOMPARE(note->accessibleName(), name);
    QVERIFY(!note->accessibleDescription().isEmpty());
    // Every close mark is named; only Form3's shows a tool tip.
    auto *closeMark = child<ImageControl>(note, "Image1");
    QCOMPARE(closeMark->accessibleName(), QStringLiteral("閉じる"));
    QVERIFY(!closeMark->accessibleDescription().isEmpty());
    QVERIFY(closeMark->toolTip().isEmpty());
}

void TestNote::shouldConvertStoredLineBreaks()
{
    WidgetFixture fixture;
    NoteSettings record = noteRecord();
    record.NAIYOU = QStringLiteral("会議⇔資料⇔コピー & 配布");
    fixture.save(NoteSection(3), record);
    NoteForm *note = fixture.showNote(3);
    QCOMPARE(child<NoteText>(note, "Label1")->text(), QStringLiteral("会議\n資料\nコピー & 配布"));
    QCOMPARE(fixture.load(NoteSection(3)).NAIYOU, record.NAIYOU);
}

void TestNote::shouldSizeItselfToItsTextAfterTheEditScreen()
{
    WidgetFixture fixture;
    SharedRecord = noteRecord();
    SharedRecord.NAIYOU = QStringLiteral("first line\r\nsecond, longer line\n");
    SharedRecord.YOKO = 99999;
    UseSharedRecord = 1;
    CurrentSection = NoteSection(4);
    fixture.desktop().reloadNote(4);

    NoteForm *note = fixture.note(4);
    auto *label = child<NoteText>(note, "Label1");
    const NoteSettings stored = fixture.load(NoteSection(4));
    QCOMPARE(UseSharedRecord, 0);
    QCOMPARE(stored.YOKO, (label->width() + 35) * 15);
    QCOMPARE(stored.TATE, (label->height() + 20) * 15);
    QCOMPARE(note->size(), QSize(label->width() + 35, label->height() + 20));
    QCOMPARE(stored.NAIYOU, QStringLiteral("first line⇔second, longer line"));
    QCOMPARE(stored.SIYOU, 1);
    // The line feed OK ends the text with is no blank line: after a restart
    // the note looks the same.
    QCOMPARE(label->text(), QStringLiteral("first line\nsecond, longer line"));
    const QSize labelSize = label->size();
    fixture.desktop().reloadNote(4);
    QCOMPARE(child<NoteText>(fixture.note(4), "Label1")->size(), labelSize);
    QCOMPARE(fixture.load(NoteSection(4)), stored);
}

void TestNote::shouldKeepItsStoredSizeFromTheFile()
{
    WidgetFixture fixture;
    NoteSettings record = noteRecord();
    record.NAIYOU = QString(300, QLatin1Char('w'));
    record.YOKO = 2625;
    record.TATE = 1035;
    fixture.save(NoteSection(3), record);
    NoteForm *note = fixture.showNote(3);
    QCOMPARE(note->size(), QSize(175, 69));
    QCOMPARE(fixture.load(NoteSection(3)), record);
}

void TestNote::shouldStayReachable_data()
{
    QTest::addColumn<QRect>("stored"); // twips
    QTest::addColumn<bool>("moved");
    QTest::addColumn<bool>("grown");
    QTest::newRow("1 x 1 twips at the origin") << QRect(0, 0, 1, 1) << false << true;
    QTest::newRow("far right and below") << QRect(900000, 900000, 2700, 1500) << true << false;
    QTest::newRow("far left and above") << QRect(-60000, -60000, 2700, 1500) << true << false;
    QTest::newRow("partly off the screen stays") << QRect(-1500, -600, 2700, 1500) << false << false;
}

void TestNote::shouldStayReachable()
{
    QFETCH(QRect, stored);
    QFETCH(bool, moved);
    QFETCH(bool, grown);
    WidgetFixture fixture;
    NoteSettings record = noteRecord(stored.x(), stored.y());
    record.YOKO = stored.width();
    record.TATE = stored.height();
    fixture.save(NoteSection(3), record);
    NoteForm *note = fixture.showNote(3);

    const QRect visible = NoteRegion(note->width(), note->height()).translated(note->pos());
    QVERIFY(QGuiApplication::primaryScreen()->geometry().intersects(visible));
    QCOMPARE(note->pos() != QPoint(stored.x() / 15, stored.y() / 15), moved);
    QCOMPARE(note->width() > stored.width() / 15, grown);
    const int lineHeight = QFontMetrics(child<NoteText>(note, "Label1")->font()).height();
    QVERIFY(note->width() >= 35 && note->height() >= lineHeight + 20);

    // The next tick writes where the note really is.
    note->Timer1_Timer();
    const NoteSettings written = fixture.load(NoteSection(3));
    QCOMPARE(QRect(written.POJIX, written.POJIY, written.YOKO, written.TATE),
             QRect(note->x() * 15, note->y() * 15, note->width() * 15, note->height() * 15));
}

void TestNote::shouldWriteOnlyThePlacesTheUserMakes()
{
    WidgetFixture fixture;
    fixture.save(NoteSection(3), noteRecord());
    NoteForm *note = fixture.showNote(3);
    auto *closeMark = child<ImageControl>(note, "Image1");
    const QRect stored = note->geometry();
    note->Timer1_Timer();
    LauncherRefresh = 0;
    const QByteArray before = fixture.bytes();
    note->Timer1_Timer();
    QCOMPARE(fixture.bytes(), before);
    QCOMPARE(LauncherRefresh, quint8(0));

    // The window manager puts the new note elsewhere: nothing is written, and
    // the note asks once more for its stored place.
    note->setGeometry(QRect(32, 32, 300, 200));
    note->Timer1_Timer();
    QCOMPARE(fixture.bytes(), before);
    QCOMPARE(note->geometry(), stored);
    // It keeps its choice: the note stays there, the file keeps its place.
    note->setGeometry(QRect(183, 134, 300, 200));
    for (int tick = 0; tick < 6; ++tick)
        note->Timer1_Timer();
    QCOMPARE(fixture.bytes(), before);
    QCOMPARE(note->geometry(), QRect(183, 134, 300, 200));
    // The close mark follows the top-right corner whoever sized the window.
    QCOMPARE(closeMark->mapTo(note, QPoint(0, 0)), QPoint(300 - 4 - 16, 4 - 16));

    // What the user does there is written: a drag and a resize.
    drag(note, middle(note), QPoint(20, 10), Qt::LeftButton);
    drag(note, QPoint(297, 197), QPoint(40, 30), Qt::LeftButton);
    note->Timer1_Timer();
    const NoteSettings written = fixture.load(NoteSection(3));
    QCOMPARE(QRect(written.POJIX, written.POJIY, written.YOKO, written.TATE),
             QRect(203 * 15, 144 * 15, 340 * 15, 230 * 15));
    QCOMPARE(written.NAIYOU, QStringLiteral("memo"));
    QCOMPARE(LauncherRefresh, quint8(2));
}

void TestNote::shouldWriteItselfBackWhenItsSectionIsGone_data()
{
    QTest::addColumn<QByteArray>("damaged"); // what takes the file's place; empty: no file
    QTest::newRow("file deleted") << QByteArray();
    QByteArray garbage(4096, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 7919 + 13) % 251);
    QTest::newRow("4 KB of garbage") << garbage;
    QTest::newRow("another program's file") << QByteArray("[Settings]\r\nTheme=dark\r\n");
}

// The file goes missing or is damaged under notes on the screen: they keep
// ringing and blinking from what they hold, and after 1.5 s each writes
// itself back whole, never the defaults.
void TestNote::shouldWriteItselfBackWhenItsSectionIsGone()
{
    QFETCH(QByteArray, damaged);
    WidgetFixture fixture(QDateTime(Monday, QTime(14, 0, 0)));
    NoteSettings ringing = noteRecord(4500, 1500);
    ringing.ALARM = 2;
    ringing.A_TIME = 12250930;
    ringing.NAIYOU = QStringLiteral("会議⇔資料");
    ringing.B_Color = 12648384;
    ringing.FName = QStringLiteral("ＭＳ 明朝");
    ringing.FSize = 14;
    ringing.FBold = QStringLiteral("True");
    fixture.save(NoteSection(5), ringing);
    fixture.save(NoteSection(3), noteRecord());
    NoteForm *note = fixture.showNote(5);
    fixture.showNote(3);
    auto *label = child<NoteText>(note, "Label1");

    QFile::remove(fixture.path());
    if (!damaged.isEmpty())
        fixture.write(damaged);
    for (int tick = 0; tick < 3; ++tick) {
        const bool hidden = label->isHidden();
        note->Timer1_Timer();
        fixture.note(3)->Timer1_Timer();
        QCOMPARE(label->isHidden(), !hidden);
        QCOMPARE(fixture.bytes(), damaged);
    }
    note->Timer1_Timer();
    fixture.note(3)->Timer1_Timer();
    QCOMPARE(fixture.load(NoteSection(5)), ringing);
    QCOMPARE(fixture.load(NoteSection(3)), noteRecord());
}

// Another program rewrites nopi.ini in place, slowly: a tick that reads it
// half-written does not replace it, and the next whole read keeps its edit.
void TestNote::shouldLetAnotherProgramFinishRewritingTheFile()
{
    WidgetFixture fixture;
    fixture.save(NoteSection(3), noteRecord());
    NoteSettings other = noteRecord(6000, 6000);
    fixture.save(NoteSection(4), other);
    NoteForm *note = fixture.showNote(3);
    note->Timer1_Timer();

    other.NAIYOU = QStringLiteral("edited elsewhere");
    fixture.save(NoteSection(4), other); // the other program's new file
    const QByteArray edited = fixture.bytes();
    const QByteArray half = edited.left(edited.size() / 4);
    fixture.write(half);
    note->Timer1_Timer(); // 0.5 s into the rewrite
    QCOMPARE(fixture.bytes(), half);
    fixture.write(edited); // done after 0.7 s
    note->Timer1_Timer();
    note->Timer1_Timer();
    QCOMPARE(fixture.bytes(), edited);
    QCOMPARE(fixture.load(NoteSection(4)).NAIYOU, QStringLiteral("edited elsewhere"));
}

// A folder in the file's place: the write-back fails, and is tried again at
// every tick, so the first tick after the fault is gone writes the note.
void TestNote::shouldRetryAFailedWriteAtEveryTick()
{
    WidgetFixture fixture;
    fixture.save(NoteSection(3), noteRecord());
    NoteForm *note = fixture.showNote(3);
    QFile::remove(fixture.path());
    QVERIFY(QDir().mkpath(fixture.path() + QStringLiteral("/inside")));
    for (int tick = 0; tick < 5; ++tick)
        note->Timer1_Timer();
    QVERIFY(QFileInfo(fixture.path()).isDir());

    QVERIFY(QDir(fixture.path()).removeRecursively());
    note->Timer1_Timer();
    QCOMPARE(fixture.load(NoteSection(3)), noteRecord());
}

// Another machine sharing the file through a synced folder changes the
// note: this one shows it and writes nothing, so the two never answer each
// other's writes.
void TestNote::shouldTakeWhatAnotherMachineWrote()
{
    WidgetFixture fixture(QDateTime(Monday, QTime(9, 29, 59)));
    NoteSettings record = noteRecord();
    record.ALARM = 1;
    record.A_TIME = 930;
    fixture.save(NoteSection(3), record);
    QPointer<NoteForm> note = fixture.showNote(3);
    auto *label = child<NoteText>(note, "Label1");
    note->Timer1_Timer();
    const int sounds = AlarmSound::playRequests();

    NoteSettings elsewhere = record;
    // Twips that are no whole pixel: their rounding is no change of ours.
    elsewhere.POJIX = 4510;
    elsewhere.POJIY = 1207;
    elsewhere.YOKO = 4500;
    elsewhere.TATE = 2250;
    elsewhere.NAIYOU = QStringLiteral("会議⇔資料");
    elsewhere.B_Color = 12648384;
    elsewhere.FSize = 14;
    fixture.save(NoteSection(3), elsewhere);
    const QString stamp = fileStamp(fixture.path());
    for (int tick = 0; tick < 3; ++tick)
        note->Timer1_Timer();
    QCOMPARE(note->pos(), QPoint(PixelsFromTwips(4510, 15), PixelsFromTwips(1207, 15)));
    QCOMPARE(note->size(), QSize(300, 150));
    QCOMPARE(label->text(), QStringLiteral("<09:30>\n会議\n資料"));
    QCOMPARE(label->font().pointSize(), 14);
    QCOMPARE(shownColor(note), ColorFromBgr(12648384));
    QCOMPARE(fileStamp(fixture.path()), stamp);

    // Rung there: it blinks on top here too, without a second sound.
    elsewhere.ALARM = 2;
    fixture.save(NoteSection(3), elsewhere);
    note->Timer1_Timer();
    QVERIFY(label->isHidden());
    QVERIFY(isTopmost(note));
    // Acknowledged there: quiet here.
    elsewhere.ALARM = 1;
    fixture.save(NoteSection(3), elsewhere);
    const QString acknowledged = fileStamp(fixture.path());
    note->Timer1_Timer();
    QVERIFY(!label->isHidden());
    QVERIFY(!isTopmost(note));
    QCOMPARE(AlarmSound::playRequests(), sounds);
    QCOMPARE(fileStamp(fixture.path()), acknowledged);

    // Thrown away there: the window goes, the file keeps the note's keys.
    elsewhere.SIYOU = 0;
    fixture.save(NoteSection(3), elsewhere);
    const QByteArray closed = fixture.bytes();
    note->Timer1_Timer();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(note.isNull());
    QCOMPARE(fixture.bytes(), closed);
}

// The user drags the note while the other machine's change arrives: the
// drag is kept and written, with the other machine's text.
void TestNote::shouldKeepADragMadeWhileTheFileChanged()
{
    WidgetFixture fixture;
    fixture.save(NoteSection(3), noteRecord());
    NoteForm *note = fixture.showNote(3);
    note->Timer1_Timer();
    const QPoint before = note->pos();

    NoteSettings elsewhere = noteRecord(9000, 9000);
    elsewhere.NAIYOU = QStringLiteral("from the laptop");
    fixture.save(NoteSection(3), elsewhere);
    drag(note, middle(note), QPoint(30, 20), Qt::LeftButton);
    note->Timer1_Timer();

    QCOMPARE(note->pos(), before + QPoint(30, 20));
    const NoteSettings written = fixture.load(NoteSection(3));
    QCOMPARE(QPoint(written.POJIX, written.POJIY), (before + QPoint(30, 20)) * 15);
    QCOMPARE(written.NAIYOU, QStringLiteral("from the laptop"));
    QCOMPARE(child<NoteText>(note, "Label1")->text(), QStringLiteral("from the laptop"));
}

// A sync program leaves another machine's version beside the file: once it
// has lain still a moment it is merged, and the note shows its text, though
// this run wrote the merge itself.
void TestNote::shouldShowWhatAConflictCopyBrings()
{
    WidgetFixture fixture;
    qputenv("XDG_STATE_HOME", QFile::encodeName(fixture.dir() + QStringLiteral("/state")));
    fixture.save(NoteSection(3), noteRecord());
    NoteForm *note = fixture.showNote(3);
    note->Timer1_Timer();

    const StampedSection ours = *SectionsOf(fixture.bytes().toStdString())[1];
    NoteSettings elsewhere = ours.record;
    elsewhere.NAIYOU = QStringLiteral("from the laptop");
    const Sync::Stamp stamp = Sync::Restamp(ours.stamp, ours.record, elsewhere, Sync::Dot{"bbbbbbbb", 1});
    QFile copy(fixture.folder() + QStringLiteral("/nopi.sync-conflict-20261207-101500-ABCDEF7.ini"));
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write(QByteArray::fromStdString(SectionText("FORM3", elsewhere, stamp)));
    copy.close();

    QTRY_COMPARE_WITH_TIMEOUT(child<NoteText>(note, "Label1")->text(), QStringLiteral("from the laptop"), 15000);
    QVERIFY(!copy.exists());
    qunsetenv("XDG_STATE_HOME");
}

void TestNote::shouldDragOnlyWithTheLeftButton()
{
    WidgetFixture fixture;
    fixture.save(NoteSection(3), noteRecord());
    NoteForm *note = fixture.showNote(3);
    const QPoint start = note->pos();

    drag(note, middle(note), QPoint(30, 40), Qt::RightButton);
    QCOMPARE(note->pos(), start);

    // Pressed on the text, the drag still moves the note.
    drag(child<NoteText>(note, "Label1"), QPoint(2, 2), QPoint(30, 40), Qt::LeftButton);
    QCOMPARE(note->pos(), start + QPoint(30, 40));
    note->Timer1_Timer();
    QCOMPARE(fixture.load(NoteSection(3)).POJIX, (start.x() + 30) * 15);
}

void TestNote::shouldResizeFromItsFrame()
{
    WidgetFixture fixture;
    fixture.save(NoteSection(3), noteRecord());
    NoteForm *note = fixture.showNote(3);
    const QRect start = note->geometry();

    drag(note, QPoint(start.width() - 3, start.height() - 3), QPoint(25, 15), Qt::LeftButton);
    QCOMPARE(note->geometry(), QRect(start.topLeft(), start.size() + QSize(25, 15)));

    drag(note, QPoint(start.width() + 25 - 3, 40), QPoint(-1000, 0), Qt::LeftButton);
    QCOMPARE(note->width(), note->minimumWidth());

    note->Timer1_Timer();
    const NoteSettings stored = fixture.load(NoteSection(3));
    QCOMPARE(stored.YOKO, note->width() * 15);
    QCOMPARE(stored.TATE, (start.height() + 15) * 15);
}

void TestNote::shouldLetPressesThroughItsTextWhileTheMouseIsOverIt()
{
    WidgetFixture fixture;
    fixture.save(NoteSection(3), noteRecord());
    NoteForm *note = fixture.showNote(3);
    auto *label = child<NoteText>(note, "Label1");

    sendMouse(label, QEvent::MouseMove, QPoint(1, 1), Qt::NoButton, Qt::NoButton);
    QVERIFY(!label->isEnabled());
    // The text keeps its colour while disabled.
    QCOMPARE(label->palette().color(QPalette::Disabled, QPalette::WindowText), QColor(Qt::black));
    note->Timer1_Timer();
    QVERIFY(label->isEnabled());
}

void TestNote::shouldReshapeOnlyWhileTheLauncherRefreshes()
{
    WidgetFixture fixture;
    NoteSettings record = noteRecord();
    record.YOKO = 2625;
    record.TATE = 1035;
    fixture.save(NoteSection(3), record);
    NoteForm *note = fixture.showNote(3);
    QVERIFY(note->mask().isEmpty());

    LauncherRefresh = 0;
    note->Timer1_Timer();
    QVERIFY(note->mask().isEmpty());

    LauncherRefresh = 1;
    note->Timer1_Timer();
    QCOMPARE(note->mask(), QRegion(3, 3, 170, 64));
}

void TestNote::shouldFreeItsSlotWhenClosed()
{
    WidgetFixture fixture;
    fixture.save(NoteSection(3), noteRecord());
    NoteSettings own = noteRecord(6000, 6000);
    own.NAIYOU = QStringLiteral("keep me");
    own.B_Color = 12648384;
    fixture.save(NoteSection(6), own);
    NoteForm *note = fixture.showNote(6);
    fixture.showNote(3); // the shared record now holds note 3
    fixture.launcher().setWidthTwips(1277);
    LauncherRefresh = 0;

    QTest::mouseClick(child<ImageControl>(note, "Image1"), Qt::LeftButton, {}, QPoint(3, 28));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QVERIFY(!fixture.note(6));
    own.SIYOU = 0;
    QCOMPARE(fixture.load(NoteSection(6)), own);
    QCOMPARE(fixture.load(NoteSection(3)).SIYOU, 1);
    const QByteArray bytes = fixture.bytes();
    const QByteArray section = bytes.mid(bytes.indexOf("[FORM6]"));
    for (const char *key : {"SIYOU", "B_Color", "POJIX", "POJIY", "YOKO", "TATE", "ALARM", "A_TIME", "NAIYOU",
                            "FName", "FSize", "FBold", "FItalic"})
        QVERIFY2(section.contains(QByteArray("\r\n") + key + '='), key);
    QCOMPARE(fixture.launcher().widthTwips(), 1710);
    QCOMPARE(LauncherRefresh, quint8(2));
}

void TestNote::shouldIgnoreAWindowManagersCloseRequest()
{
    WidgetFixture fixture(QDateTime(Monday, QTime(9, 29, 59, 500)));
    NoteForm *note = showArmedNote(fixture, 930);

    // Alt+F4, a pager or a task list: the note stays, and so does its alarm.
    QVERIFY(!note->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(fixture.note(3), note);
    QVERIFY(note->isVisible());
    fixture.setTime(QDateTime(Monday, QTime(9, 30, 0)));
    note->Timer1_Timer();
    QCOMPARE(fixture.load(NoteSection(3)).ALARM, 2);

    // No key throws a note away.
    for (const Qt::Key key : {Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_Escape})
        QTest::keyClick(note, key);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(fixture.note(3), note);
    QCOMPARE(fixture.load(NoteSection(3)).SIYOU, 1);
}

void TestNote::shouldOpenTheEditScreenOnDoubleClick_data()
{
    QTest::addColumn<int>("key"); // 0: a double-click on the text
    QTest::newRow("double-click") << 0;
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
}

void TestNote::shouldOpenTheEditScreenOnDoubleClick()
{
    QFETCH(int, key);
    WidgetFixture fixture;
    fixture.save(NoteSection(7), noteRecord());
    NoteForm *note = fixture.showNote(7);
    note->move(note->pos() + QPoint(7, 9));

    if (key)
        QTest::keyClick(note, Qt::Key(key));
    else
        doubleClick(child<NoteText>(note, "Label1"), QPoint(2, 2));

    QVERIFY(fixture.editScreen());
    QCOMPARE(EditScreenOpen, 1);
    QCOMPARE(EditSection, NoteSection(7));
    QCOMPARE(UseSharedRecord, 1);
    QCOMPARE(SharedRecord.NAIYOU, QStringLiteral("memo"));
    QCOMPARE(SharedRecord.POJIX, note->x() * 15);
    QCOMPARE(SharedRecord.POJIY, note->y() * 15);
}

void TestNote::shouldIgnoreADoubleClickWhileAnEditScreenIsOpen()
{
    WidgetFixture fixture;
    fixture.save(NoteSection(3), noteRecord());
    NoteForm *note = fixture.showNote(3);
    EditScreenOpen = 1;
    EditSection = NoteSection(9);
    doubleClick(note, middle(note));
    QVERIFY(!fixture.editScreen());
    QCOMPARE(EditSection, NoteSection(9));
}

QTEST_MAIN(TestNote)
#include "tst_note.moc"
