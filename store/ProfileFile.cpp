// SPDX-License-Identifier: MIT
#include "store/ProfileFile.h"

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Line
{
    size_t begin;
    size_t end;  // one past the last byte before the line's terminator
    size_t next; // start of the following line
};

Line lineAt(std::string_view content, size_t begin)
{
    size_t end = begin;
    const size_t size = content.size();
    while (end < size && content[end] != '\n' && content[end] != '\r')
        ++end;
    size_t next = end;
    if (next < size) {
        if (content[next] == '\r' && next + 1 < size && content[next + 1] == '\n')
            next += 2;
        else
            next += 1;
    }
    return {begin, end, next};
}

// Older editors leave VT, FF and a Ctrl-Z end-of-file mark around values.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a';
}

// A CP932 lead byte takes the next byte with it, which may look like "]".
bool isLeadByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::string_view trimmed(std::string_view text)
{
    size_t first = 0;
    while (first < text.size() && isBlank(text[first]))
        ++first;
    size_t last = text.size();
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

char foldCase(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (foldCase(a[i]) != foldCase(b[i]))
            return false;
    }
    return true;
}

// A number written by hand as "1" or '1' is still a number.
std::string_view unquoted(std::string_view value)
{
    if (value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\''))
        return trimmed(value.substr(1, value.size() - 2));
    return value;
}

std::optional<std::string_view> headerName(std::string_view line)
{
    size_t pos = 0;
    while (pos < line.size() && isBlank(line[pos]))
        ++pos;
    if (pos == line.size() || line[pos] != '[')
        return std::nullopt;
    size_t close = std::string_view::npos;
    for (size_t i = pos + 1; i < line.size(); ++i) {
        if (isLeadByte(line[i]))
            ++i;
        else if (line[i] == ']')
            close = i;
    }
    if (close == std::string_view::npos)
        return std::nullopt;
    return trimmed(line.substr(pos + 1, close - pos - 1));
}

struct KeyLine
{
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> keyLine(std::string_view line)
{
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    std::string_view value = line.substr(equals + 1);
    const size_t nul = value.find('\0');
    if (nul != std::string_view::npos)
        value = value.substr(0, nul);
    return KeyLine{trimmed(line.substr(0, equals)), trimmed(value)};
}

// Where the first section of a name lies: its header line and the start of
// the next header (or the end of the file).
struct SectionSpan
{
    size_t bodyBegin;
    size_t end;
};

std::optional<SectionSpan> findSection(std::string_view content, std::string_view section)
{
    std::optional<SectionSpan> found;
    for (size_t pos = 0; pos < content.size();) {
        const Line line = lineAt(content, pos);
        if (const auto name = headerName(content.substr(line.begin, line.end - line.begin))) {
            if (found) {
                found->end = line.begin;
                return found;
            }
            if (sameName(*name, section))
                found = SectionSpan{line.next, content.size()};
        }
        pos = line.next;
    }
    return found;
}

bool endsWithLineBreak(std::string_view content, size_t end)
{
    return end == 0 || content[end - 1] == '\n' || content[end - 1] == '\r';
}

void appendLine(std::string &out, std::string_view key, std::string_view value)
{
    out.append(key);
    out += '=';
    out.append(value);
    out += "\r\n";
}

ProfileFile::ReadResult failed(ProfileFile::Problem *problem, ProfileFile::Problem::Cause cause, int error)
{
    if (problem)
        *problem = {cause, error};
    return ProfileFile::ReadResult::Failed;
}

ProfileFile::ReadResult checkReadableKind(const struct stat &info, ProfileFile::Problem *problem)
{
    if (!S_ISREG(info.st_mode))
        return failed(problem, ProfileFile::Problem::NotRegularFile, 0);
    if (size_t(info.st_size) > ProfileFile::MaxFileSize)
        return failed(problem, ProfileFile::Problem::TooLarge, 0);
    return ProfileFile::ReadResult::Ok;
}

ProfileFile::ReadResult openFailed(int error, ProfileFile::Problem *problem)
{
    if (error == ENOENT || error == ENOTDIR)
        return ProfileFile::ReadResult::Missing;
    return failed(problem, ProfileFile::Problem::CannotRead, error);
}

// Opening a FIFO or a terminal can block or take it over, so whatever is not a
// regular file is refused before it is opened, and O_NONBLOCK covers one
// swapped in between the check and the open.
int openForReading(const std::string &path, struct stat &info, ProfileFile::ReadResult &result,
                   ProfileFile::Problem *problem)
{
    if (stat(path.c_str(), &info) != 0) {
        result = openFailed(errno, problem);
        return -1;
    }
    if ((result = checkReadableKind(info, problem)) != ProfileFile::ReadResult::Ok)
        return -1;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        result = openFailed(errno, problem);
        return -1;
    }
    if (fstat(fd, &info) != 0)
        result = failed(problem, ProfileFile::Problem::CannotRead, errno);
    else
        result = checkReadableKind(info, problem);
    if (result != ProfileFile::ReadResult::Ok) {
        ::close(fd);
        return -1;
    }
    return fd;
}

