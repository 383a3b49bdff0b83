// SPDX-License-Identifier: MIT
// A writer killed at any moment leaves nopi.ini whole: every section, every
// key, and in each section either what was there before or one complete
// record the writer wrote, never a mix. The writer is a forked child saving in
// a tight loop; the parent kills it after a random pause.

#include "store/Module1.h"
#include "store/SyncStamp.h"
#include "store/NoteSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <cerrno>
#include <csignal>
#include <map>
#include <poll.h>
#include <random>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int SectionCount = 1 + NoteSlots::Count;
constexpr int Kills = 60;
constexpr int MaxPauseMicroseconds = 20000;
// Each writer numbers its records from its own range, so a record an earlier
// writer left can never pass for one of this writer's. A multiple of the
// section count keeps number and section in step across ranges.
constexpr int RoundStride = 1000 * SectionCount * 64;

// The 13 keys of a section and the stamp of who changed it.
constexpr std::array<const char *, 14> Keys = {
    SettingsKey::SIYOU, SettingsKey::B_Color, SettingsKey::POJIX, SettingsKey::POJIY,
    SettingsKey::YOKO, SettingsKey::TATE, SettingsKey::ALARM, SettingsKey::A_TIME,
    SettingsKey::NAIYOU, SettingsKey::FName, SettingsKey::FSize, SettingsKey::FBold,
    SettingsKey::FItalic, Sync::Key,
};

QString sectionName(int index)
{
    return index == 0 ? LauncherSection() : NoteSection(NoteSlots::First + index - 1);
}

const QStringList &texts()
{
    static const QStringList list = {
        QStringLiteral("会議の資料⇔コピー ２部、ホチキス留めで１０時までに第二会議室へ"),
        QStringLiteral("牛乳、卵、食パン、りんご３個、洗剤（詰め替え用）⇔帰りに郵便局"),
        QStringLiteral("14時 歯医者⇔保険証と診察券を忘れずに。駐車場は裏手"),
        QStringLiteral("田中さんに電話（内線２３４）⇔見積書の件、金曜日までに回答"),
        QStringLiteral("表示テスト：ソ 能 十 表 ― ～ ∥ － ① ㈱ ㍻ 半角ｶﾀｶﾅ"),
    };
    return list;
}

// Record number n belongs to section n % SectionCount; every field follows
// from n, so a record mixed from two saves cannot match any number.
NoteSettings writtenRecord(int n)
{
    static const std::array<qint32, 4> colors = {8454143, 16744703, 8454016, 16777088};
    NoteSettings record;
    record.SIYOU = 1;
    record.B_Color = colors[size_t(n % 4)];
    record.POJIX = (n % 1000) * 15;
    record.POJIY = -(n % 777) * 15;
    record.YOKO = 1500 + n % 1500;
    record.TATE = 900 + n % 600;
    record.ALARM = n % 2;
    record.A_TIME = n;
    record.NAIYOU = texts()[n % texts().size()] + QStringLiteral("⇔第%1版").arg(n);
    record.FName = n % 3 ? QStringLiteral("ＭＳ Ｐゴシック") : QStringLiteral("ＭＳ 明朝");
    record.FSize = 8 + n % 20;
    record.FBold = TruthText(n % 2 == 0);
    record.FItalic = TruthText(n % 5 == 0);
    return record;
}

