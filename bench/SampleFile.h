// SPDX-License-Identifier: MIT
#pragma once

#include "SampleNotes.h"
#include "store/Module1.h"
#include "store/NoteSettings.h"

#include <optional>

// A realistic nopi.ini: the launcher and fifteen notes in use, each with a
// Japanese text of 50 to 100 characters (or, long, 60 KiB of them), laid
// out on a 1280 × 1024 screen; five of them have an alarm, set when the file
// is made to ring far from the run.
namespace SampleFile {

enum class Texts { Short, Long };

// allDue: every note's alarm on, all at this hhmm (fifteen alarms in one
// minute); otherwise the sample's five alarms, far away.
inline NoteSettings note(int slot, std::optional<qint32> allDue = std::nullopt, Texts texts = Texts::Short)
{
    const int i = slot - NoteSlots::First;
    NoteSettings record;
    record.SIYOU = 1;
    record.B_Color = SampleNotes::color(i);
    record.POJIX = SampleNotes::left(i);
    record.POJIY = SampleNotes::top(i);
    record.YOKO = SampleNotes::Width;
    record.TATE = SampleNotes::Height;
    record.ALARM = allDue || SampleNotes::hasAlarm(i) ? 1 : 0;
    record.A_TIME = allDue ? *allDue : SampleNotes::alarmTime(i);
    record.NAIYOU = texts == Texts::Long ? SampleNotes::longText(i) : SampleNotes::text(i);
    record.FName = SampleNotes::fontName(i);
    record.FSize = SampleNotes::pointSize(i);
    record.FBold = TruthText(SampleNotes::bold(i));
    record.FItalic = TruthText(false);
    return record;
}

inline NoteSettings launcher()
{
    NoteSettings record;
    record.POJIX = SampleNotes::LauncherLeft;
    record.POJIY = SampleNotes::LauncherTop;
    record.YOKO = SampleNotes::LauncherWidth;
    record.TATE = SampleNotes::LauncherHeight;
    return record;
}

// Writes the file at the store's current path, launcher first as the
// program would.
inline void write(std::optional<qint32> allDue = std::nullopt, Texts texts = Texts::Short)
{
    CurrentSection = LauncherSection();
    SaveNoteSettings(launcher());
    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot) {
        CurrentSection = NoteSection(slot);
        SaveNoteSettings(note(slot, allDue, texts));
    }
    WaitForSaves();
}

}
