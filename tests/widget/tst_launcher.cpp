// SPDX-License-Identifier: MIT
// The launcher: start-up from the file, note slots, the new-note button, its
// shape and width, the refresh countdown, the quit icon, the single copy, and
// what is decided before any window exists: the command line and the display.

#include "WidgetFixture.h"
#include "desktop/ImageControl.h"
#include "desktop/WindowProcedures.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include <csignal>
#include <cstring>
#include <future>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Waits for an answer that the program's own event loop has to give.
template <typename T>
T answerOf(std::future<T> &call)
{
    while (call.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return call.get();
}

// Says `bytes` to the running copy on its socket, as any program of the
// user's could, and gives what came back before it hung up.
QByteArray rawCall(const QByteArray &bytes, bool hangUpFirst = true)
{
    const QByteArray path = QFile::encodeName(SingleInstance::folder() + QStringLiteral("/nopi.socket"));
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        return "(no connection)";
    }
    if (!bytes.isEmpty())
        send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
    if (hangUpFirst)
        shutdown(fd, SHUT_WR);
    QByteArray answer;
    pollfd waiting {fd, POLLIN, 0};
    char buffer[64];
    while (poll(&waiting, 1, 5000) == 1) {
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        answer.append(buffer, got);
    }
    close(fd);
    return answer;
}

