// SPDX-License-Identifier: MIT
// The launcher: start-up from the file, note slots, the new-note button, its
// shape and width, the refresh countdown and the focus step, the quit icon,
// and what is decided before any window exists: the command line and the
// display.

#include "WidgetFixture.h"
#include "desktop/ImageControl.h"
#include "desktop/WindowProcedures.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace {

void moveMouseOver(QWidget *widget, QPoint pos)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(pos), QPointF(widget->mapTo(widget->window(), pos)),
                      QPointF(widget->mapToGlobal(pos)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void press(QWidget *window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(window, &event);
}

QList<int> loadedNotes(WidgetFixture &fixture)
{
    QList<int> inUse;
    for (int slot = 3; slot <= 17; ++slot) {
        if (fixture.note(slot))
            inUse << slot;
    }
    return inUse;
}

}

class TestLauncher : public QObject
{
    Q_OBJECT

private slots:
    void shouldShowExactlyTheNotesInUse();
    void shouldNarrowWhenAllSlotsAreInUse();
    void shouldStartAtTheOriginWithoutAFile();
    void shouldComeBackOntoAScreen();
    void shouldSaveItsPlaceAndTakeTheLowestFreeSlot();
    void shouldIgnoreTheNewNoteButtonWhileEditing();
    void shouldShowNotesMadeElsewhere();
    void shouldCountTheRefreshDown();
    void shouldLeaveTheFocusWhereTheKeyboardTookIt_data();
    void shouldLeaveTheFocusWhereTheKeyboardTookIt();
    void shouldShowTheQuitIconWhileTheMouseMoves();
    void shouldClearWhatAKilledSaveLeft();
    void shouldReadTheCommandLine_data();
    void shouldReadTheCommandLine();
    void shouldReadTheTextOfANewNote_data();
    void shouldReadTheTextOfANewNote();
    void shouldRunOnX11WheneverADisplayAnswers_data();
    void shouldRunOnX11WheneverADisplayAnswers();
    void shouldStartThisProgramAtLogin_data();
    void shouldStartThisProgramAtLogin();
};

void TestLauncher::shouldShowExactlyTheNotesInUse()
{
    WidgetFixture fixture;
    fixture.write("[FORM1]\r\nPOJIX= 1500\r\nPOJIY= 750\r\n");
    fixture.save(NoteSection(4), noteRecord(1500, 1500));
    fixture.save(NoteSection(9), noteRecord(4500, 4500));
    NoteSettings odd = noteRecord();
    odd.SIYOU = 2;
    fixture.save(NoteSection(5), odd);

    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    QCOMPARE(loadedNotes(fixture), (QList<int>{4, 9}));
    QCOMPARE(fixture.note(9)->pos(), QPoint(300, 300));
    QCOMPARE(launcher.pos(), QPoint(100, 50));
    QCOMPARE(launcher.size(), QSize(114, 70));
    QCOMPARE(launcher.windowTitle(), QStringLiteral("Nopi +"));
    QVERIFY(!child<QLabel>(&launcher, "Image2")->isHidden());
    QCOMPARE(launcher.mask(), QRegion(3, 24, 108, 43));
    QCOMPARE(LauncherRefresh, quint8(2));

    launcher.Picture1_Click();
    QCOMPARE(EditSection, NoteSection(3));
    QVERIFY(fixture.editScreen());
}

void TestLauncher::shouldNarrowWhenAllSlotsAreInUse()
{
    WidgetFixture fixture;
    for (int slot = 3; slot <= 17; ++slot)
        fixture.save(NoteSection(slot), noteRecord(slot * 600, slot * 300));
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    QCOMPARE(loadedNotes(fixture).size(), 15);
    QCOMPARE(launcher.width(), 85);
    QCOMPARE(launcher.mask(), QRegion(3, 24, 79, 43));

    // Were the button reached, it would find no slot and open nothing.
    launcher.Picture1_Click();
    QVERIFY(!fixture.editScreen());
    QCOMPARE(EditScreenOpen, 0);
    QCOMPARE(fixture.load(LauncherSection()).POJIX, 0);
}

void TestLauncher::shouldStartAtTheOriginWithoutAFile()
{
    WidgetFixture fixture;
    QVERIFY(fixture.launcher().Form_Load());
    QCOMPARE(fixture.launcher().pos(), QPoint(0, 0));
    QVERIFY(loadedNotes(fixture).isEmpty());
    QVERIFY(!QFileInfo::exists(fixture.path()));
}

void TestLauncher::shouldComeBackOntoAScreen()
{
    WidgetFixture fixture;
    fixture.write("[FORM1]\r\nPOJIX= 300000\r\nPOJIY=-90000\r\n");
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    const QRect strip = LauncherRegion(launcher.width(), launcher.height()).translated(launcher.pos());
    QVERIFY(QGuiApplication::primaryScreen()->geometry().contains(strip));
}

