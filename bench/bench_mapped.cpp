// SPDX-License-Identifier: MIT
// Start-up time as a user sees it: starts a program and prints the
// milliseconds from its exec to the moment N of its top-level windows are
// viewable, told by X events alone (no polling of the window tree).
//
//   bench_mapped [--count N] [--class NAME] [--timeout SECONDS] [--cpu-after SECONDS] [--stay]
//                -- PROGRAM ARGS...
//
// Prints "MS PID" on stdout. With --cpu-after it then waits that long from
// the moment the windows were shown and prints a second line, "AT_SHOWN
// AFTER": the CPU time in ms the program had used when its windows were
// shown, and when the wait was over, both counted from its exec (the time
// the scheduler gave each of its threads, /proc/PID/task/*/schedstat; a
// thread that ended is no longer counted). Without --stay the program is
// then ended (SIGTERM, SIGKILL after 5 s); with --stay this tool waits for
// it to end, passing on SIGTERM, SIGINT and SIGHUP, so a script can keep
// measuring the running program. The program's own output goes to stderr.
// Exit status 1 when the windows do not appear in time or the program ends
// first.
//
// A window counts when its WM_CLASS class (or instance) is NAME, it is not
// override-redirect (menus, tool tips) and it and every ancestor are mapped.
// A window manager reparents top-level windows into frames and maps the frame
// after the client, so whether a window is viewable is asked of the server at
// every map of a window created during the run: its own, inside a frame, or
// the frame's.

#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Options
{
    int count = 16;
    std::string className = "nopi";
    double timeoutSeconds = 60;
    bool stay = false;
    double cpuAfterSeconds = 0;
    char **program = nullptr;
};

// A window created while the program starts: a client window of it (or of
// anyone else), or a frame the window manager made.
struct Window
{
    xcb_window_t id;
    bool isFrame = false;
    int classMatches = -1; // unknown until the window has a WM_CLASS
};

pid_t g_child = 0;

double nowMs()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

void usage(const char *self)
{
    fprintf(stderr, "usage: %s [--count N] [--class NAME] [--timeout SECONDS] [--cpu-after SECONDS] [--stay]"
                    " -- PROGRAM ARGS...\n", self);
    exit(2);
}

Options parse(int argc, char *argv[])
{
    Options options;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--")
            break;
        if (arg == "--stay")
            options.stay = true;
        else if (arg == "--count" && i + 1 < argc)
            options.count = atoi(argv[++i]);
        else if (arg == "--class" && i + 1 < argc)
            options.className = argv[++i];
        else if (arg == "--timeout" && i + 1 < argc)
            options.timeoutSeconds = atof(argv[++i]);
        else if (arg == "--cpu-after" && i + 1 < argc)
            options.cpuAfterSeconds = atof(argv[++i]);
        else
            usage(argv[0]);
    }
    if (i + 1 >= argc || options.count < 1 || options.timeoutSeconds <= 0 || options.cpuAfterSeconds < 0)
        usage(argv[0]);
    options.program = argv + i + 1;
    return options;
}

// WM_CLASS is "instance\0class\0".
bool classMatches(const xcb_get_property_reply_t *reply, const std::string &name, bool *known)
{
    *known = reply && reply->type == XCB_ATOM_STRING && xcb_get_property_value_length(reply) > 0;
    if (!*known)
        return false;
    const char *value = static_cast<const char *>(xcb_get_property_value(reply));
    const std::string text(value, size_t(xcb_get_property_value_length(reply)));
    const size_t end = text.find('\0');
    const std::string instance = text.substr(0, end);
    const std::string windowClass = end == std::string::npos ? std::string() : text.substr(end + 1, text.find('\0', end + 1) - end - 1);
    return instance == name || windowClass == name;
}