// Environment variables set for one test and put back after it.
class Environment
{
public:
    ~Environment()
    {
        for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it) {
            if (it.value().isNull())
                qunsetenv(it.key().constData());
            else
                qputenv(it.key().constData(), it.value());
        }
    }
    void set(const char *name, const QByteArray &value)
    {
        if (!m_saved.contains(name))
            m_saved.insert(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

private:
    QMap<QByteArray, QByteArray> m_saved;
};

int modeOf(const QString &path)
{
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
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
    void shouldRefuseASecondCopy();
    void shouldTakeOverTheLockOfAKilledCopy();
    void shouldKeepTheLockInAFolderOfItsOwn();
    void shouldOpenANewNoteAskedForFromElsewhere_data();
    void shouldOpenANewNoteAskedForFromElsewhere();
    void shouldHangUpOnCallersThatSayNothingSensible_data();
    void shouldHangUpOnCallersThatSayNothingSensible();
    void shouldNotWaitForASilentCaller();
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
    const QByteArray bytes = fixture.bytes();
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

void TestLauncher::shouldRefuseASecondCopy()
{
    WidgetFixture fixture;
    fixture.write("[FORM1]\r\nPOJIX= 150\r\n[FORM3]\r\nSIYOU=1\r\n");
    QVERIFY(fixture.launcher().Form_Load());
    const QByteArray before = fixture.bytes();
    ResetProgramState();

    Form1 second;
    QVERIFY(!second.Form_Load());
    QCOMPARE(second.pos(), QPoint(0, 0));
    QCOMPARE(CurrentSection, QString());
    QCOMPARE(fixture.bytes(), before);
}

void TestLauncher::shouldTakeOverTheLockOfAKilledCopy()
{
    WidgetFixture fixture;
    const pid_t child = fork();
    if (child == 0) {
        SingleInstance instance;
        instance.acquire();
        // Killed without a chance to unlock.
        raise(SIGKILL);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    QVERIFY(WIFSIGNALED(status));
    QVERIFY(QFileInfo::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/nopi.lock")));

    QVERIFY(fixture.launcher().Form_Load());
}

// Without the session's runtime folder, the lock and the socket go to a
// folder only this user can write to, never under a name in the shared
// temp folder that another user could take first.
void TestLauncher::shouldKeepTheLockInAFolderOfItsOwn()
{
    WidgetFixture fixture;
    QTemporaryDir dir;
    Environment environment;
    environment.set("XDG_RUNTIME_DIR", QByteArray());
    environment.set("XDG_CACHE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("cache"))));
    environment.set("TMPDIR", QFile::encodeName(dir.filePath(QStringLiteral("tmp"))));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("tmp"))));

    const QString cacheFolder = dir.filePath(QStringLiteral("cache/nopi"));
    QCOMPARE(SingleInstance::folder(), cacheFolder);
    QCOMPARE(modeOf(cacheFolder), 0700);
    {
        SingleInstance instance;
        QVERIFY(instance.acquire());
        instance.listen({[] { }, nullptr});
        const QStringList files = QDir(cacheFolder).entryList(QDir::System | QDir::Files);
        QCOMPARE(files.size(), 2);
        QVERIFY(files.contains(QStringLiteral("nopi-%1.socket").arg(QSysInfo::machineHostName())));
    }
    // A clean end takes the socket away; the lock file stays, harmless.
    QCOMPARE(QDir(cacheFolder).entryList(QDir::System | QDir::Files),
             QStringList{QStringLiteral("nopi-%1.lock").arg(QSysInfo::machineHostName())});

    // No cache folder to be had: a folder of its own in the temp folder.
    QFile inTheWay(dir.filePath(QStringLiteral("file")));
    QVERIFY(inTheWay.open(QIODevice::WriteOnly));
    environment.set("XDG_CACHE_HOME", QFile::encodeName(inTheWay.fileName() + QStringLiteral("/cache")));
    const QString tmpFolder = dir.filePath(QStringLiteral("tmp/nopi-%1").arg(getuid()));
    QCOMPARE(SingleInstance::folder(), tmpFolder);
    QCOMPARE(modeOf(tmpFolder), 0700);
    QVERIFY(chmod(QFile::encodeName(tmpFolder).constData(), 0777) == 0);
    QCOMPARE(SingleInstance::folder(), tmpFolder);
    QCOMPARE(modeOf(tmpFolder), 0700);

    // Someone else's link or folder under that name is refused, saying why.
    QVERIFY(QDir(tmpFolder).removeRecursively());
    QVERIFY(QFile::link(dir.path(), tmpFolder));
    QString problem;
    QCOMPARE(SingleInstance::folder(&problem), QString());
    QVERIFY2(problem.contains(QStringLiteral("is a link")), qPrintable(problem));
    if (getuid() == 0) {
        QVERIFY(QFile::remove(tmpFolder));
        QVERIFY(QDir().mkdir(tmpFolder));
        QVERIFY(chown(QFile::encodeName(tmpFolder).constData(), 4242, 4242) == 0);
        QCOMPARE(SingleInstance::folder(&problem), QString());
        QVERIFY2(problem.contains(QStringLiteral("belongs to user 4242")), qPrintable(problem));
    }
    // The program still starts; it only cannot notice a second copy.
    SingleInstance unlocked;
    QVERIFY(unlocked.acquire());
}

void TestLauncher::shouldOpenANewNoteAskedForFromElsewhere_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("state"); // "", "editing", "full"
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("shown"); // in the edit screen's text box

    using Answer = SingleInstance::NewNoteAnswer;
    QTest::newRow("a text") << QByteArray("テキスト") << "" << int(Answer::Opened) << "テキスト";
    QTest::newRow("two lines") << QByteArray("a\nb\n") << "" << int(Answer::Opened) << "a\nb";
    QTest::newRow("empty") << QByteArray() << "" << int(Answer::Opened) << " ";
    // Not UTF-8: the bytes show as replacement characters, which ＯＫ
    // refuses as it refuses any character the file cannot hold.
    QTest::newRow("not UTF-8") << QByteArray("ab\xff\xfe") << "" << int(Answer::Opened) << "ab\uFFFD\uFFFD";
    QTest::newRow("the edit screen is open") << QByteArray("x") << "editing" << int(Answer::EditScreenOpen) << "";
    QTest::newRow("every slot in use") << QByteArray("x") << "full" << int(Answer::NoFreeSlot) << "";
    QTest::newRow("too long") << QByteArray(SingleInstance::MaxTextBytes + 1, 'x') << "" << int(Answer::TooLong)
                              << "";
}

void TestLauncher::shouldOpenANewNoteAskedForFromElsewhere()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, state);
    QFETCH(int, answer);
    QFETCH(QString, shown);
    WidgetFixture fixture;
    if (state == QLatin1String("full")) {
        for (int slot = 3; slot <= 17; ++slot)
            fixture.save(NoteSection(slot), noteRecord());
    }
    QVERIFY(fixture.launcher().Form_Load());
    QWidget *editing = state == QLatin1String("editing") ? fixture.openEditScreen(3) : nullptr;
    const QByteArray before = fixture.bytes();

    std::future<SingleInstance::NewNoteAnswer> call =
            std::async(std::launch::async, [text] { return SingleInstance::askForNewNote(text, 5000); });
    QCOMPARE(int(answerOf(call)), answer);

    if (shown.isEmpty()) {
        QCOMPARE(fixture.editScreen(), editing);
        QCOMPARE(fixture.bytes(), before);
        return;
    }
    Form2 *screen = fixture.editScreen();
    QVERIFY(screen);
    QVERIFY(screen->isVisible());
    QCOMPARE(EditSection, NoteSection(3));
    QCOMPARE(child<QPlainTextEdit>(screen, "Text1")->toPlainText(), shown);
    // Nothing is written until ＯＫ but the launcher's place, as by a click.
    QCOMPARE(fixture.bytes().count("[FORM"), 1);
}