void TestLauncher::shouldSaveItsPlaceAndTakeTheLowestFreeSlot()
{
    WidgetFixture fixture;
    fixture.save(NoteSection(3), noteRecord());
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    launcher.move(40, 60);

    QTest::mouseClick(child<ImageControl>(&launcher, "Picture1"), Qt::LeftButton, {}, QPoint(10, 10));

    const NoteSettings place = fixture.load(LauncherSection());
    QCOMPARE(place.POJIX, 600);
    QCOMPARE(place.POJIY, 900);
    const QByteArray bytes = fixture.unstampedBytes();
    QCOMPARE(bytes.mid(bytes.indexOf("[FORM1]")).count("\r\n"), 14);
    QCOMPARE(EditSection, NoteSection(4));
    QCOMPARE(EditScreenOpen, 1);
    QCOMPARE(UseSharedRecord, 1);
    QVERIFY(fixture.editScreen());
}

void TestLauncher::shouldIgnoreTheNewNoteButtonWhileEditing()
{
    WidgetFixture fixture;
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    EditScreenOpen = 1;
    launcher.Picture1_Click();
    QVERIFY(!QFileInfo::exists(fixture.path()));
    QVERIFY(!fixture.editScreen());
}

// Another machine sharing the file makes notes: they appear here without a
// write, the launcher narrows with the last slot, and a new note being
// written here meanwhile keeps both.
void TestLauncher::shouldShowNotesMadeElsewhere()
{
    WidgetFixture fixture;
    for (int slot = 4; slot <= 16; ++slot)
        fixture.save(NoteSection(slot), noteRecord(slot * 600, slot * 300));
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    QTest::mouseClick(child<ImageControl>(&launcher, "Picture1"), Qt::LeftButton, {}, QPoint(10, 10));
    Form2 *screen = fixture.editScreen();
    QVERIFY(screen);
    QCOMPARE(EditSection, NoteSection(3));
    const NoteSettings editing = SharedRecord;

    NoteSettings elsewhere = noteRecord(1500, 1500);
    elsewhere.NAIYOU = QStringLiteral("from the laptop");
    fixture.save(NoteSection(3), elsewhere);
    const QByteArray bytes = fixture.bytes();
    fixture.desktop().showNotesFromElsewhere();
    QVERIFY(fixture.note(3));
    QCOMPARE(fixture.note(3)->pos(), QPoint(100, 100));
    QCOMPARE(fixture.bytes(), bytes);
    QCOMPARE(SharedRecord, editing);
    QCOMPARE(UseSharedRecord, 1);
    QCOMPARE(launcher.widthTwips(), 1710);

    child<QPlainTextEdit>(screen, "Text1")->setPlainText(QStringLiteral("written here"));
    QTest::mouseClick(child<QPushButton>(screen, "Command1"), Qt::LeftButton);
    QCOMPARE(fixture.load(NoteSection(3)).NAIYOU, QStringLiteral("from the laptop"));
    QCOMPARE(fixture.load(NoteSection(17)).NAIYOU, QStringLiteral("written here"));
    QVERIFY(fixture.note(17));
    QCOMPARE(launcher.widthTwips(), 1275);
}

void TestLauncher::shouldCountTheRefreshDown()
{
    WidgetFixture fixture;
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    QCOMPARE(LauncherRefresh, quint8(2));

    EditScreenOpen = 1;
    launcher.Timer1_Timer();
    QCOMPARE(LauncherRefresh, quint8(2));
    EditScreenOpen = 0;
    launcher.Timer1_Timer();
    QCOMPARE(LauncherRefresh, quint8(1));

    // While refreshing, a width set elsewhere reaches the shape at the next fast tick.
    launcher.setWidthTwips(1277);
    launcher.Timer2_Timer();
    QCOMPARE(launcher.mask(), QRegion(3, 24, 79, 43));

    launcher.Timer1_Timer();
    QCOMPARE(LauncherRefresh, quint8(0));
    launcher.setWidthTwips(1710);
    launcher.Timer2_Timer();
    QCOMPARE(launcher.mask(), QRegion(3, 24, 79, 43));
    launcher.Timer1_Timer();
    QCOMPARE(LauncherRefresh, quint8(0));
}

void TestLauncher::shouldLeaveTheFocusWhereTheKeyboardTookIt_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("active"); // after the refresh has counted down

    QTest::newRow("a note made active otherwise: the launcher takes the focus") << "mouse" << "Form1";
    QTest::newRow("Tab reached a note: it keeps the focus") << "Tab" << "Form3";
    QTest::newRow("a key typed in a note: it keeps the focus") << "typed" << "Form3";
    QTest::newRow("a refresh asked for after Tab: the launcher takes the focus") << "Tab, refresh" << "Form1";
    QTest::newRow("another note made active after Tab: the launcher takes the focus") << "Tab, other" << "Form1";
}

