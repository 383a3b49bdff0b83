#pragma once

#include "store/NoteSettings.h"

#include <QString>

// The state every window shares. The windows cooperate only through these
// variables, the shared record and the settings file.
extern QString CurrentSection;  // the section the next Load/SaveNoteSettings uses
extern QString EditSection;     // the section being created or edited
extern int UseSharedRecord;     // 1: the next note window takes SharedRecord instead of the file
extern int EditScreenOpen;      // 1 while the edit screen is open
extern quint8 LauncherRefresh;  // countdown that has the launcher re-shape itself and take the focus
extern NoteSettings SharedRecord;

// Back to the state at program start: empty texts, zero numbers, defaults.
void ResetProgramState();

// Reads section CurrentSection of nopi.ini into every field of `record`.
void LoadNoteSettings(NoteSettings &record);
// Writes all 13 keys of `record` to section CurrentSection in one replace.
void SaveNoteSettings(const NoteSettings &record);
// Clears away what a save cut short by a crash or a kill left beside nopi.ini.
// Call it only as the one running copy, before the first save.
void RemoveStaleSaveFiles();
// The text up to its first NUL, without surrounding blanks.
QString TrimAtNull(const QString &text);

// $XDG_CONFIG_HOME/nopi/nopi.ini, else ~/.config/nopi/nopi.ini.
QString SettingsFilePath();
void SetSettingsFilePath(const QString &path);