// Asks the server how many of the program's windows are viewable now: a
// window unmapped again or destroyed no longer counts. Requests go out
// together, so this is about one round trip.
int recount(xcb_connection_t *connection, std::vector<Window> &windows, const std::string &name)
{
    std::vector<xcb_get_property_cookie_t> classCookies(windows.size());
    for (size_t i = 0; i < windows.size(); ++i) {
        if (!windows[i].isFrame && windows[i].classMatches < 0)
            classCookies[i] = xcb_get_property(connection, 0, windows[i].id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256);
    }
    for (size_t i = 0; i < windows.size(); ++i) {
        if (windows[i].isFrame || windows[i].classMatches >= 0)
            continue;
        xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, classCookies[i], nullptr);
        bool known = false;
        const bool matches = classMatches(reply, name, &known);
        if (known)
            windows[i].classMatches = matches ? 1 : 0;
        free(reply);
    }
    std::vector<xcb_get_window_attributes_cookie_t> cookies(windows.size());
    for (size_t i = 0; i < windows.size(); ++i) {
        if (windows[i].classMatches == 1)
            cookies[i] = xcb_get_window_attributes(connection, windows[i].id);
    }
    int viewable = 0;
    for (size_t i = 0; i < windows.size(); ++i) {
        if (windows[i].classMatches != 1)
            continue;
        xcb_get_window_attributes_reply_t *reply = xcb_get_window_attributes_reply(connection, cookies[i], nullptr);
        if (reply && !reply->override_redirect && reply->map_state == XCB_MAP_STATE_VIEWABLE)
            ++viewable;
        free(reply);
    }
    return viewable;
}

Window *find(std::vector<Window> &windows, xcb_window_t id)
{
    const auto it = std::find_if(windows.begin(), windows.end(), [id](const Window &w) { return w.id == id; });
    return it == windows.end() ? nullptr : &*it;
}

// Its own maps and reparenting, and maps of whatever a window manager puts
// inside it.
void watch(xcb_connection_t *connection, xcb_window_t window)
{
    const uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &events);
}

// The CPU time the scheduler has given the process's threads so far, in ms.
double cpuMs(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = opendir(tasks.c_str());
    if (!dir)
        return -1;
    double ns = 0;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string path = tasks + "/" + entry->d_name + "/schedstat";
        if (FILE *file = fopen(path.c_str(), "r")) {
            unsigned long long run = 0;
            if (fscanf(file, "%llu", &run) == 1)
                ns += double(run);
            fclose(file);
        }
    }
    closedir(dir);
    return ns / 1e6;
}

// Sleeps until `until` (nowMs), through signals.
void sleepUntil(double until)
{
    for (double left = until - nowMs(); left > 0; left = until - nowMs()) {
        const timespec pause = {time_t(left / 1000), long(fmod(left, 1000) * 1e6)};
        nanosleep(&pause, nullptr);
    }
}