// The launcher's focus step after a refresh leaves alone the window the
// keyboard took the user to, or that the user typed in, since the refresh
// was asked for; any other of the program's windows gives the focus back.
void TestLauncher::shouldLeaveTheFocusWhereTheKeyboardTookIt()
{
    QFETCH(QString, how);
    QFETCH(QString, active);
    WidgetFixture fixture;
    fixture.save(NoteSection(3), noteRecord(1500, 1500));
    fixture.save(NoteSection(5), noteRecord(6000, 1500));
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    launcher.show();
    launcher.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&launcher));
    QCOMPARE(LauncherRefresh, quint8(2));

    if (how.startsWith(QLatin1String("Tab"))) {
        press(&launcher, Qt::Key_Tab);
    } else {
        fixture.note(3)->activateWindow();
        if (how == QLatin1String("typed")) {
            QVERIFY(QTest::qWaitForWindowActive(fixture.note(3)));
            press(fixture.note(3), Qt::Key_A);
        }
    }
    QVERIFY(QTest::qWaitForWindowActive(fixture.note(3)));
    if (how.endsWith(QLatin1String("refresh")))
        Forms::startLauncherRefresh();
    if (how.endsWith(QLatin1String("other"))) {
        fixture.note(5)->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(fixture.note(5)));
    }

    launcher.Timer1_Timer();
    launcher.Timer1_Timer();
    QCOMPARE(LauncherRefresh, quint8(0));
    QTest::qWait(20);
    QTRY_COMPARE(QApplication::activeWindow()->objectName(), active);
}

void TestLauncher::shouldShowTheQuitIconWhileTheMouseMoves()
{
    WidgetFixture fixture;
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    launcher.show();
    auto *quit = child<ImageControl>(&launcher, "Image1");
    auto *strip = child<QWidget>(&launcher, "client");
    QVERIFY(quit->isHidden());

    moveMouseOver(child<QWidget>(&launcher, "Picture1"), QPoint(5, 5));
    QVERIFY(quit->isHidden());
    moveMouseOver(strip, QPoint(30, 10));
    QVERIFY(!quit->isHidden());
    // The boxed cross shows near the strip's lower-left corner.
    QCOMPARE(quit->geometry(), QRect(-18, 28, 32, 32));
    launcher.Timer1_Timer();
    QVERIFY(quit->isHidden());
}

void TestLauncher::shouldClearWhatAKilledSaveLeft()
{
    WidgetFixture fixture;
    fixture.write("[FORM1]\r\nPOJIX= 150\r\n");
    const QString folder = QFileInfo(fixture.path()).path();
    for (const char *name : {".nopi.ini.a1B2c3", ".nopi.ini.toolong1", "notes.txt"}) {
        QFile file(folder + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(fixture.launcher().Form_Load());
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{".nopi.ini.toolong1", "nopi.ini", "notes.txt"}));
}

using Action = Platform::Request::Action;

void TestLauncher::shouldReadTheCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");

    QTest::newRow("nothing: run") << QStringList{} << int(Action::Run);
    QTest::newRow("a session manager's restart: run") << QStringList{"-session", "10d3"} << int(Action::Run);
    QTest::newRow("--help") << QStringList{"--help"} << int(Action::Help);
    QTest::newRow("-h") << QStringList{"-h"} << int(Action::Help);
    QTest::newRow("--version") << QStringList{"--version"} << int(Action::Version);
    QTest::newRow("--autostart on") << QStringList{"--autostart", "on"} << int(Action::AutostartOn);
    QTest::newRow("--autostart off") << QStringList{"--autostart", "off"} << int(Action::AutostartOff);
    QTest::newRow("--autostart=off") << QStringList{"--autostart=off"} << int(Action::AutostartOff);
    QTest::newRow("--autostart alone") << QStringList{"--autostart"} << int(Action::Misuse);
    QTest::newRow("--autostart yes") << QStringList{"--autostart", "yes"} << int(Action::Misuse);
    QTest::newRow("--autostart on off") << QStringList{"--autostart", "on", "off"} << int(Action::Misuse);
    QTest::newRow("--bogus") << QStringList{"--bogus"} << int(Action::Misuse);
    QTest::newRow("a stray word") << QStringList{"notes.ini"} << int(Action::Misuse);
    QTest::newRow("--help --version") << QStringList{"--help", "--version"} << int(Action::Misuse);
    QTest::newRow("-session without its id") << QStringList{"-session"} << int(Action::Misuse);
    // Qt's own options would undo the choice of X11.
    QTest::newRow("-platform wayland") << QStringList{"-platform", "wayland"} << int(Action::Misuse);
    QTest::newRow("--new-note") << QStringList{"--new-note"} << int(Action::NewNote);
    QTest::newRow("--new-note TEXT") << QStringList{"--new-note", "buy milk"} << int(Action::NewNote);
    QTest::newRow("--new-note -") << QStringList{"--new-note", "-"} << int(Action::NewNote);
}

