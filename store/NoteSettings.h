// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// One section of nopi.ini: the launcher's place ("FORM1") or one note slot
// ("FORM3" … "FORM17"). The defaults are what a missing key reads as.
struct NoteSettings
{
    qint32 SIYOU = 0;      // 1 = the slot holds a note
    qint32 B_Color = 0;    // 0x00BBGGRR
    qint32 POJIX = 0;      // outer left, twips
    qint32 POJIY = 0;      // outer top, twips
    qint32 YOKO = 1;       // outer width, twips
    qint32 TATE = 1;       // outer height, twips
    qint32 ALARM = 0;      // 0 off, 1 armed, 2 ringing
    qint32 A_TIME = 0;     // hhmm, or MMddhhmm when the alarm has a date
    QString NAIYOU;        // line breaks stored as "⇔"
    QString FName = QStringLiteral("ＭＳ Ｐゴシック");
    qint32 FSize = 10;     // points
    QString FBold = QStringLiteral("False");
    QString FItalic = QStringLiteral("False");

    bool operator==(const NoteSettings &) const = default;
};

// Key and section names, spelled once.
namespace SettingsKey {
inline constexpr const char *SIYOU = "SIYOU";
inline constexpr const char *B_Color = "B_Color";
inline constexpr const char *POJIX = "POJIX";
inline constexpr const char *POJIY = "POJIY";
inline constexpr const char *YOKO = "YOKO";
inline constexpr const char *TATE = "TATE";
inline constexpr const char *ALARM = "ALARM";
inline constexpr const char *A_TIME = "A_TIME";
inline constexpr const char *NAIYOU = "NAIYOU";
inline constexpr const char *FName = "FName";
inline constexpr const char *FSize = "FSize";
inline constexpr const char *FBold = "FBold";
inline constexpr const char *FItalic = "FItalic";
}

namespace NoteSlots {
inline constexpr int First = 3;
inline constexpr int Last = 17;
inline constexpr int Count = Last - First + 1;
}

QString LauncherSection();
QString NoteSection(int slot);
// The slot a section names, or 0 when it names none.
int SlotOfSection(const QString &section);

// "True"/"False" as the file holds them, and back.
QString TruthText(bool value);
bool IsTrue(const QString &text);

// A stored note text shows "⇔" where the user broke the line.
QString LineBreaksFromStored(const QString &stored);
QString LineBreaksToStored(const QString &shown);
