// SPDX-License-Identifier: MIT
#include "store/Module1.h"

#include "store/Cp932.h"
#include "store/ProfileFile.h"

#include <QFile>
#include <QStandardPaths>
#include <QtDebug>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>

QString CurrentSection;
QString EditSection;
int UseSharedRecord = 0;
int EditScreenOpen = 0;
quint8 LauncherRefresh = 0;
NoteSettings SharedRecord;

namespace {

enum Field { SIYOU, B_Color, POJIX, POJIY, YOKO, TATE, ALARM, A_TIME, NAIYOU, FName, FSize, FBold, FItalic, FieldCount };

// Key order is write order: a new section's keys appear in it.
constexpr std::array<std::string_view, FieldCount> Keys = {
    SettingsKey::SIYOU, SettingsKey::B_Color, SettingsKey::POJIX, SettingsKey::POJIY,
    SettingsKey::YOKO, SettingsKey::TATE, SettingsKey::ALARM, SettingsKey::A_TIME,
    SettingsKey::NAIYOU, SettingsKey::FName, SettingsKey::FSize, SettingsKey::FBold,
    SettingsKey::FItalic,
};

// FORM1 and the fifteen note sections: what a file of ours holds.
constexpr size_t SectionCount = 1 + NoteSlots::Count;

struct SectionNames
{
    std::array<std::string, SectionCount> names;
    std::array<std::string_view, SectionCount> views;
};

const SectionNames &sectionNames()
{
    static const SectionNames all = [] {
        SectionNames result;
        result.names[0] = LauncherSection().toStdString();
        for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot)
            result.names[size_t(slot - NoteSlots::First + 1)] = NoteSection(slot).toStdString();
        for (size_t i = 0; i < SectionCount; ++i)
            result.views[i] = result.names[i];
        return result;
    }();
    return all;
}

// What this run knows of each section, so that the notes on the screen
// outlive a file that goes missing, gets damaged or cannot be written.
struct Remembered
{
    NoteSettings record; // last read whole from the file, or last saved
    bool known = false;
    bool pending = false; // its last save failed: memory wins until written
};

struct Decoded
{
    NoteSettings record; // every key found, defaults for the others
    bool whole = false;  // all the keys were found
};

// The file as this run last read or wrote it, so that ticks finding it
// unchanged neither read nor decode it again.
struct FileCopy
{
    bool held = false;
    ProfileFile::FileStamp stamp;
    std::int64_t readAt = 0; // when the stamp was taken
    std::string content;
    std::array<std::optional<Decoded>, SectionCount> decoded; // on first use
};

struct StoreState
{
    std::string path;
    FileCopy copy;
    // Within one round of the notes' ticks the file is looked at once.
    int roundDepth = 0;
    bool roundChecked = false;
    std::array<Remembered, SectionCount> sections;
    bool lastSaveFailed = false;
    // The damaged file already copied, so a save that keeps failing after
    // the copy does not copy it again each time.
    size_t copiedSize = 0;
    size_t copiedHash = 0;
};

StoreState store;
SaveProblemHandler saveProblemHandler;

void forgetSections()
{
    store.copy = FileCopy();
    store.sections = {};
    store.lastSaveFailed = false;
    store.copiedSize = 0;
    store.copiedHash = 0;
}

const std::string &settingsPathBytes()
{
    if (store.path.empty()) {
        const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        store.path = QFile::encodeName(base + QStringLiteral("/nopi/nopi.ini")).toStdString();
    }
    return store.path;
}