void TestLauncher::shouldReadTheCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    const Platform::Request request = Platform::parseArguments(arguments);
    QCOMPARE(int(request.action), action);
    QCOMPARE(request.problem.isEmpty(), action != int(Action::Misuse));
}

void TestLauncher::shouldReadTheTextOfANewNote_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fromStandardInput");

    QTest::newRow("no text") << QStringList{"--new-note"} << "" << false;
    QTest::newRow("one word") << QStringList{"--new-note", "テキスト"} << "テキスト" << false;
    QTest::newRow("words as the shell split them") << QStringList{"--new-note", "buy", "milk"} << "buy milk" << false;
    QTest::newRow("-: standard input") << QStringList{"--new-note", "-"} << "" << true;
    QTest::newRow("- among words is a word") << QStringList{"--new-note", "-", "x"} << "- x" << false;
    QTest::newRow("an option as text") << QStringList{"--new-note", "--help"} << "--help" << false;
}

void TestLauncher::shouldReadTheTextOfANewNote()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, text);
    QFETCH(bool, fromStandardInput);
    const Platform::Request request = Platform::parseArguments(arguments);
    QCOMPARE(int(request.action), int(Action::NewNote));
    QCOMPARE(request.text, text);
    QCOMPARE(request.textFromStandardInput, fromStandardInput);
}

void TestLauncher::shouldRunOnX11WheneverADisplayAnswers_data()
{
    QTest::addColumn<QByteArray>("requested");
    QTest::addColumn<bool>("xDisplay");
    QTest::addColumn<QByteArray>("chosen");

    QTest::newRow("nothing asked") << QByteArray() << true << QByteArray("xcb");
    QTest::newRow("wayland") << QByteArray("wayland") << true << QByteArray("xcb");
    QTest::newRow("wayland-egl") << QByteArray("wayland-egl") << true << QByteArray("xcb");
    QTest::newRow("wayland;xcb") << QByteArray("wayland;xcb") << true << QByteArray("xcb");
    QTest::newRow("offscreen, no display") << QByteArray("offscreen") << false << QByteArray("offscreen");
    QTest::newRow("offscreen with options") << QByteArray("offscreen:fontconfig") << true
                                            << QByteArray("offscreen:fontconfig");
    QTest::newRow("minimal") << QByteArray("minimal") << true << QByteArray("minimal");
    QTest::newRow("no display") << QByteArray() << false << QByteArray();
    QTest::newRow("wayland, no X display") << QByteArray("wayland") << false << QByteArray();
    QTest::newRow("xcb;offscreen, no display") << QByteArray("xcb;offscreen") << false << QByteArray();
}

void TestLauncher::shouldRunOnX11WheneverADisplayAnswers()
{
    QFETCH(QByteArray, requested);
    QFETCH(bool, xDisplay);
    QFETCH(QByteArray, chosen);
    QCOMPARE(Platform::windowSystemFor(requested, xDisplay), chosen);
}

void TestLauncher::shouldStartThisProgramAtLogin_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("onPath");
    QTest::addColumn<QString>("exec");

    QTest::newRow("found on PATH") << "/usr/libexec/nopi/nopi" << "/usr/libexec/nopi/nopi" << "nopi";
    QTest::newRow("another nopi on PATH") << "/opt/nopi/nopi" << "/usr/libexec/nopi/nopi" << "/opt/nopi/nopi";
    QTest::newRow("not on PATH") << "/home/ann/nopi/build/nopi" << "" << "/home/ann/nopi/build/nopi";
    QTest::newRow("a blank in the path") << "/home/ann/My Apps/nopi" << "" << "\"/home/ann/My Apps/nopi\"";
    QTest::newRow("a percent sign") << "/home/ann/100%/nopi" << "" << "/home/ann/100%%/nopi";
    QTest::newRow("a dollar and a quote") << "/home/ann/$x\"/nopi" << "" << "\"/home/ann/\\\\$x\\\\\"/nopi\"";
}

void TestLauncher::shouldStartThisProgramAtLogin()
{
    QFETCH(QString, program);
    QFETCH(QString, onPath);
    QFETCH(QString, exec);
    QCOMPARE(Platform::desktopExec(program, onPath), exec);
}

QTEST_MAIN(TestLauncher)
#include "tst_launcher.moc"
