// SPDX-License-Identifier: MIT
#include "store/Module1.h"

#include "store/SaveProblem.h"
#include "store/SectionText.h"
#include "store/SettingsWatch.h"
#include "store/StoreState.h"
#include "store/SyncIdentity.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>

QString CurrentSection;
QString EditSection;
int UseSharedRecord = 0;
int EditScreenOpen = 0;
quint8 LauncherRefresh = 0;
NoteSettings SharedRecord;

StoreState store;
Handover handover;

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
    copy.bodies.reset();
    copy.decoded = {};
}

namespace {

// How long the file and the conflict copies beside it stand still before
// what arrived is merged with what this machine holds: a sync program that
// is still handing versions around takes a write meanwhile for a change of
// the user's, makes one more conflict copy of it, and may wait a minute
// before it tries anything again.
constexpr int SettleMs = 3000;
bool copiesArrived = false;

FileAccess::ReadResult fileContent(const std::string *&content, FileAccess::Problem *problem);

const DecodedSection &decodedSection(size_t index)
{
    FileCopy &copy = store.copy;
    std::optional<DecodedSection> &decoded = copy.decoded[index];
    if (!decoded) {
        if (!copy.bodies)
            copy.bodies = FindOurSections(copy.content);
        decoded = ReadSectionBody(copy.content, (*copy.bodies)[index]);
        Sync::SeenStamp(decoded->stamp);
    }
    return *decoded;
}

// Whether the file's section, whole, lacks a change this machine made that
// this run holds: a sync program put another machine's version in its place.
bool lacksOurChange(const DecodedSection &decoded, const HeldSection &held)
{
    const std::string &machine = Sync::ThisMachine();
    return decoded.whole && held.known && decoded.stamp.seenOf(machine) < held.stamp.seenOf(machine);
}

bool anyLacking()
{
    for (size_t i = 0; i < SectionCount; ++i) {
        const DecodedSection &decoded = decodedSection(i);
        const std::lock_guard lock(handover.mutex);
        if (lacksOurChange(decoded, handover.sections[i]))
            return true;
    }
    return false;
}

// The change is written again, merged with the version that arrived, so the
// sync program carries it on. Not at once: a file being rewritten in place
// can look like such a version half-way, and is read again whole first.
// Only this machine's own changes: a version that lacks only what others
// made is theirs to complete. Conflict copies that arrived meanwhile are
// merged by the same write.
void mergeWhatArrived()
{
    if (std::exchange(copiesArrived, false))
        MergeConflictCopies();
    bool lacking = false;
    const std::string *content = nullptr;
    if (fileContent(content, nullptr) != FileAccess::ReadResult::Ok)
        return;
    for (size_t i = 0; i < SectionCount; ++i) {
        const DecodedSection &decoded = decodedSection(i);
        const std::lock_guard lock(handover.mutex);
        HeldSection &held = handover.sections[i];
        if (held.dirty || !lacksOurChange(decoded, held))
            continue;
        held.dirty = true;
        ++held.version;
        handover.machine = Sync::ThisMachine();
        lacking = true;
    }
    if (lacking)
        writer().request();
}

void mergeOnceSettled(bool anotherArrived = false)
{
    static QPointer<QTimer> settle;
    StartOneShot(settle, SettleMs, mergeWhatArrived, anotherArrived);
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
    const bool another = !copy.held || fresh != copy.content;
    if (another) {
        copy.content = std::move(fresh);
        copy.bodies.reset();
        copy.decoded = {};
        copy.ours = false;
    }
    copy.held = true;
    copy.stamp = stamp;
    copy.readAt = readAt;
    store.roundChecked = store.roundDepth > 0;
    content = &copy.content;
    if (another && anyLacking())
        mergeOnceSettled(true);
    return result;
}

// Section `section` of the file, decoded once per version of the file. The
// reference holds until the next call.
const DecodedSection &sectionOfFile(std::string_view section)
{
    static DecodedSection uncached;
    const std::string *content = nullptr;
    const bool read = fileContent(content, nullptr) == FileAccess::ReadResult::Ok;
    const std::optional<size_t> index = SectionIndex(section);
    if (!read || !index) {
        uncached = ReadSectionText(*content, section);
        return uncached;
    }
    return decodedSection(*index);
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

// The section as it was before the save about to be made: what the stamp of
// the save says changed is measured against it.
StampedSection priorOf(size_t index, const HeldSection &held)
{
    if (held.known)
        return {held.asRead, held.stamp};
    const DecodedSection &decoded = sectionOfFile(SectionNames()[index]);
    return {decoded.record, decoded.stamp};
}

void save(const NoteSettings &record, const std::optional<Sync::AlarmCrossing> &crossing)
{
    const SectionName name(CurrentSection);
    const std::optional<size_t> index = SectionIndex(name.view());
    // Only our own sections are ever saved; a stray name has nowhere to go.
    if (!index)
        return;
    settingsPathBytes();
    // Reads answer with what the file will give back: a trailing line break
    // dropped, blanks trimmed, a character CP932 lacks as "?".
    const NoteSettings asRead = ReadSectionText(SectionText(name.view(), record), name.view()).record;
    HeldSection before;
    {
        const std::lock_guard lock(handover.mutex);
        before = handover.sections[*index];
    }
    const StampedSection prior = priorOf(*index, before);
    Sync::Stamp stamp = Sync::Restamp(prior.stamp, prior.record, asRead, Sync::NewChange());
    if (crossing)
        stamp.crossing = std::max(stamp.crossing, *crossing);
    // A slot thrown away may make room for a note a conflict copy holds.
    const bool slotFreed = *index > 0 && prior.record.SIYOU == 1 && asRead.SIYOU != 1;
    {
        const std::lock_guard lock(handover.mutex);
        HeldSection &held = handover.sections[*index];
        held.record = record;
        held.asRead = asRead;
        held.stamp = std::move(stamp);
        held.known = true;
        held.dirty = true;
        ++held.version;
        handover.machine = Sync::ThisMachine();
        if (slotFreed && handover.copiesKept)
            handover.mergeCopies = true;
    }
    writer().request();
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
    const std::optional<size_t> index = SectionIndex(section);
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
    if (held && lacksOurChange(decoded, *held)) {
        mergeOnceSettled();
        record = held->asRead;
        return SectionRead::Pending;
    }
    if (decoded.whole) {
        record = decoded.record;
        if (held) {
            held->record = record;
            held->asRead = record;
            held->stamp = decoded.stamp;
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
    save(record, std::nullopt);
}

void SaveNoteSettings(const NoteSettings &record, const Sync::AlarmCrossing &crossing)
{
    save(record, crossing);
}

void OtherVersionsArriving(bool conflictCopies)
{
    copiesArrived = copiesArrived || conflictCopies;
    mergeOnceSettled(true);
}

Sync::AlarmCrossing LastAlarmCrossing()
{
    const SectionName name(CurrentSection);
    const std::optional<size_t> index = SectionIndex(name.view());
    if (!index)
        return {};
    {
        const std::lock_guard lock(handover.mutex);
        const HeldSection &held = handover.sections[*index];
        if (held.dirty || held.known)
            return held.stamp.crossing;
    }
    return sectionOfFile(name.view()).stamp.crossing;
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
