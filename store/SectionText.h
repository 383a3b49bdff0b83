// SPDX-License-Identifier: MIT
#pragma once

#include "store/NoteSettings.h"
#include "store/ProfileFile.h"
#include "store/SyncStamp.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

// One section of nopi.ini as text: its 13 keys and its stamp read from the
// file's bytes, and written into them.

// FORM1 and the fifteen note sections: what a file of ours holds, in the
// order a file rebuilt from nothing holds them.
inline constexpr size_t SectionCount = 1 + NoteSlots::Count;
const std::array<std::string_view, SectionCount> &SectionNames();
// Where a section's name stands in SectionNames(), letter case aside.
std::optional<size_t> SectionIndex(std::string_view section);

struct DecodedSection
{
    NoteSettings record; // every key found, defaults for the others
    bool whole = false;  // all the keys were found
    bool present = false; // the section is there at all
    Sync::Stamp stamp;
};

// The first section named `section` in `content`.
DecodedSection ReadSectionText(std::string_view content, std::string_view section);

// Where each of our sections lies in `content`, by SectionNames()' order,
// found in one pass: a long file is then read section by section without
// being searched again for each.
using SectionBodies = std::array<std::optional<ProfileFile::Body>, SectionCount>;
SectionBodies FindOurSections(std::string_view content);
// The section whose body FindOurSections gave (none: a missing section).
DecodedSection ReadSectionBody(std::string_view content, const std::optional<ProfileFile::Body> &body);
// Its stamp alone, without decoding its text.
Sync::Stamp ReadStamp(std::string_view content, const std::optional<ProfileFile::Body> &body);

// `content` with all 13 keys of `record` and, unless it is empty, `stamp`
// written into `section`: existing keys in place, missing ones at the end of
// the section, a missing section at the end of the file.
std::string WithSection(std::string_view content, std::string_view section, const NoteSettings &record,
                        const Sync::Stamp &stamp = {});

// The section alone, as a file that held nothing else would hold it.
std::string SectionText(std::string_view section, const NoteSettings &record, const Sync::Stamp &stamp = {});
