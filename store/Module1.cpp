// SPDX-License-Identifier: MIT
#include "store/Module1.h"

#include "store/SaveProblem.h"
#include "store/SectionText.h"
#include "store/SettingsWatch.h"
#include "store/SettingsWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <unistd.h>
#include <vector>

QString CurrentSection;
QString EditSection;
int UseSharedRecord = 0;
int EditScreenOpen = 0;
quint8 LauncherRefresh = 0;
NoteSettings SharedRecord;

namespace {

// A save that failed is tried again this long after, until one works.
constexpr int RetryMs = 2000;

// The file as this run last read or wrote it, so that ticks finding it
// unchanged neither read nor decode it again.
struct FileCopy
{
    bool held = false;
    bool ours = false; // the bytes and the version are this run's own write
    FileAccess::FileStamp stamp;
    std::int64_t readAt = 0; // when the stamp was taken
    std::string content;
    std::array<std::optional<DecodedSection>, SectionCount> decoded; // on first use
};

// What the screen's thread keeps to itself.
struct StoreState
{
    std::string path;
    FileCopy copy;
    // Within one round of the notes' ticks the file is looked at once.
    int roundDepth = 0;
    bool roundChecked = false;
    bool lastSaveFailed = false;
};

// What the screen's thread and the writer share, under the mutex: the
// sections this run holds (the screen's thread alone changes them, but for
// the dirty marks the writer clears), and what the writer found.
struct Handover
{
    std::mutex mutex;
    std::string path;
    HeldSections sections;
    // A version of our own file whose modification time someone set back.
    bool touch = false;
    FileAccess::FileStamp touchStamp;
    std::string touchContent;
    std::vector<WriteOutcome> outcomes;
    DamagedCopy copied; // the writer's alone
};

StoreState store;
Handover handover;
SaveProblemHandler saveProblemHandler;

void runWriter();

SettingsWriter &writer()
{
    // Never destroyed: at the process's end a write still under way is given
    // its time by FinishSaves(), and the thread then ends with the process.
    // A forked child has no thread of its parent's, and starts its own.
    static pid_t owner = 0;
    static SettingsWriter *thread = nullptr;
    if (!thread || owner != getpid()) {
        owner = getpid();
        thread = new SettingsWriter(runWriter);
    }
    return *thread;
}

const std::string &settingsPathBytes()
{
    if (store.path.empty()) {
        const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        store.path = QFile::encodeName(base + QStringLiteral("/nopi/nopi.ini")).toStdString();
        const std::lock_guard lock(handover.mutex);
        handover.path = store.path;
    }
    return store.path;
}

char foldCase(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

std::optional<size_t> sectionIndex(std::string_view section)
{
    const auto &names = SectionNames();
    for (size_t i = 0; i < SectionCount; ++i) {
        if (std::equal(section.begin(), section.end(), names[i].begin(), names[i].end(),
                       [](char a, char b) { return foldCase(a) == foldCase(b); }))
            return i;
    }
    return std::nullopt;
}

// A sync engine that takes back what it had just given (Syncthing's update of
// metadata only) can put our file's old modification time back on it. The
// content is still ours, but the engine then believes it knows this version
// and never sends it on: the machines would differ for good. A new time makes
// the engine look at the file again.
void touchIfTimeSetBack(const FileAccess::FileStamp &stamp, const std::string &fresh)
{
    const FileCopy &copy = store.copy;
    if (!copy.held || !copy.ours || fresh != copy.content || stamp.device != copy.stamp.device
        || stamp.inode != copy.stamp.inode || stamp.modified >= copy.stamp.modified)
        return;
    {
        const std::lock_guard lock(handover.mutex);
        handover.touch = true;
        handover.touchStamp = stamp;
        handover.touchContent = fresh;
    }
    writer().request();
}

// The file's bytes, or none when it is missing or cannot be read. Read only
// when the file may have changed since the copy was taken; one stat() tells.
FileAccess::ReadResult fileContent(const std::string *&content, FileAccess::Problem *problem)
{
    static const std::string none;
    FileCopy &copy = store.copy;
    const std::string &path = settingsPathBytes();
    FileAccess::FileStamp stamp;
    if (copy.held && store.roundChecked) {
        content = &copy.content;
        return FileAccess::ReadResult::Ok;
    }
    if (copy.held && FileAccess::stampOf(path, stamp) == FileAccess::ReadResult::Ok && stamp == copy.stamp
        && FileAccess::stillValid(stamp, copy.readAt)) {
        store.roundChecked = store.roundDepth > 0;
        content = &copy.content;
        return FileAccess::ReadResult::Ok;
    }
    const std::int64_t readAt = FileAccess::wallClockNow();
    std::string fresh;
    const FileAccess::ReadResult result = FileAccess::readFile(path, fresh, problem, &stamp);
    if (result != FileAccess::ReadResult::Ok) {
        copy = FileCopy();
        content = &none;
        return result;
    }
    touchIfTimeSetBack(stamp, fresh);
    // The same bytes decode the same: only the times moved.
    if (!copy.held || fresh != copy.content) {
        copy.content = std::move(fresh);
        copy.decoded = {};
        copy.ours = false;
    }
    copy.held = true;
    copy.stamp = stamp;
    copy.readAt = readAt;
    store.roundChecked = store.roundDepth > 0;
    content = &copy.content;
    return result;
}

// What the writer put there is known without reading it back.
void keepFile(std::string content, const FileAccess::FileStamp &stamp, bool ours)
{
    FileCopy &copy = store.copy;
    if (copy.held && copy.stamp == stamp && copy.content == content)
        return;
    copy.held = true;
    copy.ours = ours;
    copy.stamp = stamp;
    copy.readAt = FileAccess::wallClockNow();
    store.roundChecked = store.roundDepth > 0;
    copy.content = std::move(content);
    copy.decoded = {};
}

// Section `section` of the file, decoded once per version of the file. The
// reference holds until the next call.
const DecodedSection &sectionOfFile(std::string_view section)
{
    static DecodedSection uncached;
    const std::string *content = nullptr;
    const bool read = fileContent(content, nullptr) == FileAccess::ReadResult::Ok;
    const std::optional<size_t> index = sectionIndex(section);
    if (!read || !index) {
        uncached = ReadSectionText(*content, section);
        return uncached;
    }
    std::optional<DecodedSection> &decoded = store.copy.decoded[*index];
    if (!decoded)
        decoded = ReadSectionText(*content, section);
    return *decoded;
}

// A section's name as the file's bytes; our names are short and ASCII, so
// no allocation at every tick.
class SectionName
{
public:
    explicit SectionName(const QString &name)
    {
        if (name.size() < qsizetype(m_buffer.size())) {
            for (qsizetype i = 0; i < name.size(); ++i)
                m_buffer[size_t(i)] = name[i].unicode() < 256 ? char(name[i].unicode()) : '?';
            m_view = std::string_view(m_buffer.data(), size_t(name.size()));
        } else {
            m_long = name.toLatin1();
            m_view = std::string_view(m_long.constData(), size_t(m_long.size()));
        }
    }
    std::string_view view() const { return m_view; }

private:
    std::array<char, 32> m_buffer {};
    QByteArray m_long;
    std::string_view m_view;
};

void reportSaveProblem(const FileAccess::Problem &problem)
{
    const QString reason = ProblemText(problem);
    QString line = QStringLiteral("nopi: cannot save %1 - %2").arg(SettingsFilePath(), reason);
    if (problem.error != 0)
        line += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(problem.error)));
    qWarning().noquote() << line;
    if (saveProblemHandler)
        saveProblemHandler(SettingsFilePath(), reason);
}

