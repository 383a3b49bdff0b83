// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>
#include <memory>

class QSocketNotifier;

// One running copy per user. The lock is the kernel's (flock), so it goes
// with the process that held it, however that process ended: nothing a
// killed copy, a reboot or another program leaves in the lock file can keep
// the next start from running. The copy that runs answers later starts on a
// local socket beside the lock.
class SingleInstance
{
public:
    SingleInstance();
    ~SingleInstance();

    // True when this process now holds the lock (or already held it), and
    // also when no lock can be had at all: a start that ends without a word
    // is worse than a second copy.
    bool acquire();

    // As the copy that holds the lock: calls comeForward whenever a later
    // start asks for the running copy.
    void listen(std::function<void()> comeForward);

    // As a later start, refused by acquire(): asks the running copy to come
    // forward. Waits at most half a second for a copy that does not answer.
    void callRunningCopy();

private:
    // Beside the lock file: nopi.socket for nopi.lock.
    QString socketPath() const;

    // The lock file in use: in $XDG_RUNTIME_DIR, else in the temp folder,
    // else in the cache folder, whichever first gives a regular file of this
    // user's. Empty when none could be used.
    QString m_lockPath;
    int m_lockFd = -1;
    int m_serverFd = -1;
    std::unique_ptr<QSocketNotifier> m_server;
};
