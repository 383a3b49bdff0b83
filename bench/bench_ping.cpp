// SPDX-License-Identifier: MIT
// How soon a program answers while something runs: sends _NET_WM_PING (a
// WM_PROTOCOLS client message, as window managers send to find programs that
// hang) to WINDOW every INTERVAL ms while COMMAND runs, and times each reply.
//
//   bench_ping [--interval MS] [--timeout SECONDS] WINDOW -- COMMAND ARGS...
//
// Qt answers a ping from its GUI thread, when that thread handles the event:
// a reply late by N ms means the program's windows neither repainted nor
// answered input for about N ms. The X server's own round trip is a small
// part of each figure. Pings go out at a steady pace whatever the replies,
// so a long stall shows in many pings (the median says how much of the time
// the program was stalled), not in one.
//
// Prints "MEDIAN WORST SENT UNANSWERED" (milliseconds, then counts) once the
// command has ended and every ping is answered; a ping still unanswered at
// the timeout counts with the time it waited. Exit status 1 when the window
// does not take pings, the command fails, nothing is answered, or the
// command outlasts the timeout.

#include "XcbAtoms.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Options
{
    double intervalMs = 20;
    double timeoutSeconds = 120;
    xcb_window_t window = 0;
    char **command = nullptr;
};

struct Ping
{
    double sentAt = 0;
    double latency = -1; // not answered yet
};

double nowMs()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

void usage(const char *self)
{
    fprintf(stderr, "usage: %s [--interval MS] [--timeout SECONDS] WINDOW -- COMMAND ARGS...\n", self);
    exit(2);
}

Options parse(int argc, char *argv[])
{
    Options options;
    int i = 1;
    for (; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        const std::string arg = argv[i];
        if (arg == "--interval" && i + 1 < argc)
            options.intervalMs = atof(argv[++i]);
        else if (arg == "--timeout" && i + 1 < argc)
            options.timeoutSeconds = atof(argv[++i]);
        else if (options.window == 0)
            options.window = xcb_window_t(strtoul(argv[i], nullptr, 0));
        else
            usage(argv[0]);
    }
    if (options.window == 0 || i + 1 >= argc || options.intervalMs <= 0 || options.timeoutSeconds <= 0)
        usage(argv[0]);
    options.command = argv + i + 1;
    return options;
}

pid_t launch(char **command)
{
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(command[0], command);
        fprintf(stderr, "bench_ping: cannot run %s: %s\n", command[0], strerror(errno));
        _exit(127);
    }
    return pid;
}

void endChild(pid_t pid)
{
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}

int main(int argc, char *argv[])
{
    const Options options = parse(argc, argv);
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        fprintf(stderr, "bench_ping: no display\n");
        return 1;
    }
    const int fd = xcb_get_file_descriptor(connection);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_atom_t protocols = XcbAtoms::atom(connection, "WM_PROTOCOLS");
    const xcb_atom_t ping = XcbAtoms::atom(connection, "_NET_WM_PING");
    // A program that does not list the protocol would never answer, and the
    // figures would only say so.
    if (!XcbAtoms::holds(connection, options.window, protocols, ping)) {
        fprintf(stderr, "bench_ping: window 0x%x does not list _NET_WM_PING in WM_PROTOCOLS\n", options.window);
        return 1;
    }
    // The reply goes to the root window for whoever selects structure events
    // there (and to the window manager, which ignores pings it did not send).
    const uint32_t rootEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &rootEvents);
    xcb_flush(connection);

    const double start = nowMs();
    const double deadline = start + options.timeoutSeconds * 1000.0;
    const pid_t child = launch(options.command);
    if (child < 0)
        return 1;

    std::vector<Ping> pings;
    size_t answered = 0;
    bool running = true;
    bool commandFailed = false;
    double nextPing = start;
    while (running || answered < pings.size()) {
        const double now = nowMs();
        if (now >= deadline) {
            if (running) {
                fprintf(stderr, "bench_ping: %s still ran after %.0f s\n", options.command[0], options.timeoutSeconds);
                endChild(child);
                return 1;
            }
            break;
        }
        int status = 0;
        if (running && waitpid(child, &status, WNOHANG) == child) {
            running = false;
            commandFailed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
        }
        if (running && now >= nextPing) {
            xcb_client_message_event_t message = {};
            message.response_type = XCB_CLIENT_MESSAGE;
            message.format = 32;
            message.window = options.window;
            message.type = protocols;
            message.data.data32[0] = ping;
            // The timestamp's place carries the ping's number; the reply
            // gives the message back whole.
            message.data.data32[1] = uint32_t(pings.size() + 1);
            message.data.data32[2] = options.window;
            xcb_send_event(connection, 0, options.window, XCB_EVENT_MASK_NO_EVENT,
                           reinterpret_cast<const char *>(&message));
            xcb_flush(connection);
            pings.push_back({nowMs()});
            nextPing += options.intervalMs;
            if (nextPing < now)
                nextPing = now + options.intervalMs;
        }
        const double wait = running ? std::min(nextPing, deadline) - nowMs() : deadline - nowMs();
        pollfd waitFor = {fd, POLLIN, 0};
        // The command's end is noticed within a pace's time.
        poll(&waitFor, 1, std::max(0, std::min(int(wait) + 1, int(options.intervalMs) + 1)));
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const double at = nowMs();
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                const auto *reply = reinterpret_cast<xcb_client_message_event_t *>(event);
                const uint32_t number = reply->data.data32[1];
                if (reply->type == protocols && reply->data.data32[0] == ping
                        && reply->data.data32[2] == options.window && number >= 1 && number <= pings.size()
                        && pings[number - 1].latency < 0) {
                    pings[number - 1].latency = at - pings[number - 1].sentAt;
                    ++answered;
                }
            }
            free(event);
        }
        if (xcb_connection_has_error(connection)) {
            fprintf(stderr, "bench_ping: lost the display\n");
            if (running)
                endChild(child);
            return 1;
        }
    }
    xcb_disconnect(connection);

    if (commandFailed) {
        fprintf(stderr, "bench_ping: %s failed\n", options.command[0]);
        return 1;
    }
    if (answered == 0) {
        fprintf(stderr, "bench_ping: none of %zu pings was answered\n", pings.size());
        return 1;
    }
    const double end = nowMs();
    std::vector<double> latencies;
    for (const Ping &sent : pings)
        latencies.push_back(sent.latency >= 0 ? sent.latency : end - sent.sentAt);
    std::sort(latencies.begin(), latencies.end());
    const size_t n = latencies.size();
    const double median = n % 2 ? latencies[n / 2] : (latencies[n / 2 - 1] + latencies[n / 2]) / 2;
    printf("%.1f %.1f %zu %zu\n", median, latencies.back(), n, n - answered);
    return 0;
}
