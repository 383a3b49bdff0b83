// SPDX-License-Identifier: MIT
#include "app/Session.h"

#include "store/Module1.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The time a save still under way is given at the end.
constexpr int LastSaveMs = 5000;

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    // Only what is safe in a signal handler: the event loop does the rest.
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

}

namespace Session {

void endCleanlyOnSignals()
{
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char bytes[16];
        while (read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        QApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        sigaction(signal, &action, nullptr);
}

void finishSaves()
{
    FinishSaves(LastSaveMs);
}

void finishSavesAtExit()
{
    std::atexit(finishSaves);
}

}
