// SPDX-License-Identifier: MIT
#include "store/SectionText.h"

#include "store/Cp932.h"
#include "store/Module1.h"
#include "store/ProfileFile.h"

#include <algorithm>
#include <array>
#include <span>

namespace {

enum Field { SIYOU, B_Color, POJIX, POJIY, YOKO, TATE, ALARM, A_TIME, NAIYOU, FName, FSize, FBold, FItalic, FieldCount, SYNC = FieldCount };

// Key order is write order: a new section's keys appear in it. The stamp
// comes last, after the keys every reader knows.
constexpr std::array<std::string_view, FieldCount + 1> Keys = {
    SettingsKey::SIYOU, SettingsKey::B_Color, SettingsKey::POJIX, SettingsKey::POJIY,
    SettingsKey::YOKO, SettingsKey::TATE, SettingsKey::ALARM, SettingsKey::A_TIME,
    SettingsKey::NAIYOU, SettingsKey::FName, SettingsKey::FSize, SettingsKey::FBold,
    SettingsKey::FItalic, Sync::Key,
};

char foldCase(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

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

const std::array<std::string_view, SectionCount> &SectionNames()
{
    static const std::array<std::string, SectionCount> names = [] {
        std::array<std::string, SectionCount> all;
        all[0] = LauncherSection().toStdString();
        for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot)
            all[size_t(slot - NoteSlots::First + 1)] = NoteSection(slot).toStdString();
        return all;
    }();
    static const std::array<std::string_view, SectionCount> views = [] {
        std::array<std::string_view, SectionCount> all;
        for (size_t i = 0; i < SectionCount; ++i)
            all[i] = names[i];
        return all;
    }();
    return views;
}

std::optional<size_t> SectionIndex(std::string_view section)
{
    const auto &names = SectionNames();
    for (size_t i = 0; i < SectionCount; ++i) {
        if (std::equal(section.begin(), section.end(), names[i].begin(), names[i].end(),
                       [](char a, char b) { return foldCase(a) == foldCase(b); }))
            return i;
    }
    return std::nullopt;
}

namespace {

DecodedSection decode(const std::array<ProfileFile::Value, FieldCount + 1> &values, bool present)
{
    DecodedSection decoded;
    decoded.whole = std::all_of(values.begin(), values.begin() + FieldCount,
                                [](const ProfileFile::Value &value) { return value.has_value(); });
    decoded.present = present;
    if (values[SYNC])
        decoded.stamp = Sync::ParseStamp(*values[SYNC]);
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

}

DecodedSection ReadSectionText(std::string_view content, std::string_view section)
{
    std::array<ProfileFile::Value, FieldCount + 1> values;
    ProfileFile::readSection(content, section, Keys, values);
    const bool present = std::any_of(values.begin(), values.end(), [](const ProfileFile::Value &value) { return value.has_value(); })
            || ProfileFile::holdsAnySection(content, std::span(&section, 1));
    return decode(values, present);
}

SectionBodies FindOurSections(std::string_view content)
{
    const std::vector<std::optional<ProfileFile::Body>> found = ProfileFile::findSections(content, SectionNames());
    SectionBodies bodies;
    std::copy(found.begin(), found.end(), bodies.begin());
    return bodies;
}

DecodedSection ReadSectionBody(std::string_view content, const std::optional<ProfileFile::Body> &body)
{
    std::array<ProfileFile::Value, FieldCount + 1> values;
    if (body)
        ProfileFile::readBody(content, *body, Keys, values);
    return decode(values, body.has_value());
}

Sync::Stamp ReadStamp(std::string_view content, const std::optional<ProfileFile::Body> &body)
{
    if (!body)
        return Sync::Stamp();
    std::array<ProfileFile::Value, 1> value;
    ProfileFile::readBody(content, *body, std::span(&Keys[SYNC], 1), value);
    return value[0] ? Sync::ParseStamp(*value[0]) : Sync::Stamp();
}

std::string WithSection(std::string_view content, std::string_view section, const NoteSettings &record,
                        const Sync::Stamp &stamp)
{
    const std::array<std::string, FieldCount> texts = {
        ProfileFile::fromInt(record.SIYOU), ProfileFile::fromInt(record.B_Color),
        ProfileFile::fromInt(record.POJIX), ProfileFile::fromInt(record.POJIY),
        ProfileFile::fromInt(record.YOKO), ProfileFile::fromInt(record.TATE),
        ProfileFile::fromInt(record.ALARM), ProfileFile::fromInt(record.A_TIME),
        textValue(record.NAIYOU), textValue(record.FName), ProfileFile::fromInt(record.FSize),
        textValue(record.FBold), textValue(record.FItalic),
    };
    std::array<ProfileFile::Assignment, FieldCount + 1> assignments;
    for (size_t i = 0; i < FieldCount; ++i)
        assignments[i] = {Keys[i], texts[i]};
    const std::string stampText = stamp.empty() ? std::string() : Sync::FormatStamp(stamp);
    if (!stamp.empty())
        assignments[FieldCount] = {Keys[SYNC], stampText};
    return ProfileFile::withValues(content, section,
                                   std::span(assignments.data(), stamp.empty() ? FieldCount : FieldCount + 1));
}

std::string SectionText(std::string_view section, const NoteSettings &record, const Sync::Stamp &stamp)
{
    return WithSection(std::string_view(), section, record, stamp);
}
