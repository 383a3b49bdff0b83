// SPDX-License-Identifier: MIT
// A sync engine for tests, as Syncthing or Nextcloud keeps one file equal on
// two machines: when one of two files changes, 300 ms after its last change
// it is copied over the other by writing a temporary file in the other's
// folder and renaming it into place. Like a real engine it keeps the version
// both sides last agreed on: a file that still holds it has not changed (the
// engine's own rename shows as a change too), so what it has just written
// is never copied back, not even over a newer file on the other side.
//
// Usage: nopi_sync_engine FILE_A FILE_B. It runs until it is killed, and
// tells on stderr of every copy it makes.

#include <sys/inotify.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto Delay = std::chrono::milliseconds(300);

struct Side
{
    std::string path;
    std::string folder;
    std::string name;
    int watch = -1;
    std::optional<Clock::time_point> due;
};

Side sideOf(const std::string &path)
{
    Side side;
    side.path = path;
    const size_t slash = path.rfind('/');
    side.folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    side.name = slash == std::string::npos ? path : path.substr(slash + 1);
    return side;
}

std::optional<std::string> readAll(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close(fd);
            if (n < 0)
                return std::nullopt;
            return content;
        }
        content.append(buffer, size_t(n));
    }
}

bool writeAll(int fd, const std::string &content)
{
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// Copies FROM over TO by rename when FROM holds a version both sides have
// not agreed on yet, unless TO holds the same bytes already.
void copyOver(const Side &from, const Side &to, std::optional<std::string> &agreed)
{
    const std::optional<std::string> content = readAll(from.path);
    if (!content || content == agreed)
        return;
    if (readAll(to.path) == content) {
        agreed = content;
        return;
    }
    const std::string temporary = to.folder + "/.syncthing." + to.name + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        fprintf(stderr, "sync-engine: cannot create %s: %s\n", temporary.c_str(), strerror(errno));
        return;
    }
    const bool written = writeAll(fd, *content) && fsync(fd) == 0;
    close(fd);
    if (!written || rename(temporary.c_str(), to.path.c_str()) != 0) {
        fprintf(stderr, "sync-engine: cannot replace %s: %s\n", to.path.c_str(), strerror(errno));
        unlink(temporary.c_str());
        return;
    }
    agreed = content;
    fprintf(stderr, "sync-engine: %s -> %s (%zu bytes)\n", from.path.c_str(), to.path.c_str(), content->size());
}

// Marks the side whose file an event names as changed now.
void noteEvents(int inotify, Side sides[2])
{
    alignas(inotify_event) char buffer[8192];
    const ssize_t length = read(inotify, buffer, sizeof buffer);
    for (ssize_t offset = 0; offset < length;) {
        const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
        offset += ssize_t(sizeof(inotify_event) + event->len);
        if (event->len == 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (event->wd == sides[i].watch && sides[i].name == event->name)
                sides[i].due = Clock::now() + Delay;
        }
    }
}

}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s FILE_A FILE_B\n", argv[0]);
        return 2;
    }
    Side sides[2] = {sideOf(argv[1]), sideOf(argv[2])};
    const int inotify = inotify_init1(IN_CLOEXEC);
    if (inotify < 0) {
        perror("sync-engine: inotify_init1");
        return 1;
    }
    for (Side &side : sides) {
        side.watch = inotify_add_watch(inotify, side.folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE);
        if (side.watch < 0) {
            fprintf(stderr, "sync-engine: cannot watch %s: %s\n", side.folder.c_str(), strerror(errno));
            return 1;
        }
    }
    // Two files that start alike are in sync; two that differ wait for the
    // first change on either side.
    std::optional<std::string> agreed = readAll(sides[0].path);
    if (agreed != readAll(sides[1].path))
        agreed.reset();
    fprintf(stderr, "sync-engine: watching %s and %s\n", sides[0].path.c_str(), sides[1].path.c_str());

    for (;;) {
        int timeout = -1;
        const auto now = Clock::now();
        for (const Side &side : sides) {
            if (side.due) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(*side.due - now).count();
                const int wait = left < 0 ? 0 : int(left);
                timeout = timeout < 0 ? wait : std::min(timeout, wait);
            }
        }
        pollfd watch{inotify, POLLIN, 0};
        if (poll(&watch, 1, timeout) < 0 && errno != EINTR) {
            perror("sync-engine: poll");
            return 1;
        }
        if (watch.revents & POLLIN)
            noteEvents(inotify, sides);
        for (int i = 0; i < 2; ++i) {
            if (sides[i].due && *sides[i].due <= Clock::now()) {
                sides[i].due.reset();
                copyOver(sides[i], sides[1 - i], agreed);
            }
        }
    }
}
