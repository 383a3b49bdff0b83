// SPDX-License-Identifier: MIT
#include "store/NoteLook.h"

QColor ColorFromBgr(qint32 value)
{
    const auto bgr = static_cast<quint32>(value);
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QFont NoteFont(const NoteSettings &record)
{
    QFont font(record.FName);
    font.setPointSize(qBound(1, record.FSize, 400));
    font.setBold(IsTrue(record.FBold));
    font.setItalic(IsTrue(record.FItalic));
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}
