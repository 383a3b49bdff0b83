// SPDX-License-Identifier: MIT
#include "store/FileAccess.h"

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileAccess::ReadResult failed(FileAccess::Problem *problem, FileAccess::Problem::Cause cause, int error)
{
    if (problem)
        *problem = {cause, error};
    return FileAccess::ReadResult::Failed;
}

FileAccess::ReadResult checkReadableKind(const struct stat &info, FileAccess::Problem *problem)
{
    if (!S_ISREG(info.st_mode))
        return failed(problem, FileAccess::Problem::NotRegularFile, 0);
    if (size_t(info.st_size) > FileAccess::MaxFileSize)
        return failed(problem, FileAccess::Problem::TooLarge, 0);
    return FileAccess::ReadResult::Ok;
}

FileAccess::ReadResult openFailed(int error, FileAccess::Problem *problem)
{
    if (error == ENOENT || error == ENOTDIR)
        return FileAccess::ReadResult::Missing;
    return failed(problem, FileAccess::Problem::CannotRead, error);
}

// Opening a FIFO or a terminal can block or take it over, so whatever is not a
// regular file is refused before it is opened, and O_NONBLOCK covers one
// swapped in between the check and the open.
int openForReading(const std::string &path, struct stat &info, FileAccess::ReadResult &result,
                   FileAccess::Problem *problem)
{
    if (stat(path.c_str(), &info) != 0) {
        result = openFailed(errno, problem);
        return -1;
    }
    if ((result = checkReadableKind(info, problem)) != FileAccess::ReadResult::Ok)
        return -1;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        result = openFailed(errno, problem);
        return -1;
    }
    if (fstat(fd, &info) != 0)
        result = failed(problem, FileAccess::Problem::CannotRead, errno);
    else
        result = checkReadableKind(info, problem);
    if (result != FileAccess::ReadResult::Ok) {
        ::close(fd);
        return -1;
    }
    return fd;
}

FileAccess::FileStamp stampFrom(const struct stat &info)
{
    FileAccess::FileStamp stamp;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modified = std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    stamp.changed = std::int64_t(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
    return stamp;
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

namespace FileAccess {

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

std::string resolveLinks(std::string path)
{
    return linkChain(std::move(path)).back();
}

std::vector<std::string> linkChain(std::string path)
{
    std::vector<std::string> chain{path};
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            break;
        std::string target(size_t(PATH_MAX), '\0');
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length <= 0)
            break;
        target.resize(size_t(length));
        path = target.front() == '/' ? target : directoryOf(path) + '/' + target;
        chain.push_back(path);
    }
    return chain;
}

std::string directoryOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool touch(const std::string &path, const FileStamp &expected, std::string_view content, FileStamp *touched)
{
    std::string now;
    FileStamp stamp;
    if (readFile(path, now, nullptr, &stamp) != ReadResult::Ok || stamp.device != expected.device
        || stamp.inode != expected.inode || stamp.size != expected.size || now != content)
        return false;
    const std::string target = resolveLinks(path);
    if (utimensat(AT_FDCWD, target.c_str(), nullptr, 0) != 0)
        return false;
    struct stat info;
    if (touched)
        *touched = stat(target.c_str(), &info) == 0 ? stampFrom(info) : FileStamp();
    return true;
}

bool addWatch(int inotify, const std::string &path, std::uint32_t mask, std::vector<int> &wanted)
{
    if (inotify < 0)
        return false;
    const int watch = inotify_add_watch(inotify, path.c_str(), mask);
    if (watch < 0)
        return false;
    if (std::find(wanted.begin(), wanted.end(), watch) == wanted.end())
        wanted.push_back(watch);
    return true;
}

void readWatchEvents(int inotify, const std::function<void(std::uint32_t mask, std::string_view name)> &each)
{
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = read(inotify, buffer, sizeof buffer);
        if (length <= 0)
            return;
        for (ssize_t at = 0; at < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            // The kernel pads a name with NULs to a whole number of words.
            each(event->mask, event->len > 0 ? std::string_view(event->name) : std::string_view());
        }
    }
}

}
