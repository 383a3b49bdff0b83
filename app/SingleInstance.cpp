#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

}

SingleInstance::SingleInstance() = default;

SingleInstance::~SingleInstance()
{
    m_server.reset();
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
    const QString path = socketPath();
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Whatever is there was left by a copy that no longer runs: this one
    // holds the lock.
    QLocalServer::removeServer(path);
    if (!m_server->listen(path)) {
        qWarning("nopi: a later start cannot reach this copy: %s", qPrintable(m_server->errorString()));
        return;
    }
    QLocalServer *server = m_server.get();
    QObject::connect(server, &QLocalServer::newConnection, server, [server, comeForward] {
        // The call itself is the request; nothing is read from it.
        while (QLocalSocket *caller = server->nextPendingConnection()) {
            QObject::connect(caller, &QLocalSocket::disconnected, caller, &QObject::deleteLater);
            caller->disconnectFromServer();
            comeForward();
        }
    });
}

void SingleInstance::callRunningCopy()
{
    const QString path = socketPath();
    if (m_lockPath.isEmpty() || !ownedByThisUser(path))
        return;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (socket.waitForConnected(500))
        socket.disconnectFromServer();
}