char foldCase(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

std::optional<size_t> sectionIndex(std::string_view section)
{
    const auto &views = sectionNames().views;
    for (size_t i = 0; i < SectionCount; ++i) {
        if (std::equal(section.begin(), section.end(), views[i].begin(), views[i].end(),
                       [](char a, char b) { return foldCase(a) == foldCase(b); }))
            return i;
    }
    return std::nullopt;
}

Remembered *rememberedFor(std::string_view section)
{
    const std::optional<size_t> index = sectionIndex(section);
    return index ? &store.sections[*index] : nullptr;
}

QString readText(ProfileFile::Value value, const QString &fallback)
{
    if (!value)
        return fallback;
    return TrimAtNull(Cp932::decode(*value));
}

void fillRecord(const std::array<ProfileFile::Value, FieldCount> &values, NoteSettings &record)
{
    const NoteSettings defaults;
    record.SIYOU = ProfileFile::toInt(values[SIYOU], defaults.SIYOU);
    record.B_Color = ProfileFile::toInt(values[B_Color], defaults.B_Color);
    record.POJIX = ProfileFile::toInt(values[POJIX], defaults.POJIX);
    record.POJIY = ProfileFile::toInt(values[POJIY], defaults.POJIY);
    record.YOKO = ProfileFile::toInt(values[YOKO], defaults.YOKO);
    record.TATE = ProfileFile::toInt(values[TATE], defaults.TATE);
    record.ALARM = ProfileFile::toInt(values[ALARM], defaults.ALARM);
    record.A_TIME = ProfileFile::toInt(values[A_TIME], defaults.A_TIME);
    record.FSize = ProfileFile::toInt(values[FSize], defaults.FSize);
    record.NAIYOU = readText(values[NAIYOU], QString());
    record.FName = readText(values[FName], defaults.FName);
    record.FBold = readText(values[FBold], defaults.FBold);
    record.FItalic = readText(values[FItalic], defaults.FItalic);
}

Decoded decode(std::string_view content, std::string_view section)
{
    std::array<ProfileFile::Value, FieldCount> values;
    ProfileFile::readSection(content, section, Keys, values);
    Decoded decoded;
    decoded.whole = std::all_of(values.begin(), values.end(), [](const ProfileFile::Value &value) { return value.has_value(); });
    fillRecord(values, decoded.record);
    return decoded;
}

// The file's bytes, or none when it is missing or cannot be read. Read only
// when the file may have changed since the copy was taken; one stat() tells.
ProfileFile::ReadResult fileContent(const std::string *&content, ProfileFile::Problem *problem)
{
    static const std::string none;
    FileCopy &copy = store.copy;
    const std::string &path = settingsPathBytes();
    ProfileFile::FileStamp stamp;
    if (copy.held && store.roundChecked) {
        content = &copy.content;
        return ProfileFile::ReadResult::Ok;
    }
    if (copy.held && ProfileFile::stampOf(path, stamp) == ProfileFile::ReadResult::Ok && stamp == copy.stamp
        && ProfileFile::stillValid(stamp, copy.readAt)) {
        store.roundChecked = store.roundDepth > 0;
        content = &copy.content;
        return ProfileFile::ReadResult::Ok;
    }
    const std::int64_t readAt = ProfileFile::wallClockNow();
    std::string fresh;
    const ProfileFile::ReadResult result = ProfileFile::readFile(path, fresh, problem, &stamp);
    if (result != ProfileFile::ReadResult::Ok) {
        copy = FileCopy();
        content = &none;
        return result;
    }
    // The same bytes decode the same: only the times moved.
    if (!copy.held || fresh != copy.content) {
        copy.content = std::move(fresh);
        copy.decoded = {};
    }
    copy.held = true;
    copy.stamp = stamp;
    copy.readAt = readAt;
    store.roundChecked = store.roundDepth > 0;
    content = &copy.content;
    return result;
}

// What our own replace put there is known without reading it back.
void keepWritten(std::string content, const ProfileFile::FileStamp &stamp, std::int64_t writtenAt)
{
    FileCopy &copy = store.copy;
    copy.held = true;
    copy.stamp = stamp;
    copy.readAt = writtenAt;
    store.roundChecked = store.roundDepth > 0;
    copy.content = std::move(content);
    copy.decoded = {};
}

// Section `section` of the file, decoded once per version of the file. The
// reference holds until the next call.
const Decoded &sectionOfFile(std::string_view section)
{
    static Decoded uncached;
    const std::string *content = nullptr;
    const bool read = fileContent(content, nullptr) == ProfileFile::ReadResult::Ok;
    const std::optional<size_t> index = sectionIndex(section);
    if (!read || !index) {
        uncached = decode(*content, section);
        return uncached;
    }
    std::optional<Decoded> &decoded = store.copy.decoded[*index];
    if (!decoded)
        decoded = decode(*content, section);
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

// A value is one line of the file: a line break inside it must never start a
// new key or section. Trailing breaks only end the line; inner ones are the
// note's own line breaks and keep the file's mark for them.
std::string textValue(const QString &text)
{
    QString value = text.left(text.indexOf(QChar(0)) < 0 ? text.size() : text.indexOf(QChar(0)));
    while (value.endsWith(QLatin1Char('\n')) || value.endsWith(QLatin1Char('\r')))
        value.chop(1);
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) {
        value.replace(QLatin1String("\r\n"), QStringLiteral("⇔"));
        value.replace(QLatin1Char('\r'), QStringLiteral("⇔"));
        value.replace(QLatin1Char('\n'), QStringLiteral("⇔"));
    }
    return Cp932::encode(value);
}

std::string withRecord(std::string_view content, std::string_view section, const NoteSettings &record)
{
    const std::array<std::string, FieldCount> texts = {
        ProfileFile::fromInt(record.SIYOU), ProfileFile::fromInt(record.B_Color),
        ProfileFile::fromInt(record.POJIX), ProfileFile::fromInt(record.POJIY),
        ProfileFile::fromInt(record.YOKO), ProfileFile::fromInt(record.TATE),
        ProfileFile::fromInt(record.ALARM), ProfileFile::fromInt(record.A_TIME),
        textValue(record.NAIYOU), textValue(record.FName), ProfileFile::fromInt(record.FSize),
        textValue(record.FBold), textValue(record.FItalic),
    };
    std::array<ProfileFile::Assignment, FieldCount> assignments;
    for (size_t i = 0; i < FieldCount; ++i)
        assignments[i] = {Keys[i], texts[i]};
    return ProfileFile::withValues(content, section, assignments);
}

// Not empty, yet none of our sections: garbage, a truncated copy, another
// program's file. Blank lines alone hold nothing worth keeping.
bool isDamaged(std::string_view content)
{
    const bool blank = std::all_of(content.begin(), content.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
    });
    return !blank && !ProfileFile::holdsAnySection(content, sectionNames().views);
}

