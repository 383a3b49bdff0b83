#pragma once

#include <QString>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

// A profile (INI) file on bytes, with the reading and writing rules that
// existing nopi.ini files rely on:
// - section and key names match without regard to ASCII letter case; blanks
//   (space, tab) around keys, values and inside a header's brackets are ignored;
// - a header is a line starting with "[" whose name runs to the last "]";
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

// `content` with the assignments written into `section`, in their order.
std::string withValues(std::string_view content, std::string_view section,
                       std::span<const Assignment> assignments);

// The leading signed decimal number of a value, saturated to 32 bits; an
// absent or empty value gives `fallback`, one without digits gives 0.
int toInt(Value value, int fallback);

// The number in the text form the file has always used: " 12", "-300".
std::string fromInt(int number);

// Whole-file access. A file larger than any real settings file is treated as
// unreadable rather than loaded, and then refused by the writer too, so a
// hostile file neither exhausts memory nor gets cut short.
constexpr size_t MaxFileSize = 16 * 1024 * 1024;

enum class ReadResult { Ok, Missing, Failed };
ReadResult readFile(const std::string &path, std::string &content);

// One atomic replace: a temporary file beside the target, flushed to disk and
// renamed over it, so a crash leaves the old file or the new one, never a mix.
// A symbolic link is followed and stays a link. On failure the old file is
// untouched and `error` says why.
bool replaceFile(const std::string &path, std::string_view content, QString *error);

// Deletes the temporary files replaceFile leaves when the process dies between
// creating one and renaming it. Only while no other process writes the file.
void removeStaleTemporaries(const std::string &path);

}
