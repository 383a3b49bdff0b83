// SPDX-License-Identifier: MIT
// One running copy per user: the lock and the folder it lives in, and the
// socket on which later starts and `nopi --new-note` reach the running copy,
// with callers that say nothing sensible.

#include "WidgetFixture.h"

#include <QPlainTextEdit>

#include <csignal>
#include <cstring>
#include <future>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <vector>
#include <unistd.h>

namespace {

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

}

class TestSingleCopy : public QObject
{
    Q_OBJECT

private slots:
    void shouldRefuseASecondCopy();
    void shouldTakeOverTheLockOfAKilledCopy();
    void shouldKeepTheLockInAFolderOfItsOwn();
    void shouldOpenANewNoteAskedForFromElsewhere_data();
    void shouldOpenANewNoteAskedForFromElsewhere();
    void shouldHangUpOnCallersThatSayNothingSensible_data();
    void shouldHangUpOnCallersThatSayNothingSensible();
    void shouldNotWaitForASilentCaller();
    void shouldKeepCallingACopyBusyWithOtherCallers();
};

void TestSingleCopy::shouldRefuseASecondCopy()
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

void TestSingleCopy::shouldTakeOverTheLockOfAKilledCopy()
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
void TestSingleCopy::shouldKeepTheLockInAFolderOfItsOwn()
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

void TestSingleCopy::shouldOpenANewNoteAskedForFromElsewhere_data()
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

void TestSingleCopy::shouldOpenANewNoteAskedForFromElsewhere()
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

void TestSingleCopy::shouldHangUpOnCallersThatSayNothingSensible_data()
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

void TestSingleCopy::shouldHangUpOnCallersThatSayNothingSensible()
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
void TestSingleCopy::shouldNotWaitForASilentCaller()
{
    WidgetFixture fixture;
    QVERIFY(fixture.launcher().Form_Load());
    std::future<QByteArray> silent = std::async(std::launch::async, [] { return rawCall({}, false); });
    std::future<SingleInstance::NewNoteAnswer> next =
            std::async(std::launch::async, [] { return SingleInstance::askForNewNote("after", 5000); });
    QCOMPARE(answerOf(next), SingleInstance::NewNoteAnswer::Opened);
    QCOMPARE(answerOf(silent), QByteArray());
}

// Twenty callers that hold the line saying nothing fill every place the copy
// keeps for callers; a request for a new note is hung up on until their time
// is up, and is made again until it gets through.
void TestSingleCopy::shouldKeepCallingACopyBusyWithOtherCallers()
{
    WidgetFixture fixture;
    QVERIFY(fixture.launcher().Form_Load());
    const QByteArray path = QFile::encodeName(SingleInstance::folder() + QStringLiteral("/nopi.socket"));
    sockaddr_un address {};
    QVERIFY(SingleInstance::socketAddress(path, address));
    std::vector<int> silent;
    for (int i = 0; i < 20; ++i) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QCOMPARE(::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        silent.push_back(fd);
        QCoreApplication::processEvents();
    }
    std::future<SingleInstance::NewNoteAnswer> call =
            std::async(std::launch::async, [] { return SingleInstance::askForNewNote("busy", 5000); });
    QCOMPARE(answerOf(call), SingleInstance::NewNoteAnswer::Opened);
    QVERIFY(fixture.editScreen());
    QCOMPARE(child<QPlainTextEdit>(fixture.editScreen(), "Text1")->toPlainText(), QStringLiteral("busy"));
    for (const int fd : silent)
        close(fd);
}

QTEST_MAIN(TestSingleCopy)
#include "tst_single_copy.moc"
