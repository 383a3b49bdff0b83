// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The settings file as a whole on disk: reading it without ever blocking on
// what stands at its path, telling one version of it from another, and
// replacing it in one atomic step.
namespace FileAccess {

// A file larger than any real settings file is treated as unreadable
// rather than loaded, and then refused by the writer too, so a hostile file
// neither exhausts memory nor gets cut short.
constexpr size_t MaxFileSize = 16 * 1024 * 1024;

// Why reading or writing failed: the cause, and the errno behind it (0 when
// there is none).
struct Problem
{
    enum Cause {
        None,
        NotRegularFile,     // a directory, FIFO, device ... stands at the path
        TooLarge,           // over MaxFileSize
        CannotRead,         // opening or reading refused
        ReadOnlyFile,
        CannotCreateFolder,
        CannotWriteFolder,  // no temporary file beside it, or the rename refused
        CannotWrite,        // writing or flushing the new contents
        CannotKeepCopy,     // the copy of a damaged file
    };
    Cause cause = None;
    int error = 0;
};

// One version of a file as stat() tells it: another inode, size or time is
// another version. Times are nanoseconds since the epoch.
struct FileStamp
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    bool operator==(const FileStamp &) const = default;
};

// Never blocks, whatever the path holds: anything but a regular file is
// Failed without being opened. `stamp` gets the version that was read,
// taken before the bytes, so a change while reading shows as another one.
enum class ReadResult { Ok, Missing, Failed };
ReadResult readFile(const std::string &path, std::string &content, Problem *problem = nullptr,
                    FileStamp *stamp = nullptr);
// Whether readFile would succeed, without reading.
ReadResult checkReadable(const std::string &path, Problem *problem);
// The present version at the path, from one stat(), without opening it; Ok
// only where readFile could read.
ReadResult stampOf(const std::string &path, FileStamp &stamp);

// Whether bytes read at `readAt` (nanoseconds since the epoch, this
// machine's clock) still stand for a file that has kept `stamp` since. Not
// when a time of the file lies within the coarsest timestamp step (2 s) of
// the reading, or after it: a write in the same step as the one before
// leaves the same times behind, so only reading again tells.
bool stillValid(const FileStamp &stamp, std::int64_t readAt);
// The wall-clock time in nanoseconds since the epoch, as file times count it.
std::int64_t wallClockNow();

// One atomic replace: a temporary file beside the target, flushed to disk and
// renamed over it, so a crash leaves the old file or the new one, never a mix.
// A symbolic link is followed and stays a link. On failure the old file is
// untouched and `problem` says why.
// `written` gets the new file's version as it stands after the rename.
bool replaceFile(const std::string &path, std::string_view content, Problem *problem,
                 FileStamp *written = nullptr);

// Writes `content`, flushed, to a new owner-only file beside the (link-resolved)
// file: its name + ".damaged-YYYYMMDD-HHMMSS" in local time, with "-1", "-2" ...
// when that name is taken. Returns the name, or empty with `problem` set.
std::string keepCopy(const std::string &path, std::string_view content, Problem *problem);

// Deletes the temporary files replaceFile leaves when the process dies between
// creating one and renaming it. Only while no other process writes the file.
void removeStaleTemporaries(const std::string &path);

// The path with every symbolic link along its last component followed: where
// a replace lands, so that the link the user made stays a link.
std::string resolveLinks(std::string path);
// The path and every path its links lead to, in order: the last one is no
// link (or does not exist).
std::vector<std::string> linkChain(std::string path);
// The folder part of a path: "." for a bare name, "/" for the root's files.
std::string directoryOf(const std::string &path);
// The name part of a path: what follows its last "/".
std::string nameOf(const std::string &path);

// Sets the file's modification time to now, if it is still the version
// `expected` (device, inode and size) holding exactly `content`. `touched`
// gets the version afterwards. False when it is another file by now.
bool touch(const std::string &path, const FileStamp &expected, std::string_view content, FileStamp *touched);

// Watches `path` on the inotify descriptor `inotify`, noting the watch in
// `wanted` once (a path watched twice gives the same watch). False when the
// path cannot be watched.
bool addWatch(int inotify, const std::string &path, std::uint32_t mask, std::vector<int> &wanted);
// Hands every event waiting on the non-blocking inotify descriptor to `each`:
// its mask, and the name in the watched folder (empty for the watched file
// itself).
void readWatchEvents(int inotify, const std::function<void(std::uint32_t mask, std::string_view name)> &each);

}
