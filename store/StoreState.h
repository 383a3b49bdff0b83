// SPDX-License-Identifier: MIT
#pragma once

// What the store's own files share: the file as this run knows it on the
// screen's thread, and what that thread and the writer hand each other.
// Nothing outside store/ includes this.

#include "store/FileAccess.h"
#include "store/FileSave.h"
#include "store/SettingsWriter.h"

#include <QPointer>
#include <QTimer>

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The file as this run last read or wrote it, so that ticks finding it
// unchanged neither read nor decode it again.
struct FileCopy
{
    bool held = false;
    bool ours = false; // the bytes and the version are this run's own write
    FileAccess::FileStamp stamp;
    std::int64_t readAt = 0; // when the stamp was taken
    std::string content;
    std::optional<SectionBodies> bodies;                              // on first use
    std::array<std::optional<DecodedSection>, SectionCount> decoded; // on first use
};

// What the screen's thread keeps to itself.
struct StoreState
{
    std::string path;
    FileCopy copy;
    // Within one round of the notes' ticks the file is looked at once.
    int roundDepth = 0;
    bool roundChecked = false;
    bool lastSaveFailed = false;
    // What was told once and is not told again.
    std::set<std::string> told;
};

// What the screen's thread and the writer share, under the mutex: the
// sections this run holds (the screen's thread alone changes them, but for
// the dirty marks the writer clears), and what the writer found.
struct Handover
{
    std::mutex mutex;
    std::string path;
    HeldSections sections;
    // A version of our own file whose modification time someone set back.
    bool touch = false;
    FileAccess::FileStamp touchStamp;
    std::string touchContent;
    // Conflict copies to look for at the next run; and whether some stay
    // beside the file for want of a free slot.
    bool mergeCopies = false;
    bool copiesKept = false;
    // A save is likely soon: the writer gets its merge of the file ready.
    bool prepare = false;
    std::string machine;
    std::string putAwayFolder;
    std::vector<WriteOutcome> outcomes;
    DamagedCopy copied; // the writer's alone
};

extern StoreState store;
extern Handover handover;

SettingsWriter &writer();
const std::string &settingsPathBytes();
// What the writer put there is known without reading it back.
void keepFile(std::string content, const FileAccess::FileStamp &stamp, bool ours);
// Waits for the writer and forgets what it was given and found.
void forgetSections();

// Runs `timeout` `ms` from now on the screen's thread, by a single-shot timer
// of the application's made on first use (none without an application): a
// timer already running is left to run, or started anew when `restart`.
void StartOneShot(QPointer<QTimer> &timer, int ms, void (*timeout)(), bool restart = false);