bool anyDirty()
{
    const std::lock_guard lock(handover.mutex);
    return std::any_of(handover.sections.begin(), handover.sections.end(),
                       [](const HeldSection &held) { return held.dirty; });
}

void applyOutcomes();

// Runs on the writer's thread: one save of everything dirty, or the new time
// for a file someone set back.
void runWriter()
{
    std::string path;
    HeldSections sections;
    bool touch = false;
    FileAccess::FileStamp touchStamp;
    std::string touchContent;
    {
        const std::lock_guard lock(handover.mutex);
        path = handover.path;
        sections = handover.sections;
        touch = std::exchange(handover.touch, false);
        touchStamp = handover.touchStamp;
        touchContent = std::move(handover.touchContent);
    }
    WriteOutcome outcome = WriteSections(path, sections, handover.copied);
    if (touch && outcome.saved && !outcome.ours) {
        FileAccess::FileStamp touched;
        if (FileAccess::touch(path, touchStamp, touchContent, &touched)) {
            outcome.ours = true;
            outcome.holdsFile = true;
            outcome.content = std::move(touchContent);
            outcome.stamp = touched;
        }
    }
    {
        const std::lock_guard lock(handover.mutex);
        for (size_t i = 0; i < SectionCount; ++i) {
            HeldSection &held = handover.sections[i];
            if (outcome.versions[i] != 0 && held.version == outcome.versions[i])
                held.dirty = false;
        }
        handover.outcomes.push_back(std::move(outcome));
    }
    if (QCoreApplication *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, [] { applyOutcomes(); }, Qt::QueuedConnection);
}

void retryLater()
{
    static QPointer<QTimer> retry;
    if (!retry) {
        if (!QCoreApplication::instance())
            return;
        retry = new QTimer(QCoreApplication::instance());
        retry->setSingleShot(true);
        retry->setInterval(RetryMs);
        QObject::connect(retry, &QTimer::timeout, [] {
            if (anyDirty())
                writer().request();
        });
    }
    if (!retry->isActive())
        retry->start();
}

// On the screen's thread: what the writer did is told, and its file kept.
void applyOutcomes()
{
    std::vector<WriteOutcome> outcomes;
    {
        const std::lock_guard lock(handover.mutex);
        outcomes.swap(handover.outcomes);
    }
    for (WriteOutcome &outcome : outcomes) {
        if (!outcome.saved) {
            // Told once per run of failures: a read-only file would otherwise
            // be reported at every save.
            if (!store.lastSaveFailed) {
                store.lastSaveFailed = true;
                reportSaveProblem(outcome.problem);
            }
            retryLater();
            continue;
        }
        if (outcome.holdsFile)
            keepFile(std::move(outcome.content), outcome.stamp, outcome.ours);
        const bool wrote = std::any_of(outcome.versions.begin(), outcome.versions.end(),
                                       [](std::uint64_t v) { return v != 0; });
        if (wrote && std::exchange(store.lastSaveFailed, false) && saveProblemHandler)
            saveProblemHandler(SettingsFilePath(), QString());
    }
}