ProfileFile::FileStamp stampFrom(const struct stat &info)
{
    ProfileFile::FileStamp stamp;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modified = std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    stamp.changed = std::int64_t(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
    return stamp;
}

std::string directoryOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links so that the replace lands on the real file and the
// link the user made stays a link.
std::string resolveLinks(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        std::string target(size_t(PATH_MAX), '\0');
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length <= 0)
            return path;
        target.resize(size_t(length));
        path = target.front() == '/' ? target : directoryOf(path) + '/' + target;
    }
    return path;
}

bool writeAll(int fd, std::string_view content)
{
    size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        written += size_t(n);
    }
    return true;
}

void syncDirectory(const std::string &directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}

namespace ProfileFile {

void readSection(std::string_view content, std::string_view section,
                 std::span<const std::string_view> keys, std::span<Value> values)
{
    for (Value &value : values)
        value.reset();
    const auto span = findSection(content, section);
    if (!span)
        return;
    size_t missing = keys.size();
    for (size_t pos = span->bodyBegin; pos < span->end && missing > 0;) {
        const Line line = lineAt(content, pos);
        pos = line.next;
        const auto entry = keyLine(content.substr(line.begin, line.end - line.begin));
        if (!entry)
            continue;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (!values[i] && sameName(entry->key, keys[i])) {
                values[i] = entry->value;
                --missing;
                break;
            }
        }
    }
}

std::string withValues(std::string_view content, std::string_view section,
                       std::span<const Assignment> assignments)
{
    std::string out;
    out.reserve(content.size() + 64 * assignments.size() + section.size() + 8);

    const auto span = findSection(content, section);
    if (!span) {
        out.append(content);
        if (!endsWithLineBreak(content, content.size()))
            out += "\r\n";
        out += '[';
        out.append(section);
        out += "]\r\n";
        for (const auto &[key, value] : assignments)
            appendLine(out, key, value);
        return out;
    }

    std::vector<bool> written(assignments.size(), false);
    size_t copied = 0;
    for (size_t pos = span->bodyBegin; pos < span->end;) {
        const Line line = lineAt(content, pos);
        pos = line.next;
        const auto entry = keyLine(content.substr(line.begin, line.end - line.begin));
        if (!entry)
            continue;
        for (size_t i = 0; i < assignments.size(); ++i) {
            if (!written[i] && sameName(entry->key, assignments[i].first)) {
                // The first key of a name is rewritten, keeping its spelling;
                // later duplicates are neither read nor written.
                out.append(content.substr(copied, line.begin - copied));
                appendLine(out, entry->key, assignments[i].second);
                copied = line.next;
                written[i] = true;
                break;
            }
        }
    }
    out.append(content.substr(copied, span->end - copied));
    bool first = true;
    for (size_t i = 0; i < assignments.size(); ++i) {
        if (written[i])
            continue;
        if (first && !endsWithLineBreak(out, out.size()))
            out += "\r\n";
        first = false;
        appendLine(out, assignments[i].first, assignments[i].second);
    }
    out.append(content.substr(span->end));
    return out;
}

int toInt(Value value, int fallback)
{
    if (!value)
        return fallback;
    const std::string_view text = unquoted(*value);
    if (text.empty())
        return fallback;
    size_t pos = 0;
    bool negative = false;
    if (text[pos] == '-' || text[pos] == '+') {
        negative = text[pos] == '-';
        ++pos;
    }
    long long number = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        number = number * 10 + (text[pos] - '0');
        if (number > 1LL + INT_MAX)
            number = 1LL + INT_MAX;
    }
    if (negative)
        number = -number;
    return int(std::clamp<long long>(number, INT_MIN, INT_MAX));
}

std::string fromInt(int number)
{
    return number < 0 ? std::to_string(number) : ' ' + std::to_string(number);
}

bool holdsAnySection(std::string_view content, std::span<const std::string_view> sections)
{
    for (size_t pos = 0; pos < content.size();) {
        const Line line = lineAt(content, pos);
        if (const auto name = headerName(content.substr(line.begin, line.end - line.begin))) {
            for (const std::string_view section : sections) {
                if (sameName(*name, section))
                    return true;
            }
        }
        pos = line.next;
    }
    return false;
}

ReadResult checkReadable(const std::string &path, Problem *problem)
{
    ReadResult result;
    struct stat info;
    const int fd = openForReading(path, info, result, problem);
    if (fd >= 0)
        ::close(fd);
    return result;
}

ReadResult stampOf(const std::string &path, FileStamp &stamp)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return openFailed(errno, nullptr);
    const ReadResult result = checkReadableKind(info, nullptr);
    if (result == ReadResult::Ok)
        stamp = stampFrom(info);
    return result;
}

bool stillValid(const FileStamp &stamp, std::int64_t readAt)
{
    // FAT keeps times to 2 s, ext3 and many network and FUSE file systems to 1 s.
    constexpr std::int64_t CoarsestStep = 2'000'000'000;
    return stamp.modified < readAt - CoarsestStep && stamp.changed < readAt - CoarsestStep;
}

std::int64_t wallClockNow()
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