// A damaged file is copied aside before it is first written over, so it can
// be recovered by hand. False, with `problem` set, when no copy could be made.
bool keepCopyIfDamaged(const std::string &path, std::string_view content, ProfileFile::Problem *problem)
{
    if (!isDamaged(content))
        return true;
    const size_t hash = std::hash<std::string_view>()(content);
    if (content.size() != store.copiedSize || hash != store.copiedHash) {
        if (ProfileFile::keepCopy(path, content, problem).empty())
            return false;
        store.copiedSize = content.size();
        store.copiedHash = hash;
    }
    return true;
}

QString systemReason(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("ディスクの空きが足りません");
    case EROFS:
        return QStringLiteral("読み取り専用のディスクです");
    case EIO:
        return QStringLiteral("ディスクの読み書きに失敗しました");
    default:
        return QString();
    }
}

QString problemText(const ProfileFile::Problem &problem)
{
    using Problem = ProfileFile::Problem;
    const QString system = systemReason(problem.error);
    if (problem.cause == Problem::CannotKeepCopy) {
        const QString copy = QStringLiteral("壊れたファイルの控えを作れません");
        return system.isEmpty() ? copy : copy + QStringLiteral("（") + system + QStringLiteral("）");
    }
    if (!system.isEmpty())
        return system;
    switch (problem.cause) {
    case Problem::NotRegularFile:
        return QStringLiteral("通常のファイルではありません");
    case Problem::TooLarge:
        return QStringLiteral("大きすぎて読み込めません");
    case Problem::CannotRead:
        return problem.error == EACCES || problem.error == EPERM ? QStringLiteral("読み込む権限がありません")
                                                                 : QStringLiteral("読み込めません");
    case Problem::ReadOnlyFile:
        return QStringLiteral("読み取り専用のファイルです");
    case Problem::CannotCreateFolder:
        return QStringLiteral("フォルダーを作れません");
    case Problem::CannotWriteFolder:
        return QStringLiteral("フォルダーに書き込めません");
    case Problem::CannotWrite:
    case Problem::CannotKeepCopy:
    case Problem::None:
        break;
    }
    return QStringLiteral("書き込めません");
}

