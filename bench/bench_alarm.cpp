// SPDX-License-Identifier: MIT
// How close to its second 00 an alarm reaches the user: waits for a note's
// alarm due at DUE (seconds since the epoch, a minute's second 00 on the
// wall clock) and prints the milliseconds from that moment to
//   - the note kept above the others: _NET_WM_STATE_ABOVE in the window's
//     _NET_WM_STATE, told by a PropertyNotify event;
//   - the settings file holding ALARM=2 in the note's section, told by inotify
//     on its folder (no polling of the file).
//
//   bench_alarm [--timeout SECONDS] DUE FILE SECTION WINDOW
//
// Prints "ON_TOP FILE" in milliseconds, negative when early. Exit status 1
// when the note rings already at the start, or not before the timeout
// (counted from DUE).

#include "XcbAtoms.h"

#include <xcb/xcb.h>

#include <sys/inotify.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

double wallClockMs()
{
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

// Whether the section's ALARM is 2, blanks and the CR of a line end ignored.
bool rings(const std::string &path, const std::string &section)
{
    std::ifstream file(path, std::ios::binary);
    std::string line;
    bool inside = false;
    while (std::getline(file, line)) {
        line.erase(std::remove_if(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r'; }),
                   line.end());
        if (!line.empty() && line[0] == '[')
            inside = line == "[" + section + "]";
        else if (inside && line.rfind("ALARM=", 0) == 0)
            return line == "ALARM=2";
    }
    return false;
}

}

int main(int argc, char *argv[])
{
    double timeoutSeconds = 120;
    int first = 1;
    if (argc > 2 && strcmp(argv[1], "--timeout") == 0) {
        timeoutSeconds = atof(argv[2]);
        first = 3;
    }
    if (argc - first != 4 || timeoutSeconds <= 0) {
        fprintf(stderr, "usage: %s [--timeout SECONDS] DUE FILE SECTION WINDOW\n", argv[0]);
        return 2;
    }
    const double dueMs = atof(argv[first]) * 1000.0;
    const std::string path = argv[first + 1];
    const std::string section = argv[first + 2];
    const auto window = xcb_window_t(strtoul(argv[first + 3], nullptr, 0));
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);

    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        fprintf(stderr, "bench_alarm: no display\n");
        return 1;
    }
    const int display = xcb_get_file_descriptor(connection);
    fcntl(display, F_SETFD, FD_CLOEXEC);
    const xcb_atom_t state = XcbAtoms::atom(connection, "_NET_WM_STATE");
    const xcb_atom_t above = XcbAtoms::atom(connection, "_NET_WM_STATE_ABOVE");
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &events);
    const int watcher = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    // The program saves by rename: IN_MOVED_TO; a file written in place
    // shows as IN_CLOSE_WRITE.
    if (watcher < 0 || inotify_add_watch(watcher, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
        fprintf(stderr, "bench_alarm: cannot watch %s: %s\n", folder.c_str(), strerror(errno));
        return 1;
    }
    if (XcbAtoms::holds(connection, window, state, above) || rings(path, section)) {
        fprintf(stderr, "bench_alarm: %s rings already\n", section.c_str());
        return 1;
    }

    std::optional<double> onTop;
    std::optional<double> inFile;
    const double deadline = dueMs + timeoutSeconds * 1000.0;
    while ((!onTop || !inFile) && wallClockMs() < deadline) {
        pollfd waitFor[2] = {{display, POLLIN, 0}, {watcher, POLLIN, 0}};
        poll(waitFor, 2, int(deadline - wallClockMs()) + 1);
        const double at = wallClockMs();
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const auto *property = reinterpret_cast<xcb_property_notify_event_t *>(event);
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && property->atom == state && !onTop
                    && XcbAtoms::holds(connection, window, state, above))
                onTop = at - dueMs;
            free(event);
        }
        alignas(inotify_event) char buffer[8192];
        bool ours = false;
        for (ssize_t length; (length = read(watcher, buffer, sizeof buffer)) > 0;) {
            for (ssize_t offset = 0; offset < length;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
                ours = ours || (event->len > 0 && name == event->name);
                offset += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        if (ours && !inFile && rings(path, section))
            inFile = at - dueMs;
        if (xcb_connection_has_error(connection))
            break;
    }
    if (!onTop || !inFile) {
        fprintf(stderr, "bench_alarm: %s did not %s within %.0f s of its moment\n", section.c_str(),
                onTop ? "reach the file" : "come to the top", timeoutSeconds);
        return 1;
    }
    printf("%.1f %.1f\n", *onTop, *inFile);
    return 0;
}
