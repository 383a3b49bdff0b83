// SPDX-License-Identifier: MIT
#include "store/SectionText.h"

#include "store/Cp932.h"
#include "store/Module1.h"
#include "store/ProfileFile.h"

#include <algorithm>
#include <array>

namespace {

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

DecodedSection ReadSectionText(std::string_view content, std::string_view section)
{
    std::array<ProfileFile::Value, FieldCount> values;
    ProfileFile::readSection(content, section, Keys, values);
    DecodedSection decoded;
    decoded.whole = std::all_of(values.begin(), values.end(), [](const ProfileFile::Value &value) { return value.has_value(); });
    const NoteSettings defaults;
    NoteSettings &record = decoded.record;
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
    return decoded;
}

std::string WithSection(std::string_view content, std::string_view section, const NoteSettings &record)
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

std::string SectionText(std::string_view section, const NoteSettings &record)
{
    return WithSection(std::string_view(), section, record);
}
