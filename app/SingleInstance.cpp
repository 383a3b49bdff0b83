// SPDX-License-Identifier: MIT
#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

enum class Lock { Held, HeldElsewhere, Unusable };

// Where the lock may live, best first. The runtime folder is the user's own
// and emptied at logout; the shared temp folder is open to other users, who
// could put a file or a link of theirs there first; the cache folder is the
// user's own again.
QString runtimeLockFile()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QDir(runtime).exists())
        return QString();
    return runtime + QStringLiteral("/nopi.lock");
}

QString tempLockFile()
{
    return QDir::tempPath() + QStringLiteral("/nopi-%1.lock").arg(getuid());
}

QString cacheLockFile()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty() || !QDir().mkpath(cache))
        return QString();
    return cache + QStringLiteral("/nopi.lock");
}

// Opens the lock file and takes the lock without waiting. What the file
// holds is never read: only the kernel's lock on it counts.
Lock takeLock(const QString &path, int &fd)
{
    // Never follow a link, never block on a FIFO someone put there.
    fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
              S_IRUSR | S_IWUSR);
    if (fd < 0)
        return Lock::Unusable;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != getuid()) {
        close(fd);
        fd = -1;
        return Lock::Unusable;
    }
    // A lock file others may read is one they may lock.
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        fchmod(fd, S_IRUSR | S_IWUSR);
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return Lock::Held;
    const bool heldElsewhere = errno == EWOULDBLOCK;
    close(fd);
    fd = -1;
    return heldElsewhere ? Lock::HeldElsewhere : Lock::Unusable;
}

bool ownedByThisUser(const QString &path)
{
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode)
           && info.st_uid == getuid();
}

// The socket's address, or false for a path too long for one.
bool socketAddress(const QByteArray &path, sockaddr_un &address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return true;
}

// Binds a listening socket at `path`, readable and writable by this user
// only: made in a private folder beside it and moved into place, so nobody
// can reach it before its mode is set.
int listenAt(const QByteArray &path)
{
    sockaddr_un address {};
    const QByteArray folder = path.left(path.lastIndexOf('/') + 1) + ".nopi-socket.XXXXXX";
    QByteArray privateFolder = folder;
    if (!socketAddress(folder + "/s", address) || !mkdtemp(privateFolder.data()))
        return -1;
    const QByteArray inside = privateFolder + "/s";
    socketAddress(inside, address);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const bool bound = fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
            && chmod(inside.constData(), S_IRUSR | S_IWUSR) == 0 && listen(fd, 16) == 0
            && rename(inside.constData(), path.constData()) == 0;
    unlink(inside.constData());
    rmdir(privateFolder.constData());
    if (!bound && fd >= 0) {
        close(fd);
        fd = -1;
    }
    return fd;
}
}

SingleInstance::SingleInstance() = default;

SingleInstance::~SingleInstance()
{
    m_server.reset();
    if (m_serverFd >= 0) {
        close(m_serverFd);
        unlink(QFile::encodeName(socketPath()).constData());
    }
    if (m_lockFd >= 0)
        close(m_lockFd);
}

QString SingleInstance::socketPath() const
{
    QString path = m_lockPath;
    path.chop(qsizetype(sizeof(".lock") - 1));
    return path + QStringLiteral(".socket");
}

bool SingleInstance::acquire()
{
    if (m_lockFd >= 0)
        return true;
    for (QString (*candidate)() : {runtimeLockFile, tempLockFile, cacheLockFile}) {
        const QString path = candidate();
        if (path.isEmpty())
            continue;
        switch (takeLock(path, m_lockFd)) {
        case Lock::Held:
            m_lockPath = path;
            return true;
        case Lock::HeldElsewhere:
            m_lockPath = path;
            return false;
        case Lock::Unusable:
            break;
        }
    }
    qWarning("nopi: no lock file could be used; a second copy would not be noticed");
    m_lockPath.clear();
    return true;
}

void SingleInstance::listen(std::function<void()> comeForward)
{
    if (m_lockFd < 0 || m_server)
        return;
    const QByteArray path = QFile::encodeName(socketPath());
    // Whatever is there was left by a copy that no longer runs: this one
    // holds the lock.
    unlink(path.constData());
    m_serverFd = listenAt(path);
    if (m_serverFd < 0) {
        qWarning("nopi: a later start cannot reach this copy: %s", std::strerror(errno));
        return;
    }
    m_server = std::make_unique<QSocketNotifier>(m_serverFd, QSocketNotifier::Read);
    const int serverFd = m_serverFd;
    QObject::connect(m_server.get(), &QSocketNotifier::activated, m_server.get(), [serverFd, comeForward] {
        // The call itself is the request; nothing is read from it.
        int caller;
        while ((caller = accept4(serverFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0) {
            close(caller);
            comeForward();
        }
    });
}

void SingleInstance::callRunningCopy()
{
    const QString path = socketPath();
    sockaddr_un address {};
    if (m_lockPath.isEmpty() || !ownedByThisUser(path) || !socketAddress(QFile::encodeName(path), address))
        return;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    // A copy too busy to take the call at once gets half a second.
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        && (errno == EAGAIN || errno == EINPROGRESS)) {
        pollfd waiting {fd, POLLOUT, 0};
        poll(&waiting, 1, 500);
    }
    close(fd);
}
