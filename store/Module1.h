// SPDX-License-Identifier: MIT
#pragma once

#include "store/NoteSettings.h"
#include "store/SyncStamp.h"

#include <QString>

#include <functional>

// The state every window shares. The windows cooperate only through these
// variables, the shared record and the settings file.
extern QString CurrentSection;  // the section the next Load/SaveNoteSettings uses
extern QString EditSection;     // the section being created or edited
extern int UseSharedRecord;     // 1: the next note window takes SharedRecord instead of the file
extern int EditScreenOpen;      // 1 while the edit screen is open
extern quint8 LauncherRefresh;  // countdown that has the launcher re-shape itself and take the focus
extern NoteSettings SharedRecord;

// Back to the state at program start: empty texts, zero numbers, defaults,
// nothing remembered of the file.
void ResetProgramState();

// Where the values LoadNoteSettings gave come from.
enum class SectionRead {
    FromFile,   // the section, whole, as the file holds it
    Pending,    // this run's own save of it, handed to the writer and not yet
                // known to be on disk (or not yet taken by a failing disk)
    FromMemory, // the file lacks it (missing, damaged, unreadable): what this
                // run last read whole or saved
    Defaults,   // neither: the defaults, with whatever keys the file had
};

// Reads section CurrentSection of nopi.ini into every field of `record`. A
// section this run saved answers with what it saved until the file has it:
// the tick and the double-click meet in the file as far as anyone can tell.
// The run remembers, per section, the record last read whole or saved, and
// gives it while the file lacks the section whole. Never blocks, whatever the
// path holds. The file is read and decoded again only when stat() shows
// another version of it, or one written too recently for its times to tell
// a later write apart.
SectionRead LoadNoteSettings(NoteSettings &record);
// Hands all 13 keys of `record` for section CurrentSection to the writer
// thread and returns at once. The writer replaces the file in one step with
// every section saved since its last write, and with every section this run
// knows that the file has lost altogether. A file in which none of our
// sections can be found is copied beside itself
// (nopi.ini.damaged-YYYYMMDD-HHMMSS) and rewritten with our sections alone; a
// file that exists but cannot be read is never written over; a file that
// already holds every byte is left alone. A save that fails is kept and tried
// again every two seconds, and with every later save, until one works.
void SaveNoteSettings(const NoteSettings &record);
// Saves as above, and records in the section that its note's alarm rang for,
// or was stopped at, `crossing`: a machine sharing the file then does not
// ring that crossing again.
void SaveNoteSettings(const NoteSettings &record, const Sync::AlarmCrossing &crossing);
// The alarm crossing the note of section CurrentSection last rang for or was
// stopped at, on this machine or another sharing the file, as far as this
// run knows.
Sync::AlarmCrossing LastAlarmCrossing();

// The user has begun a change that ends in a save (the edit screen is open):
// the writer reads the file now, so that the save's merge with other
// machines' versions finds most of its work done.
void ExpectSave();
// Merges into the file the conflict copies a sync program left beside it,
// on the writer's thread, and puts them away (in the state folder's merged/)
// once the file holds them.
void MergeConflictCopies();
// A sync program is at work on the file or its conflict copies: what
// arrives is merged with what this machine holds, copies too when
// `conflictCopies`, once everything has stood still a moment.
void OtherVersionsArriving(bool conflictCopies);
// Whether some conflict copy stays beside the file because a note it holds
// found no free slot.
bool ConflictCopiesKept();
// Told once per note that could not be merged for want of a free slot: its
// first line and the file its version stays in.
using MergeProblemHandler = std::function<void(const QString &firstLine, const QString &keptIn)>;
void SetMergeProblemHandler(MergeProblemHandler handler);

// Told once per run of failed saves (the first failure after a success or
// at start), with the file's path and why, in Japanese; told again, with an
// empty reason, when a save works after them. The program goes on with what
// it holds in memory either way.
using SaveProblemHandler = std::function<void(const QString &path, const QString &reason)>;
void SetSaveProblemHandler(SaveProblemHandler handler);

// Waits, at most `timeoutMs` (no limit when negative), for the writer to
// finish what it was handed, then tells what it found (the save problem
// handler) as the event loop otherwise would. True when it finished.
bool WaitForSaves(int timeoutMs = -1);
// At the program's end, however it ends: gives the writer at most
// `timeoutMs` to finish, and tells nothing.
void FinishSaves(int timeoutMs);
// Whether the writer has work under way or results not yet told.
bool SavesUnderWay();
// Whether the file at the path is another version than the one this run last
// read or wrote: one stat().
bool SettingsFileChanged();

// Why the settings file cannot be read (in Japanese), or empty when it can be
// read or does not exist yet. Never blocks, whatever the path holds.
QString SettingsFileProblem();

// While one lives, loads look at the file once: the first finds whether it
// changed, the others take that answer. For the notes' ticks, which all run
// in one wake-up of the program and need not each ask the disk again.
class SettingsReadRound
{
public:
    SettingsReadRound();
    ~SettingsReadRound();
    SettingsReadRound(const SettingsReadRound &) = delete;
    SettingsReadRound &operator=(const SettingsReadRound &) = delete;
};

// Clears away what a save cut short by a crash or a kill left beside nopi.ini.
// Call it only as the one running copy, before the first save.
void RemoveStaleSaveFiles();
// The text up to its first NUL, without surrounding blanks.
QString TrimAtNull(const QString &text);

// $XDG_CONFIG_HOME/nopi/nopi.ini, else ~/.config/nopi/nopi.ini.
QString SettingsFilePath();
// Also forgets what this run remembered of the previous file.
void SetSettingsFilePath(const QString &path);