void TestLauncher::shouldHangUpOnCallersThatSayNothingSensible_data()
{
    QTest::addColumn<QByteArray>("said");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("forward"); // the launcher was called forward

    QTest::newRow("nothing: come forward") << QByteArray() << QByteArray() << true;
    QTest::newRow("forward") << QByteArray("forward\n") << QByteArray() << true;
    QTest::newRow("garbage") << QByteArray("hello\n") << QByteArray() << false;
    QTest::newRow("binary") << QByteArray("\0\xff\n\n", 4) << QByteArray() << false;
    QTest::newRow("no end of line") << QByteArray(200, 'n') << QByteArray() << false;
    QTest::newRow("a count that is no number") << QByteArray("new-note -5\nxxxxx") << QByteArray() << false;
    QTest::newRow("fewer bytes than said") << QByteArray("new-note 10\nabc") << QByteArray() << false;
    QTest::newRow("more bytes than said") << QByteArray("new-note 3\nabcdef") << QByteArray() << false;
    QTest::newRow("more than a note takes") << QByteArray("new-note 99999999\n") << QByteArray("too-long\n")
                                            << false;
}

void TestLauncher::shouldHangUpOnCallersThatSayNothingSensible()
{
    QFETCH(QByteArray, said);
    QFETCH(QByteArray, answer);
    QFETCH(bool, forward);
    WidgetFixture fixture;
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    launcher.hide();

    std::future<QByteArray> call = std::async(std::launch::async, [said] { return rawCall(said); });
    QCOMPARE(answerOf(call), answer);
    QCoreApplication::processEvents();
    QVERIFY(!fixture.editScreen());
    QCOMPARE(EditScreenOpen, 0);
    QCOMPARE(launcher.isVisible(), forward);
    QVERIFY(!QFileInfo::exists(fixture.path()));
}

// A caller that keeps the line open saying nothing holds nobody up, and is
// hung up on in the end.
void TestLauncher::shouldNotWaitForASilentCaller()
{
    WidgetFixture fixture;
    QVERIFY(fixture.launcher().Form_Load());
    std::future<QByteArray> silent = std::async(std::launch::async, [] { return rawCall({}, false); });
    std::future<SingleInstance::NewNoteAnswer> next =
            std::async(std::launch::async, [] { return SingleInstance::askForNewNote("after", 5000); });
    QCOMPARE(answerOf(next), SingleInstance::NewNoteAnswer::Opened);
    QCOMPARE(answerOf(silent), QByteArray());
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
