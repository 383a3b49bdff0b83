// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QSocketNotifier;
struct sockaddr_un;

// One running copy per user. The lock is the kernel's (flock), so it goes
// with the process that held it, however that process ended: nothing a
// killed copy, a reboot or another program leaves in the lock file can keep
// the next start from running. The copy that runs answers later starts, and
// `nopi --new-note`, on a local socket beside the lock that only its user
// can reach.
//
// What travels on the socket, one call per connection:
//   "forward\n"                 come forward (a connection that sends
//                               nothing at all means the same)
//   "new-note N\n" + N bytes    open the edit screen for a new note with
//                               this UTF-8 text; the answer is one line:
//                               "opened", "editing", "full" or "too-long"
// Anything else is hung up on without a word; a caller that has not said
// everything within two seconds is hung up on too.
class SingleInstance
{
public:
    // What the running copy made of a request for a new note.
    enum class NewNoteAnswer {
        Opened,         // the edit screen shows the text
        EditScreenOpen, // another note is being edited: brought forward instead
        NoFreeSlot,     // all 15 notes are in use
        TooLong,        // more than MaxTextBytes
        NotRunning,     // no copy listens
        NoAnswer,       // a copy listens but did not answer in time
    };
    struct Answers
    {
        std::function<void()> comeForward;
        std::function<NewNoteAnswer(const QString &text)> newNote;
    };

    // The largest text a new note is asked for with.
    static constexpr qsizetype MaxTextBytes = 64 * 1024;

    SingleInstance();
    ~SingleInstance();

    // True when this process now holds the lock (or already held it), and
    // also when no lock can be had at all: a start that ends without a word
    // is worse than a second copy.
    bool acquire();

    // As the copy that holds the lock: answers later starts and requests.
    void listen(Answers answers);

    // As a later start, refused by acquire(): asks the running copy to come
    // forward. Waits at most half a second for a copy that does not answer.
    void callRunningCopy();

    // As `nopi --new-note`: asks the running copy, if any, for a new note
    // with `utf8`. A copy busy with other callers hangs up on a new one at
    // once; it is called again until it answers, all within `waitMs`.
    static NewNoteAnswer askForNewNote(const QByteArray &utf8, int waitMs);

    // The folder of the lock and the socket: $XDG_RUNTIME_DIR, or else a
    // folder of this user's own, nopi/ in the cache folder or nopi-UID/ in
    // the temp folder. Empty, with the reason in `problem`, when none can be
    // trusted.
    static QString folder(QString *problem = nullptr);

    // The socket's address for `path`; false for a path too long for one.
    static bool socketAddress(const QByteArray &path, sockaddr_un &address);

private:
    static QString lockPathIn(const QString &folder);
    // Beside the lock file: nopi.socket for nopi.lock.
    static QString socketPathFor(const QString &lockPath);

    QString m_lockPath;
    int m_lockFd = -1;
    int m_serverFd = -1;
    std::unique_ptr<QSocketNotifier> m_server;
};
