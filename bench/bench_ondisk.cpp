// SPDX-License-Identifier: MIT
// How soon a change a user makes reaches the disk: runs a command (a drag
// with xdotool) and prints the milliseconds from its end to the moment a file
// in DIR whose name matches PATTERN holds every LINE in one section, told by
// inotify (no polling of the file).
//
//   bench_ondisk [--timeout SECONDS] DIR PATTERN LINE... -- COMMAND ARGS...
//
// Lines are compared with blanks and the CR of a line end ignored, so
// "POJIX=4815" matches "POJIX= 4815" and "x 590" matches "x590". A section
// starts at a line that begins with "["; a file without one is one section.
// Exit status 1 when the lines are there before the command (nothing would be
// measured), when the command fails, or when they do not come in time.

#include <sys/inotify.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fnmatch.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Options
{
    double timeoutSeconds = 10;
    std::string directory;
    std::string pattern;
    std::vector<std::string> lines;
    char **command = nullptr;
};

double nowMs()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

std::string withoutBlanks(const std::string &line)
{
    std::string result;
    for (const char c : line) {
        if (c != ' ' && c != '\t' && c != '\r')
            result += c;
    }
    return result;
}

void usage(const char *self)
{
    fprintf(stderr, "usage: %s [--timeout SECONDS] DIR PATTERN LINE... -- COMMAND ARGS...\n", self);
    exit(2);
}

Options parse(int argc, char *argv[])
{
    Options options;
    int i = 1;
    if (i + 1 < argc && strcmp(argv[i], "--timeout") == 0) {
        options.timeoutSeconds = atof(argv[i + 1]);
        i += 2;
    }
    std::vector<std::string> words;
    for (; i < argc && strcmp(argv[i], "--") != 0; ++i)
        words.push_back(argv[i]);
    if (words.size() < 3 || i + 1 >= argc || options.timeoutSeconds <= 0)
        usage(argv[0]);
    options.directory = words[0];
    options.pattern = words[1];
    for (size_t w = 2; w < words.size(); ++w)
        options.lines.push_back(withoutBlanks(words[w]));
    options.command = argv + i + 1;
    return options;
}

bool sectionHoldsAll(const std::vector<std::string> &section, const std::vector<std::string> &wanted)
{
    for (const std::string &line : wanted) {
        bool found = false;
        for (const std::string &have : section)
            found = found || have == line;
        if (!found)
            return false;
    }
    return true;
}

bool fileHolds(const std::string &path, const std::vector<std::string> &wanted)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::vector<std::string> section;
    std::string line;
    while (std::getline(file, line)) {
        line = withoutBlanks(line);
        if (!line.empty() && line[0] == '[') {
            if (sectionHoldsAll(section, wanted))
                return true;
            section.clear();
        }
        section.push_back(line);
    }
    return sectionHoldsAll(section, wanted);
}

bool anyFileHolds(const Options &options)
{
    DIR *directory = opendir(options.directory.c_str());
    if (!directory)
        return false;
    bool holds = false;
    while (dirent *entry = readdir(directory)) {
        if (fnmatch(options.pattern.c_str(), entry->d_name, 0) == 0
                && fileHolds(options.directory + "/" + entry->d_name, options.lines)) {
            holds = true;
            break;
        }
    }
    closedir(directory);
    return holds;
}

// Runs the command to its end; false when it could not run or failed.
bool run(char **command)
{
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(command[0], command);
        fprintf(stderr, "bench_ondisk: cannot run %s: %s\n", command[0], strerror(errno));
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}

int main(int argc, char *argv[])
{
    const Options options = parse(argc, argv);
    const int watcher = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    // A save by rename shows as IN_MOVED_TO, one in place as IN_CLOSE_WRITE
    // or, while the file is still open, IN_MODIFY.
    if (watcher < 0
            || inotify_add_watch(watcher, options.directory.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_MODIFY) < 0) {
        fprintf(stderr, "bench_ondisk: cannot watch %s: %s\n", options.directory.c_str(), strerror(errno));
        return 1;
    }
    if (anyFileHolds(options)) {
        fprintf(stderr, "bench_ondisk: %s already holds the lines before the command\n", options.directory.c_str());
        return 1;
    }
    if (!run(options.command)) {
        fprintf(stderr, "bench_ondisk: %s failed\n", options.command[0]);
        return 1;
    }
    const double start = nowMs();
    // Whatever came while the command ran is drained first: the file may
    // already hold the lines, written before the command's last step ended.
    alignas(inotify_event) char buffer[8192];
    while (read(watcher, buffer, sizeof buffer) > 0) {
    }
    if (anyFileHolds(options)) {
        printf("0.0\n");
        return 0;
    }
    const double deadline = start + options.timeoutSeconds * 1000.0;
    while (nowMs() < deadline) {
        pollfd waitFor = {watcher, POLLIN, 0};
        if (poll(&waitFor, 1, int(deadline - nowMs()) + 1) <= 0)
            continue;
        const double at = nowMs();
        const ssize_t length = read(watcher, buffer, sizeof buffer);
        bool relevant = false;
        for (ssize_t offset = 0; offset < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
            relevant = relevant || (event->len > 0 && fnmatch(options.pattern.c_str(), event->name, 0) == 0);
            offset += ssize_t(sizeof(inotify_event) + event->len);
        }
        if (relevant && anyFileHolds(options)) {
            printf("%.1f\n", at - start);
            return 0;
        }
    }
    fprintf(stderr, "bench_ondisk: the lines did not reach %s/%s within %.0f s\n", options.directory.c_str(),
            options.pattern.c_str(), options.timeoutSeconds);
    return 1;
}
