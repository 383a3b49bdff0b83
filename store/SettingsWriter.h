// SPDX-License-Identifier: MIT
#pragma once

#include "store/FileAccess.h"
#include "store/NoteSettings.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

// FORM1 and the fifteen note sections: what a file of ours holds, in the
// order a file rebuilt from nothing holds them.
inline constexpr size_t SectionCount = 1 + NoteSlots::Count;
const std::array<std::string_view, SectionCount> &SectionNames();

// What this run holds of one section, as handed to the writer.
struct HeldSection
{
    NoteSettings record;   // last read whole from the file, or last saved
    NoteSettings asRead;   // the same as a read of the file gives it back
    bool known = false;    // there is such a record
    bool dirty = false;    // saved, and not yet known to be on disk
    std::uint64_t version = 0; // counts the saves, so a write tells which it held
};
using HeldSections = std::array<HeldSection, SectionCount>;

// The file's new bytes: `base` with every dirty section written in, and every
// known section that `base` lacks altogether written back (a file that lost
// them must not lose the launcher's place). A damaged base, one in which none
// of our sections can be found, gives way to the known sections alone.
std::string ContentWith(std::string_view base, const HeldSections &sections);

// Not empty, yet none of our sections: garbage, a truncated copy, another
// program's file. Blank lines alone hold nothing worth keeping.
bool IsDamaged(std::string_view content);

// What one run of the writer did.
struct WriteOutcome
{
    bool saved = false;         // the file holds every section that was dirty
    FileAccess::Problem problem; // why not
    bool holdsFile = false;     // content and stamp tell the file as the run left it
    bool ours = false;          // and they are this run's own write
    std::string content;
    FileAccess::FileStamp stamp;
    std::array<std::uint64_t, SectionCount> versions {}; // of the dirty sections it saved, else 0
};

// One save, on the calling thread: reads the file, keeps a copy of a damaged
// one beside it, and replaces it with both flushes unless it already holds
// every byte. A file that exists but cannot be read is never written over.
// `copied` remembers the damaged bytes already copied, so a save that keeps
// failing does not copy them again each time.
struct DamagedCopy
{
    size_t size = 0;
    size_t hash = 0;
};
WriteOutcome WriteSections(const std::string &path, const HeldSections &sections, DamagedCopy &copied);

// The one thread that writes the settings file, so that the screen's thread
// never waits for a disk: `run` is called on it once per request, one call at
// a time; requests made while a call runs are served together by one more.
class SettingsWriter
{
public:
    explicit SettingsWriter(std::function<void()> run);
    // Leaves a write stuck on a dead disk to the end of the process.
    ~SettingsWriter();
    SettingsWriter(const SettingsWriter &) = delete;
    SettingsWriter &operator=(const SettingsWriter &) = delete;

    void request();
    // Whether a run is requested or running, without waiting.
    bool busy();
    // Waits until nothing is requested or running, for at most `timeoutMs`
    // (no limit when negative). True when the writer is idle.
    bool waitIdle(int timeoutMs);

private:
    void loop();

    std::function<void()> m_run;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_requested = false;
    bool m_running = false;
    bool m_stopping = false;
    std::thread m_thread;
};
