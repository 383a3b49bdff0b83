// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A profile (INI) file on bytes, with the reading and writing rules that
// existing nopi.ini files rely on:
// - section and key names match without regard to ASCII letter case; blanks
//   (space, tab, VT, FF, Ctrl-Z) around keys, values and inside a header's
//   brackets are ignored;
// - a header is a line starting with "[" whose name runs to the last "]" that
//   is not the second byte of a CP932 double-byte character;
//   a key line is split at its first "="; a NUL byte ends a value;
// - CR LF, LF and a lone CR each end a line;
// - the first section of a name counts, and within it the first key of a name;
// - the writer rewrites an existing key in place, appends a new key at the end
//   of its section and a new section at the end of the file, and keeps every
//   other byte as it was.
namespace ProfileFile {

using Value = std::optional<std::string_view>;
using Assignment = std::pair<std::string_view, std::string_view>;

// The values of `keys` in the first section named `section`; a key that is
// absent stays std::nullopt. The views point into `content`.
void readSection(std::string_view content, std::string_view section,
                 std::span<const std::string_view> keys, std::span<Value> values);

// Where a section's lines lie: from the line after its header to the next
// header (or the end).
struct Body
{
    size_t begin = 0;
    size_t end = 0;
};
// The body of the first section of each of `sections`, found in one pass
// over `content`; none where a section is missing.
std::vector<std::optional<Body>> findSections(std::string_view content, std::span<const std::string_view> sections);
// readSection within a body findSections gave.
void readBody(std::string_view content, Body body, std::span<const std::string_view> keys, std::span<Value> values);

// `content` with the assignments written into `section`, in their order.
std::string withValues(std::string_view content, std::string_view section,
                       std::span<const Assignment> assignments);

// The leading signed decimal number of a value, saturated to 32 bits, inside
// one pair of enclosing quotes if it has them; an absent or empty value gives
// `fallback`, one without digits gives 0.
int toInt(Value value, int fallback);

// The number in the text form the file has always used: " 12", "-300".
std::string fromInt(int number);

// Whether any header in `content` names one of `sections`.
bool holdsAnySection(std::string_view content, std::span<const std::string_view> sections);

// What `content` holds besides the `keys` of the first section of each of
// the `sections`: the lines before the first header, the other lines of those
// sections (blank lines aside), and every other section, a later one of the
// same name too. Each is one block of whole lines ending in CR LF.
struct Extras
{
    std::string preamble;
    std::vector<std::pair<size_t, std::string>> sectionLines; // by index in `sections`
    std::vector<std::string> otherSections;
};
Extras extras(std::string_view content, std::span<const std::string_view> sections,
              std::span<const std::string_view> keys);

}