void reportSaveProblem(const ProfileFile::Problem &problem)
{
    const QString reason = problemText(problem);
    QString line = QStringLiteral("nopi: cannot save %1 - %2").arg(SettingsFilePath(), reason);
    if (problem.error != 0)
        line += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(problem.error)));
    qWarning().noquote() << line;
    if (saveProblemHandler)
        saveProblemHandler(SettingsFilePath(), reason);
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
    Remembered *remembered = rememberedFor(section);
    if (remembered && remembered->pending) {
        record = remembered->record;
        return SectionRead::FromMemory;
    }

    const Decoded &decoded = sectionOfFile(section);
    if (decoded.whole) {
        record = decoded.record;
        if (remembered) {
            remembered->record = record;
            remembered->known = true;
        }
        return SectionRead::FromFile;
    }
    if (remembered && remembered->known) {
        record = remembered->record;
        return SectionRead::FromMemory;
    }
    record = decoded.record;
    return SectionRead::Defaults;
}

bool SaveNoteSettings(const NoteSettings &record)
{
    const SectionName name(CurrentSection);
    const std::string_view section = name.view();
    Remembered *remembered = rememberedFor(section);
    if (remembered) {
        remembered->record = record;
        remembered->known = true;
    }

    const std::string &path = settingsPathBytes();
    const std::string *content = nullptr;
    ProfileFile::Problem problem;
    bool saved = false;
    // A file that exists but cannot be read is left as it is.
    if (fileContent(content, &problem) != ProfileFile::ReadResult::Failed
        && keepCopyIfDamaged(path, *content, &problem)) {
        std::string updated = withRecord(*content, section, record);
        // Every section whose save failed lands with this one.
        for (size_t i = 0; i < SectionCount; ++i) {
            const Remembered &other = store.sections[i];
            if (other.pending && &other != remembered)
                updated = withRecord(updated, sectionNames().views[i], other.record);
        }
        // The file already holds every byte: replacing it would only cost a
        // flush to disk and wake whatever watches the file.
        if (updated == *content) {
            saved = true;
        } else {
            const std::int64_t writtenAt = ProfileFile::wallClockNow();
            ProfileFile::FileStamp written;
            saved = ProfileFile::replaceFile(path, updated, &problem, &written);
            if (saved)
                keepWritten(std::move(updated), written, writtenAt);
        }
    }

    if (saved) {
        for (Remembered &each : store.sections)
            each.pending = false;
        store.lastSaveFailed = false;
        return true;
    }
    if (remembered)
        remembered->pending = true;
    // Told once per run of failures: a read-only file would otherwise be
    // reported at every tick of every note.
    if (!store.lastSaveFailed) {
        store.lastSaveFailed = true;
        reportSaveProblem(problem);
    }
    return false;
}

void SetSaveProblemHandler(SaveProblemHandler handler)
{
    saveProblemHandler = std::move(handler);
}

QString SettingsFileProblem()
{
    ProfileFile::Problem problem;
    if (ProfileFile::checkReadable(settingsPathBytes(), &problem) == ProfileFile::ReadResult::Failed)
        return problemText(problem);
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
    ProfileFile::removeStaleTemporaries(settingsPathBytes());
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
    // Another file: what this run remembered belongs to the old one.
    store.path = QFile::encodeName(path).toStdString();
    forgetSections();
}
