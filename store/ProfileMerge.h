// SPDX-License-Identifier: MIT
#pragma once

#include "store/NoteSettings.h"
#include "store/SectionText.h"
#include "store/SyncStamp.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Versions of the settings file merged note by note, from the files alone:
// two machines that merge the same versions write the same bytes, whichever
// merges and whenever.
//
// Per section and per part of a note (its slot, text, look, alarm, place):
// a change one version has seen and the other made later is taken; changes
// neither version has seen of the other are both kept where they can be,
// and otherwise the later wins:
// - two texts: the later stays in the slot, the other becomes a note of its
//   own in the lowest free slot, with its own look, alarm and place, a
//   little offset;
// - two alarms of one crossing, one stopped: the stop;
// - a note thrown away in one version and changed in the other comes back.
struct StampedSection
{
    NoteSettings record;
    Sync::Stamp stamp;
    bool operator==(const StampedSection &) const = default;
};
using VersionSections = std::array<std::optional<StampedSection>, SectionCount>;

// The sections of a file, as the reader finds them.
VersionSections SectionsOf(std::string_view content);

struct SectionMerge
{
    StampedSection merged;
    bool textFromB = false;
    // Both versions changed the note's text: the version whose text is not
    // in `merged`, to become a note of its own.
    std::optional<StampedSection> otherText;
};
// `isNote` is false for the launcher's section, which has no text to keep.
SectionMerge MergeSection(const StampedSection &a, const StampedSection &b, bool isNote);

struct MergedVersions
{
    VersionSections sections;
    // A text that found no free slot: the input it came from (by its place in
    // the list given), its section, and the note. The merged section does
    // not count it as seen, so a later merge of that input, with a slot free
    // by then, keeps it.
    struct Unplaced
    {
        size_t input = 0;
        size_t section = 0;
        NoteSettings record;
    };
    std::vector<Unplaced> unplaced;
};
// The same result whatever the order of `inputs`.
MergedVersions MergeVersions(std::span<const VersionSections> inputs);

// A file of `sections` in one fixed form: sections in slot order, their keys
// in write order with the stamp last, CR LF; then what the files `around`
// hold besides (lines before the first section, other keys in our sections,
// other sections), each block once, in byte order.
std::string CanonicalFile(const VersionSections &sections, std::span<const std::string_view> around);

struct MergedFiles
{
    std::string content;
    std::vector<MergedVersions::Unplaced> unplaced;
};
MergedFiles MergeFiles(std::span<const std::string_view> files);

// How far a note made from the other text of a merge stands off the original,
// in twips on each axis.
inline constexpr int MergedNoteOffsetTwips = 300;