ReadResult readFile(const std::string &path, std::string &content, Problem *problem, FileStamp *stamp)
{
    content.clear();
    ReadResult result;
    struct stat info;
    const int fd = openForReading(path, info, result, problem);
    if (fd < 0)
        return result;
    if (stamp)
        *stamp = stampFrom(info);
    content.resize(size_t(info.st_size));
    size_t filled = 0;
    for (;;) {
        if (filled == content.size()) {
            if (content.size() >= MaxFileSize) {
                ::close(fd);
                content.clear();
                return failed(problem, Problem::TooLarge, 0);
            }
            // The file grew since fstat: keep reading.
            content.resize(std::min(MaxFileSize, content.size() + 4096));
        }
        const ssize_t n = ::read(fd, content.data() + filled, content.size() - filled);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            content.clear();
            return failed(problem, Problem::CannotRead, error);
        }
        if (n == 0)
            break;
        filled += size_t(n);
    }
    ::close(fd);
    content.resize(filled);
    return ReadResult::Ok;
}

bool replaceFile(const std::string &path, std::string_view content, Problem *problem, FileStamp *written)
{
    const std::string target = resolveLinks(path);
    const std::string directory = directoryOf(target);
    if (!QDir().mkpath(QString::fromLocal8Bit(directory.c_str()))) {
        *problem = {Problem::CannotCreateFolder, 0};
        return false;
    }

    mode_t mode = S_IRUSR | S_IWUSR; // notes are private
    struct stat info;
    if (stat(target.c_str(), &info) == 0) {
        // A read-only file stays as it is, even for a user (root) whom the
        // permissions would not stop.
        if (!S_ISREG(info.st_mode)) {
            *problem = {Problem::NotRegularFile, 0};
            return false;
        }
        if (access(target.c_str(), W_OK) != 0) {
            *problem = {Problem::ReadOnlyFile, errno};
            return false;
        }
        if ((info.st_mode & 0222) == 0) {
            *problem = {Problem::ReadOnlyFile, EACCES};
            return false;
        }
        mode = info.st_mode & 07777;
    }

    const size_t slash = target.rfind('/');
    std::string temporary = directory + "/." + target.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        *problem = {Problem::CannotWriteFolder, errno};
        return false;
    }
    Problem failure{Problem::None, 0};
    if (fchmod(fd, mode) != 0 || !writeAll(fd, content) || fsync(fd) != 0)
        failure = {Problem::CannotWrite, errno};
    // The rename changes the file's times, and by then another writer may
    // have put its own file at the path: the new version is read from a
    // descriptor that stays on ours.
    const int kept = written && failure.cause == Problem::None ? ::dup(fd) : -1;
    if (::close(fd) != 0 && failure.cause == Problem::None)
        failure = {Problem::CannotWrite, errno};
    if (failure.cause == Problem::None && std::rename(temporary.c_str(), target.c_str()) != 0)
        failure = {Problem::CannotWriteFolder, errno};
    if (failure.cause != Problem::None) {
        if (kept >= 0)
            ::close(kept);
        ::unlink(temporary.c_str());
        *problem = failure;
        return false;
    }
    if (written) {
        struct stat info;
        // Unknown, the version matches no file and the next read takes the file afresh.
        *written = kept >= 0 && fstat(kept, &info) == 0 ? stampFrom(info) : FileStamp();
        if (kept >= 0)
            ::close(kept);
    }
    syncDirectory(directory);
    return true;
}

std::string keepCopy(const std::string &path, std::string_view content, Problem *problem)
{
    char stamp[32];
    const time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    strftime(stamp, sizeof stamp, ".damaged-%Y%m%d-%H%M%S", &local);
    const std::string base = resolveLinks(path) + stamp;

    for (int n = 0; n < 1000; ++n) {
        const std::string name = n == 0 ? base : base + '-' + std::to_string(n);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            *problem = {Problem::CannotKeepCopy, errno};
            return std::string();
        }
        // Flushed before the damaged file is replaced, so a crash cannot
        // lose both.
        int error = 0;
        if (!writeAll(fd, content) || fsync(fd) != 0)
            error = errno;
        if (::close(fd) != 0 && error == 0)
            error = errno;
        if (error != 0) {
            ::unlink(name.c_str());
            *problem = {Problem::CannotKeepCopy, error};
            return std::string();
        }
        return name;
    }
    *problem = {Problem::CannotKeepCopy, EEXIST};
    return std::string();
}

void removeStaleTemporaries(const std::string &path)
{
    const std::string target = resolveLinks(path);
    const size_t slash = target.rfind('/');
    // The name replaceFile gives them: "." + the file's name + "." + mkostemp's six characters.
    const std::string prefix = "." + target.substr(slash == std::string::npos ? 0 : slash + 1) + ".";
    DIR *directory = opendir(directoryOf(target).c_str());
    if (!directory)
        return;
    while (const dirent *entry = readdir(directory)) {
        const std::string_view name = entry->d_name;
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix))
            unlinkat(dirfd(directory), entry->d_name, 0);
    }
    closedir(directory);
}

}
