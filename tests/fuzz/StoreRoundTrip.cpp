// SPDX-License-Identifier: MIT
#include "StoreRoundTrip.h"

#include "store/Module1.h"
#include "store/NoteSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <string>
#include <unistd.h>

namespace {

constexpr int SectionCount = 1 + NoteSlots::Count;

const std::array<QString, SectionCount> &sections()
{
    static const std::array<QString, SectionCount> names = [] {
        std::array<QString, SectionCount> list;
        list[0] = LauncherSection();
        for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot)
            list[size_t(slot - NoteSlots::First + 1)] = NoteSection(slot);
        return list;
    }();
    return names;
}

using Records = std::array<NoteSettings, SectionCount>;

Records loadAll()
{
    Records records;
    for (size_t i = 0; i < records.size(); ++i) {
        CurrentSection = sections()[i];
        LoadNoteSettings(records[i]);
    }
    return records;
}

// A save that fails says so only through a warning; a failed save would make
// the round trip pass without testing anything.
int saveWarnings = 0;
QtMessageHandler previousHandler = nullptr;

void countSaveWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.contains(QLatin1String("cannot save"))) {
        ++saveWarnings;
        return;
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

class WarningCounter
{
public:
    WarningCounter()
    {
        saveWarnings = 0;
        previousHandler = qInstallMessageHandler(countSaveWarnings);
    }
    ~WarningCounter() { qInstallMessageHandler(previousHandler); }
    WarningCounter(const WarningCounter &) = delete;
    WarningCounter &operator=(const WarningCounter &) = delete;
};

QString shown(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    if (out.size() > 120)
        out = out.left(120) + QStringLiteral("…");
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QString differences(const NoteSettings &before, const NoteSettings &after)
{
    QStringList lines;
    const auto number = [&](const char *name, qint32 a, qint32 b) {
        if (a != b)
            lines << QStringLiteral("  %1: %2 -> %3").arg(QLatin1String(name)).arg(a).arg(b);
    };
    const auto text = [&](const char *name, const QString &a, const QString &b) {
        if (a != b)
            lines << QStringLiteral("  %1: %2 -> %3").arg(QLatin1String(name), shown(a), shown(b));
    };
    number("SIYOU", before.SIYOU, after.SIYOU);
    number("B_Color", before.B_Color, after.B_Color);
    number("POJIX", before.POJIX, after.POJIX);
    number("POJIY", before.POJIY, after.POJIY);
    number("YOKO", before.YOKO, after.YOKO);
    number("TATE", before.TATE, after.TATE);
    number("ALARM", before.ALARM, after.ALARM);
    number("A_TIME", before.A_TIME, after.A_TIME);
    text("NAIYOU", before.NAIYOU, after.NAIYOU);
    text("FName", before.FName, after.FName);
    number("FSize", before.FSize, after.FSize);
    text("FBold", before.FBold, after.FBold);
    text("FItalic", before.FItalic, after.FItalic);
    return lines.join(QLatin1Char('\n'));
}

QString compareAll(const Records &expected, const Records &actual, const QString &when)
{
    for (size_t i = 0; i < expected.size(); ++i) {
        if (!(expected[i] == actual[i])) {
            return QStringLiteral("[%1] changed %2:\n%3")
                    .arg(sections()[i], when, differences(expected[i], actual[i]));
        }
    }
    return QString();
}

// Every field differs from `record`, and the result is still a record the
// program could have loaded.
NoteSettings changedRecord(const NoteSettings &record)
{
    const auto other = [](qint32 n) { return n == std::numeric_limits<qint32>::max() ? n - 1 : n + 1; };
    NoteSettings result;
    result.SIYOU = other(record.SIYOU);
    result.B_Color = other(record.B_Color);
    result.POJIX = other(record.POJIX);
    result.POJIY = other(record.POJIY);
    result.YOKO = other(record.YOKO);
    result.TATE = other(record.TATE);
    result.ALARM = other(record.ALARM);
    result.A_TIME = other(record.A_TIME);
    result.NAIYOU = record.NAIYOU + QStringLiteral("⇔改");
    result.FName = record.FName + QStringLiteral("改");
    result.FSize = other(record.FSize);
    result.FBold = record.FBold + QStringLiteral("改");
    result.FItalic = record.FItalic + QStringLiteral("改");
    return result;
}

bool writeBytes(const std::string &path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return false;
        }
        done += size_t(n);
    }
    return ::close(fd) == 0;
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void saveAll(const Records &records)
{
    for (size_t i = 0; i < records.size(); ++i) {
        CurrentSection = sections()[i];
        SaveNoteSettings(records[i]);
    }
    WaitForSaves();
}

}

namespace StoreRoundTrip {

QString check(std::string_view fileBytes, const QString &settingsPath)
{
    SetSettingsFilePath(settingsPath);
    if (!writeBytes(QFile::encodeName(settingsPath).toStdString(), fileBytes))
        return QStringLiteral("cannot prepare %1").arg(settingsPath);

    WarningCounter warnings;
    const Records first = loadAll();

    for (size_t i = 0; i < first.size(); ++i) {
        CurrentSection = sections()[i];
        SaveNoteSettings(first[i]);
        WaitForSaves();
        if (saveWarnings != 0)
            return QStringLiteral("saving [%1] failed").arg(sections()[i]);
        const QString failure =
                compareAll(first, loadAll(), QStringLiteral("when [%1] was saved").arg(sections()[i]));
        if (!failure.isEmpty())
            return failure;
    }

    const QByteArray written = readBytes(settingsPath);
    saveAll(loadAll());
    if (saveWarnings != 0)
        return QStringLiteral("a second save failed");
    const QByteArray rewritten = readBytes(settingsPath);
    if (written != rewritten) {
        qsizetype at = 0;
        while (at < written.size() && at < rewritten.size() && written[at] == rewritten[at])
            ++at;
        return QStringLiteral("saving the same values again changed the file from byte %1 "
                              "(%2 bytes before, %3 after):\nbefore: %4\nafter:  %5")
                .arg(at)
                .arg(written.size())
                .arg(rewritten.size())
                .arg(QString::fromLatin1(written.mid(qMax<qsizetype>(0, at - 20), 60).toHex(' ')),
                     QString::fromLatin1(rewritten.mid(qMax<qsizetype>(0, at - 20), 60).toHex(' ')));
    }
    QString failure = compareAll(first, loadAll(), QStringLiteral("after a second save of every section"));
    if (!failure.isEmpty())
        return failure;

    // Saving what was read proves little if the save went somewhere the
    // reader does not look; other values must land where they are read.
    Records changed;
    for (size_t i = 0; i < first.size(); ++i) {
        changed[i] = changedRecord(first[i]);
        CurrentSection = sections()[i];
        SaveNoteSettings(changed[i]);
        WaitForSaves();
        if (saveWarnings != 0)
            return QStringLiteral("saving new values into [%1] failed").arg(sections()[i]);
        NoteSettings back;
        LoadNoteSettings(back);
        if (!(back == changed[i])) {
            return QStringLiteral("[%1] does not read back new values:\n%2")
                    .arg(sections()[i], differences(changed[i], back));
        }
    }
    return compareAll(changed, loadAll(), QStringLiteral("after new values were saved in every section"));
}

QString scratchBase()
{
    if (qEnvironmentVariableIsSet("TMPDIR"))
        return QDir::tempPath();
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    if (shm.isDir() && shm.isWritable())
        return shm.filePath();
    return QDir::tempPath();
}

}