pid_t launch(char **program)
{
    // exec's failure comes back through a pipe that a successful exec closes.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        execvp(program[0], program);
        const int error = errno;
        ssize_t written = write(report[1], &error, sizeof error);
        (void)written;
        _exit(127);
    }
    close(report[1]);
    int error = 0;
    const ssize_t got = pid > 0 ? read(report[0], &error, sizeof error) : 0;
    close(report[0]);
    if (got == ssize_t(sizeof error)) {
        fprintf(stderr, "bench_mapped: cannot run %s: %s\n", program[0], strerror(error));
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

void endChild(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        usleep(50000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

void passOn(int signal)
{
    if (g_child > 0)
        kill(g_child, signal);
}

// A signal meant for the measurement ends the program; this tool then
// notices it has ended and follows.
void passSignalsOn()
{
    struct sigaction action = {};
    action.sa_handler = passOn;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

int stayWithChild(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return 0;
}

bool childEnded(pid_t pid, int *status)
{
    return waitpid(pid, status, WNOHANG) == pid;
}

}

int main(int argc, char *argv[])
{
    const Options options = parse(argc, argv);
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        fprintf(stderr, "bench_mapped: no display\n");
        return 1;
    }
    const int fd = xcb_get_file_descriptor(connection);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const uint32_t rootEvents = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_void_cookie_t selected = xcb_change_window_attributes_checked(connection, root, XCB_CW_EVENT_MASK, &rootEvents);
    if (xcb_generic_error_t *error = xcb_request_check(connection, selected)) {
        fprintf(stderr, "bench_mapped: cannot watch the root window (error %d)\n", error->error_code);
        free(error);
        return 1;
    }

    const double start = nowMs();
    const pid_t pid = launch(options.program);
    if (pid < 0)
        return 1;
    g_child = pid;
    passSignalsOn();

    std::vector<Window> windows;
    const double deadline = start + options.timeoutSeconds * 1000.0;
    int counted = 0;
    double doneAt = 0;
    bool late = false;
    while (counted < options.count) {
        int status = 0;
        if (childEnded(pid, &status)) {
            fprintf(stderr, "bench_mapped: %s ended (status %d) with %d of %d windows shown\n", options.program[0],
                    WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), counted, options.count);
            return 1;
        }
        const double now = nowMs();
        if (now >= deadline) {
            fprintf(stderr, "bench_mapped: only %d of %d windows of class %s shown after %.0f s\n", counted,
                    options.count, options.className.c_str(), options.timeoutSeconds);
            endChild(pid);
            return 1;
        }
        // The wait wakes for X events; the limit only notices a program that
        // died or never shows enough windows, and a map whose event came
        // before its window was watched (then the figure is late, and said so).
        pollfd waitFor = {fd, POLLIN, 0};
        const int ready = poll(&waitFor, 1, int(std::min(250.0, deadline - now)) + 1);
        if (ready == 0) {
            counted = recount(connection, windows, options.className);
            if (counted >= options.count) {
                late = true;
                doneAt = nowMs();
            }
            continue;
        }
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const double at = nowMs();
            switch (event->response_type & 0x7f) {
            case XCB_CREATE_NOTIFY: {
                const auto *created = reinterpret_cast<xcb_create_notify_event_t *>(event);
                if (created->parent == root && !find(windows, created->window)) {
                    windows.push_back({created->window});
                    watch(connection, created->window);
                }
                break;
            }
            case XCB_DESTROY_NOTIFY: {
                const auto *destroyed = reinterpret_cast<xcb_destroy_notify_event_t *>(event);
                std::erase_if(windows, [destroyed](const Window &w) { return w.id == destroyed->window; });
                break;
            }
            case XCB_REPARENT_NOTIFY: {
                const auto *reparented = reinterpret_cast<xcb_reparent_notify_event_t *>(event);
                if (Window *frame = find(windows, reparented->parent))
                    frame->isFrame = true;
                break;
            }
            case XCB_MAP_NOTIFY: {
                if (counted >= options.count)
                    break;
                counted = recount(connection, windows, options.className);
                if (counted >= options.count)
                    doneAt = at;
                break;
            }
            default:
                break;
            }
            free(event);
        }
        if (xcb_connection_has_error(connection)) {
            fprintf(stderr, "bench_mapped: lost the display\n");
            endChild(pid);
            return 1;
        }
    }
    const double atShown = options.cpuAfterSeconds > 0 ? cpuMs(pid) : 0;
    xcb_disconnect(connection);
    if (late)
        fprintf(stderr, "bench_mapped: the last window was found by a check after a quiet spell, not by its event\n");
    printf("%.1f %d\n", doneAt - start, int(pid));
    fflush(stdout);
    if (options.cpuAfterSeconds > 0) {
        sleepUntil(doneAt + options.cpuAfterSeconds * 1000.0);
        int status = 0;
        if (atShown < 0 || childEnded(pid, &status)) {
            fprintf(stderr, "bench_mapped: %s ended before its CPU time was read\n", options.program[0]);
            return 1;
        }
        printf("%.1f %.1f\n", atShown, cpuMs(pid));
        fflush(stdout);
    }
    if (options.stay)
        return stayWithChild(pid);
    endChild(pid);
    return 0;
}
