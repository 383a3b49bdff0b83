// SPDX-License-Identifier: MIT
#include "store/NoteSettings.h"

namespace {
const QString StoredLineBreak = QStringLiteral("⇔");
const QString ShownLineBreak = QStringLiteral("\r\n");
}

QString LauncherSection()
{
    return QStringLiteral("FORM1");
}

QString NoteSection(int slot)
{
    return QStringLiteral("FORM%1").arg(slot);
}

int SlotOfSection(const QString &section)
{
    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot) {
        if (section == NoteSection(slot))
            return slot;
    }
    return 0;
}

QString TruthText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

bool IsTrue(const QString &text)
{
    // Only "True" is ever written; a hand-edited "true" or "1" means the same.
    const QString value = text.trimmed();
    if (value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    return isNumber && number != 0;
}

QString LineBreaksFromStored(const QString &stored)
{
    QString shown = stored;
    return shown.replace(StoredLineBreak, ShownLineBreak);
}

QString LineBreaksToStored(const QString &shown)
{
    QString stored = shown;
    return stored.replace(ShownLineBreak, StoredLineBreak);
}