// Waits for the writer and forgets what it was given and found.
void forgetSections()
{
    writer().waitIdle(-1);
    {
        const std::lock_guard lock(handover.mutex);
        handover.sections = {};
        handover.outcomes.clear();
        handover.touch = false;
        handover.copied = {};
        handover.path = store.path;
    }
    store.copy = FileCopy();
    store.lastSaveFailed = false;
}

}

void ResetProgramState()
{
    CurrentSection.clear();
    EditSection.clear();
    UseSharedRecord = 0;
    EditScreenOpen = 0;
    LauncherRefresh = 0;
    SharedRecord = NoteSettings();
    forgetSections();
}

SectionRead LoadNoteSettings(NoteSettings &record)
{
    const SectionName name(CurrentSection);
    const std::string_view section = name.view();
    const std::optional<size_t> index = sectionIndex(section);
    if (index) {
        const std::lock_guard lock(handover.mutex);
        const HeldSection &held = handover.sections[*index];
        if (held.dirty) {
            record = held.asRead;
            return SectionRead::Pending;
        }
    }

    const DecodedSection &decoded = sectionOfFile(section);
    const std::lock_guard lock(handover.mutex);
    HeldSection *held = index ? &handover.sections[*index] : nullptr;
    if (decoded.whole) {
        record = decoded.record;
        if (held) {
            held->record = record;
            held->asRead = record;
            held->known = true;
        }
        return SectionRead::FromFile;
    }
    if (held && held->known) {
        record = held->asRead;
        return SectionRead::FromMemory;
    }
    record = decoded.record;
    return SectionRead::Defaults;
}

void SaveNoteSettings(const NoteSettings &record)
{
    const SectionName name(CurrentSection);
    const std::optional<size_t> index = sectionIndex(name.view());
    // Only our own sections are ever saved; a stray name has nowhere to go.
    if (!index)
        return;
    settingsPathBytes();
    // Reads answer with what the file will give back: a trailing line break
    // dropped, blanks trimmed, a character CP932 lacks as "?".
    const NoteSettings asRead = ReadSectionText(SectionText(name.view(), record), name.view()).record;
    {
        const std::lock_guard lock(handover.mutex);
        HeldSection &held = handover.sections[*index];
        held.record = record;
        held.asRead = asRead;
        held.known = true;
        held.dirty = true;
        ++held.version;
    }
    writer().request();
}

bool WaitForSaves(int timeoutMs)
{
    const bool idle = writer().waitIdle(timeoutMs);
    applyOutcomes();
    return idle;
}

void FinishSaves(int timeoutMs)
{
    writer().waitIdle(timeoutMs);
}

bool SavesUnderWay()
{
    {
        const std::lock_guard lock(handover.mutex);
        if (!handover.outcomes.empty())
            return true;
    }
    return writer().busy();
}

bool SettingsFileChanged()
{
    const FileCopy &copy = store.copy;
    FileAccess::FileStamp stamp;
    const FileAccess::ReadResult result = FileAccess::stampOf(settingsPathBytes(), stamp);
    if (result == FileAccess::ReadResult::Missing)
        return copy.held;
    return !copy.held || result != FileAccess::ReadResult::Ok || stamp != copy.stamp;
}

void SetSaveProblemHandler(SaveProblemHandler handler)
{
    saveProblemHandler = std::move(handler);
}

QString SettingsFileProblem()
{
    FileAccess::Problem problem;
    if (FileAccess::checkReadable(settingsPathBytes(), &problem) == FileAccess::ReadResult::Failed)
        return ProblemText(problem);
    return QString();
}

SettingsReadRound::SettingsReadRound()
{
    ++store.roundDepth;
}

SettingsReadRound::~SettingsReadRound()
{
    if (--store.roundDepth == 0)
        store.roundChecked = false;
}

void RemoveStaleSaveFiles()
{
    FileAccess::removeStaleTemporaries(settingsPathBytes());
}

QString TrimAtNull(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    QStringView kept = QStringView(text).left(nul < 0 ? text.size() : nul);
    qsizetype first = 0;
    qsizetype last = kept.size();
    while (first < last && kept[first] == QLatin1Char(' '))
        ++first;
    while (last > first && kept[last - 1] == QLatin1Char(' '))
        --last;
    return kept.mid(first, last - first).toString();
}

QString SettingsFilePath()
{
    return QFile::decodeName(QByteArray::fromStdString(settingsPathBytes()));
}

void SetSettingsFilePath(const QString &path)
{
    // Another file: what this run remembered belongs to the old one, and
    // what was handed over for it is written there first.
    store.path = QFile::encodeName(path).toStdString();
    forgetSections();
    RewatchSettingsFile();
}
