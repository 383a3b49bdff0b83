// SPDX-License-Identifier: MIT
#pragma once

// One save of the settings file: what it holds of ours, what it writes, and
// what it found.

#include "store/FileAccess.h"
#include "store/NoteSettings.h"
#include "store/ProfileMerge.h"
#include "store/SectionText.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What this run holds of one section, as handed to the writer.
struct HeldSection
{
    NoteSettings record;   // last read whole from the file, or last saved
    NoteSettings asRead;   // the same as a read of the file gives it back
    Sync::Stamp stamp;     // of `record`
    bool known = false;    // there is such a record
    bool dirty = false;    // saved, and not yet known to be on disk
    std::uint64_t version = 0; // counts the saves, so a write tells which it held
};
using HeldSections = std::array<HeldSection, SectionCount>;

// The file's new bytes: `base` with every dirty section written in, and every
// known section that `base` lacks altogether written back (a file that lost
// them must not lose the launcher's place). A damaged base, one in which none
// of our sections can be found, gives way to the known sections alone.
//
// Where `base` holds a change a dirty section has not seen (another machine's
// version arrived meanwhile), or `copies` are given, the versions are merged
// note by note, into the one form any machine merging them writes. So too
// where `base` holds other machines' changes: two machines that merge each
// other's versions at once then write the same bytes, whatever order their
// sections had.
struct NewContent
{
    std::string content;
    bool merged = false; // with changes made elsewhere, not only written over
    // Texts that found no free slot; inputs: 0 the base, 1 the dirty
    // sections, 2 on the copies.
    std::vector<MergedVersions::Unplaced> unplaced;
};
NewContent ContentWith(std::string_view base, const HeldSections &sections,
                       std::span<const std::string_view> copies = {}, std::string_view machine = {});

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
    bool merged = false;        // which holds changes made elsewhere too
    std::string content;
    FileAccess::FileStamp stamp;
    std::array<std::uint64_t, SectionCount> versions {}; // of the dirty sections it saved, else 0
    // Conflict copies that are not settings files, left where they are;
    // and whether some were too new to be merged yet.
    std::vector<std::string> unreadableCopies;
    bool copiesArriving = false;
    // Notes that found no free slot, and the file their version stays in.
    struct Unmerged
    {
        std::string keptIn;
        NoteSettings record;
    };
    std::vector<Unmerged> unmerged;
};

// What one save is to do.
struct WriteRequest
{
    std::string path;
    HeldSections sections;
    std::string machine;        // this machine's name in stamps
    bool mergeCopies = false;   // merge the conflict copies beside the file
    bool prepare = false;       // with nothing to write, get a merge ready
    std::string putAwayFolder;  // where merged copies go
};

// One save, on the calling thread: reads the file, keeps a copy of a damaged
// one beside it, and replaces it with both flushes unless it already holds
// every byte. A file that exists but cannot be read is never written over.
// `copied` remembers the damaged bytes already copied, so a save that keeps
// failing does not copy them again each time. Conflict copies merged into
// the file are put away once the file holds them; a version holding a text
// that found no free slot stays beside the file, as a conflict copy.
struct DamagedCopy
{
    size_t size = 0;
    size_t hash = 0;
};
WriteOutcome WriteSections(const WriteRequest &request, DamagedCopy &copied);

