#include "store/Module1.h"

#include "store/Cp932.h"
#include "store/ProfileFile.h"

#include <QFile>
#include <QStandardPaths>
#include <QtDebug>

#include <algorithm>
#include <array>

QString CurrentSection;
QString EditSection;
int UseSharedRecord = 0;
int EditScreenOpen = 0;
quint8 LauncherRefresh = 0;
NoteSettings SharedRecord;

namespace {

std::string settingsPath;
bool lastSaveFailed = false;
SaveProblemHandler saveProblemHandler;

const std::string &settingsPathBytes()
{
    if (settingsPath.empty()) {
        const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        settingsPath = QFile::encodeName(base + QStringLiteral("/nopi/nopi.ini")).toStdString();
    }
    return settingsPath;
}

enum Field { SIYOU, B_Color, POJIX, POJIY, YOKO, TATE, ALARM, A_TIME, NAIYOU, FName, FSize, FBold, FItalic, FieldCount };

// Key order is write order: a new section's keys appear in it.
constexpr std::array<std::string_view, FieldCount> Keys = {
    SettingsKey::SIYOU, SettingsKey::B_Color, SettingsKey::POJIX, SettingsKey::POJIY,
    SettingsKey::YOKO, SettingsKey::TATE, SettingsKey::ALARM, SettingsKey::A_TIME,
    SettingsKey::NAIYOU, SettingsKey::FName, SettingsKey::FSize, SettingsKey::FBold,
    SettingsKey::FItalic,
};

QString readText(ProfileFile::Value value, const QString &fallback)
{
    if (!value)
        return fallback;
    return TrimAtNull(Cp932::decode(*value));
}

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

}

void ResetProgramState()
{
    CurrentSection.clear();
    EditSection.clear();
    UseSharedRecord = 0;
    EditScreenOpen = 0;
    LauncherRefresh = 0;
    SharedRecord = NoteSettings();
}

SectionRead LoadNoteSettings(NoteSettings &record)
{
    thread_local std::string content;
    if (ProfileFile::readFile(settingsPathBytes(), content) != ProfileFile::ReadResult::Ok)
        content.clear();

    const QByteArray section = CurrentSection.toLatin1();
    std::array<ProfileFile::Value, FieldCount> values;
    ProfileFile::readSection(content, std::string_view(section.constData(), size_t(section.size())), Keys, values);

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
    const bool whole = std::all_of(values.begin(), values.end(), [](const ProfileFile::Value &value) { return value.has_value(); });
    return whole ? SectionRead::FromFile : SectionRead::Defaults;
}

void SaveNoteSettings(const NoteSettings &record)
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

    const std::string &path = settingsPathBytes();
    std::string content;
    const auto read = ProfileFile::readFile(path, content);
    QString error;
    bool saved = false;
    if (read == ProfileFile::ReadResult::Failed) {
        error = QStringLiteral("the file cannot be read");
    } else {
        const QByteArray section = CurrentSection.toLatin1();
        const std::string updated = ProfileFile::withValues(
                content, std::string_view(section.constData(), size_t(section.size())), assignments);
        saved = ProfileFile::replaceFile(path, updated, &error);
    }
    // One warning per run of failures: a read-only file would otherwise be
    // reported at every tick of every note.
    if (!saved && !lastSaveFailed)
        qWarning().noquote() << "nopi: cannot save" << QString::fromLocal8Bit(path.c_str()) << "-" << error;
    lastSaveFailed = !saved;
}

void SetSaveProblemHandler(SaveProblemHandler handler)
{
    saveProblemHandler = std::move(handler);
}

QString SettingsFileProblem()
{
    return QString();
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
    settingsPath = QFile::encodeName(path).toStdString();
}