NoteSettings load(int section)
{
    CurrentSection = sectionName(section);
    NoteSettings record;
    LoadNoteSettings(record);
    return record;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file as the writer lays it out, checked on its bytes rather than through
// the reader, which forgives what a torn file might show: CR LF lines only,
// each header once, each section holding each key once and nothing else.
QString structureProblem(const QByteArray &bytes)
{
    if (!bytes.endsWith("\r\n"))
        return QStringLiteral("the file does not end with a line break (%1 bytes)").arg(bytes.size());
    std::map<QByteArray, std::map<QByteArray, int>> keysBySection;
    std::map<QByteArray, int> headers;
    QByteArray current;
    for (qsizetype pos = 0; pos < bytes.size();) {
        const qsizetype end = bytes.indexOf("\r\n", pos);
        const QByteArray line = bytes.mid(pos, end - pos);
        pos = end + 2;
        if (line.contains('\r') || line.contains('\n'))
            return QStringLiteral("a stray line break in \"%1\"").arg(QString::fromLatin1(line.left(60)));
        if (line.startsWith('[')) {
            if (!line.endsWith(']'))
                return QStringLiteral("a broken header \"%1\"").arg(QString::fromLatin1(line.left(60)));
            current = line.mid(1, line.size() - 2);
            ++headers[current];
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (current.isEmpty() || equals <= 0)
            return QStringLiteral("a line that is no key of a section: \"%1\"").arg(QString::fromLatin1(line.left(60)));
        ++keysBySection[current][line.left(equals)];
    }
    if (headers.size() != size_t(SectionCount))
        return QStringLiteral("%1 sections instead of %2").arg(headers.size()).arg(SectionCount);
    for (int i = 0; i < SectionCount; ++i) {
        const QByteArray name = sectionName(i).toLatin1();
        if (headers[name] != 1)
            return QStringLiteral("[%1] appears %2 times").arg(QString::fromLatin1(name)).arg(headers[name]);
        auto &keys = keysBySection[name];
        if (keys.size() != Keys.size())
            return QStringLiteral("[%1] holds %2 keys").arg(QString::fromLatin1(name)).arg(keys.size());
        for (const char *key : Keys) {
            if (keys[key] != 1)
                return QStringLiteral("[%1] has %2 %3 lines").arg(QString::fromLatin1(name), QLatin1String(key)).arg(keys[key]);
        }
    }
    return QString();
}

// Ends the writer whatever happens to the test, so no child outlives it.
class Writer
{
public:
    Writer() = default;
    ~Writer() { stop(); }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // Starts saving records first, first + 1, … in a loop that never ends;
    // returns once the first of them is in the file.
    bool start(int first)
    {
        int ready[2];
        if (pipe(ready) != 0)
            return false;
        const pid_t parent = getpid();
        m_pid = fork();
        if (m_pid < 0)
            return false;
        if (m_pid == 0) {
            // The child never returns into the test: it saves until killed,
            // and dies with the parent if the parent goes first.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent)
                raise(SIGKILL);
            ::close(ready[0]);
            for (int n = first;; ++n) {
                CurrentSection = sectionName(n % SectionCount);
                SaveNoteSettings(writtenRecord(n));
                if (n == first) {
                    WaitForSaves();
                    const char done = 1;
                    if (::write(ready[1], &done, 1) != 1)
                        raise(SIGKILL);
                    ::close(ready[1]);
                }
            }
        }
        ::close(ready[1]);
        pollfd wait = {ready[0], POLLIN, 0};
        char done = 0;
        const bool started = poll(&wait, 1, 10000) == 1 && ::read(ready[0], &done, 1) == 1;
        ::close(ready[0]);
        return started;
    }

    // SIGKILL and reap; true when the child was still running until then.
    bool kill()
    {
        if (m_pid <= 0)
            return false;
        ::kill(m_pid, SIGKILL);
        int status = 0;
        pid_t reaped;
        do
            reaped = waitpid(m_pid, &status, 0);
        while (reaped < 0 && errno == EINTR);
        m_pid = 0;
        return reaped > 0 && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

private:
    void stop()
    {
        if (m_pid > 0)
            kill();
    }

    pid_t m_pid = 0;
};

}

class TestCrashSafety : public QObject
{
    Q_OBJECT

private slots:
    void shouldLeaveAWholeFileWhenTheWriterIsKilled_data();
    void shouldLeaveAWholeFileWhenTheWriterIsKilled();
};

void TestCrashSafety::shouldLeaveAWholeFileWhenTheWriterIsKilled_data()
{
    QTest::addColumn<QString>("base");
    // On a disk, the fsync before the rename is where a kill most often lands;
    // on tmpfs a writer gets through thousands of saves, and kills land in the
    // write and the rename instead.
    QTest::newRow("temporary directory") << QDir::tempPath();
    QTest::newRow("tmpfs") << QStringLiteral("/dev/shm");
}

void TestCrashSafety::shouldLeaveAWholeFileWhenTheWriterIsKilled()
{
    QFETCH(QString, base);
    if (!QFileInfo(base).isDir() || !QFileInfo(base).isWritable())
        QSKIP("no such writable directory here");
    QTemporaryDir dir(base + QStringLiteral("/nopi-crash-XXXXXX"));
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("nopi.ini"));
    SetSettingsFilePath(path);
    ResetProgramState();

    // A full file, every section numbered from round 0.
    std::array<NoteSettings, SectionCount> before;
    for (int i = 0; i < SectionCount; ++i) {
        before[size_t(i)] = writtenRecord(i);
        CurrentSection = sectionName(i);
        SaveNoteSettings(before[size_t(i)]);
    }
    // The writer is idle when the child is forked from this process.
    WaitForSaves();
    QCOMPARE(structureProblem(readAll(path)), QString());
    for (int i = 0; i < SectionCount; ++i)
        QCOMPARE(load(i), before[size_t(i)]);

    const QRegularExpression temporaryName(QStringLiteral("^\\.nopi\\.ini\\.[A-Za-z0-9]{6}$"));
    std::mt19937 random(4711);
    std::uniform_int_distribution<int> pause(0, MaxPauseMicroseconds);
    qsizetype temporaries = 0;
    int changedSections = 0;

    for (int round = 1; round <= Kills; ++round) {
        // Start each writer on another section, so every section is at some
        // point the one whose save must have landed.
        const int firstSection = round % SectionCount;
        const int first = round * RoundStride + firstSection;
        {
            Writer writer;
            QVERIFY2(writer.start(first), "the writer did not get its first save done");
            usleep(useconds_t(pause(random)));
            QVERIFY2(writer.kill(), "the writer ended before it was killed");
        }

        const QByteArray bytes = readAll(path);
        const QString problem = structureProblem(bytes);
        QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("after kill %1: %2").arg(round).arg(problem)));

        for (int i = 0; i < SectionCount; ++i) {
            const NoteSettings record = load(i);
            if (record == before[size_t(i)])
                continue;
            const int n = record.A_TIME;
            const bool fromThisWriter = n / RoundStride == round && n % SectionCount == i && n >= first;
            QVERIFY2(fromThisWriter && record == writtenRecord(n),
                     qPrintable(QStringLiteral("after kill %1, [%2] holds neither its old record nor one the "
                                               "writer saved: A_TIME=%3 NAIYOU=%4")
                                        .arg(round).arg(sectionName(i)).arg(n).arg(record.NAIYOU)));
            before[size_t(i)] = record;
            ++changedSections;
        }
        // The writer reported its first save done before the kill: it must
        // not have been lost.
        QVERIFY2(before[size_t(firstSection)].A_TIME / RoundStride == round,
                 qPrintable(QStringLiteral("after kill %1, a completed save of [%2] is gone")
                                    .arg(round).arg(sectionName(firstSection))));

        // A writer killed between creating its temporary file and renaming it
        // leaves that file behind; it holds at most one at a time, and the
        // notes in it stay private.
        const QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        qsizetype found = 0;
        for (const QString &name : names) {
            if (name == QLatin1String("nopi.ini"))
                continue;
            QVERIFY2(temporaryName.match(name).hasMatch(), qPrintable(QStringLiteral("unexpected file %1").arg(name)));
            struct stat info;
            QCOMPARE(stat(QFile::encodeName(dir.filePath(name)).constData(), &info), 0);
            QVERIFY2((info.st_mode & 077) == 0, qPrintable(QStringLiteral("%1 is readable by others").arg(name)));
            ++found;
        }
        QVERIFY2(found <= temporaries + 1,
                 qPrintable(QStringLiteral("after kill %1: %2 temporary files, %3 before").arg(round).arg(found).arg(temporaries)));
        temporaries = found;
    }

    qInfo("%d kills, %d section changes seen, %lld temporary files left by killed writers",
          Kills, changedSections, static_cast<long long>(temporaries));
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crash_safety.moc"
