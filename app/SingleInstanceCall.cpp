// SPDX-License-Identifier: MIT
// The calling side of the single-copy socket: a later start and
// `nopi --new-note` reaching the copy that runs.
#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Between two calls to a copy that was too busy to take one.
constexpr int BusyPauseMs = 50;

bool ownedByThisUser(const QString &path)
{
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode)
           && info.st_uid == getuid();
}

int remainingMs(const QDeadlineTimer &deadline)
{
    return int(qMax<qint64>(0, deadline.remainingTime()));
}

// How a call went: nobody listens, the copy hung up without a word (too
// busy for another caller), it answered, or it kept silent until the end.
struct Call
{
    enum Outcome { NoListener, HungUp, Answered, Silent };
    Outcome outcome = NoListener;
    QByteArray answer;
};

// Connects to the running copy's socket; -1 when none listens, with `busy`
// set when one does but has more callers waiting than it takes.
int connectTo(const QString &path, bool &busy)
{
    busy = false;
    sockaddr_un address {};
    if (path.isEmpty() || !ownedByThisUser(path)
        || !SingleInstance::socketAddress(QFile::encodeName(path), address))
        return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return fd;
    busy = errno == EAGAIN;
    close(fd);
    return -1;
}

// False when the copy hung up or took nothing in time.
bool sendAll(int fd, QByteArray bytes, const QDeadlineTimer &deadline)
{
    while (!bytes.isEmpty()) {
        const ssize_t sent = send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove(0, sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        pollfd waiting {fd, POLLOUT, 0};
        if (sent < 0 && errno == EAGAIN && poll(&waiting, 1, remainingMs(deadline)) == 1)
            continue;
        return false;
    }
    return true;
}

// One call: the request, then the copy's one-line answer.
Call callOnce(const QString &path, const QByteArray &request, const QDeadlineTimer &deadline)
{
    Call call;
    bool busy = false;
    const int fd = connectTo(path, busy);
    if (fd < 0) {
        call.outcome = busy ? Call::HungUp : Call::NoListener;
        return call;
    }
    call.outcome = Call::HungUp;
    if (sendAll(fd, request, deadline)) {
        pollfd waiting {fd, POLLIN, 0};
        char buffer[64];
        while (!call.answer.contains('\n') && call.answer.size() < qsizetype(sizeof buffer)) {
            if (poll(&waiting, 1, remainingMs(deadline)) != 1) {
                call.outcome = Call::Silent;
                break;
            }
            const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got > 0)
                call.answer.append(buffer, got);
            else if (got == 0 || (errno != EINTR && errno != EAGAIN))
                break;
        }
    } else if (deadline.hasExpired()) {
        call.outcome = Call::Silent;
    }
    close(fd);
    if (!call.answer.isEmpty())
        call.outcome = Call::Answered;
    return call;
}

}

void SingleInstance::callRunningCopy()
{
    if (m_lockPath.isEmpty())
        return;
    bool busy = false;
    const int fd = connectTo(socketPathFor(m_lockPath), busy);
    if (fd < 0)
        return;
    sendAll(fd, QByteArrayLiteral("forward\n"), QDeadlineTimer(500));
    close(fd);
}

SingleInstance::NewNoteAnswer SingleInstance::askForNewNote(const QByteArray &utf8, int waitMs)
{
    if (utf8.size() > MaxTextBytes)
        return NewNoteAnswer::TooLong;
    const QString where = folder();
    if (where.isEmpty())
        return NewNoteAnswer::NotRunning;
    const QString path = socketPathFor(lockPathIn(where));
    const QByteArray request = "new-note " + QByteArray::number(utf8.size()) + '\n' + utf8;
    const QDeadlineTimer deadline(waitMs);
    Call call = callOnce(path, request, deadline);
    while (call.outcome == Call::HungUp && !deadline.hasExpired()) {
        QThread::msleep(ulong(qMin(BusyPauseMs, remainingMs(deadline))));
        call = callOnce(path, request, deadline);
    }
    switch (call.outcome) {
    case Call::NoListener:
        return NewNoteAnswer::NotRunning;
    case Call::HungUp:
    case Call::Silent:
        return NewNoteAnswer::NoAnswer;
    case Call::Answered:
        break;
    }
    if (call.answer == "opened\n")
        return NewNoteAnswer::Opened;
    if (call.answer == "editing\n")
        return NewNoteAnswer::EditScreenOpen;
    if (call.answer == "full\n")
        return NewNoteAnswer::NoFreeSlot;
    if (call.answer == "too-long\n")
        return NewNoteAnswer::TooLong;
    return NewNoteAnswer::NoAnswer;
}
