// SPDX-License-Identifier: MIT
#pragma once

#include "store/NoteSettings.h"

#include <string>
#include <string_view>

// One section of nopi.ini as text: its 13 keys read from the file's bytes,
// and written into them.

struct DecodedSection
{
    NoteSettings record; // every key found, defaults for the others
    bool whole = false;  // all the keys were found
};

// The first section named `section` in `content`.
DecodedSection ReadSectionText(std::string_view content, std::string_view section);

// `content` with all 13 keys of `record` written into `section`: existing
// keys in place, missing ones at the end of the section, a missing section
// at the end of the file.
std::string WithSection(std::string_view content, std::string_view section, const NoteSettings &record);

// The section alone, as a file that held nothing else would hold it.
std::string SectionText(std::string_view section, const NoteSettings &record);
