// SPDX-License-Identifier: MIT
#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

enum class Lock { Held, HeldElsewhere, Unusable };

// A caller has this long to say everything.
constexpr int CallerTimeoutMs = 2000;
// More callers at once than a user's own commands make are hung up on.
constexpr int MostCallers = 16;
constexpr qsizetype LongestRequestLine = 32;

QString runtimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QFileInfo(runtime).isDir() || access(QFile::encodeName(runtime).constData(), W_OK | X_OK) != 0)
        return QString();
    return runtime;
}

// A folder of this user's own: made by us with mode 0700, or found owned by
// us and not a link. Others cannot put a file or a link of theirs into it.
bool privateFolder(const QString &path, QString &problem)
{
    const QByteArray name = QFile::encodeName(path);
    if (mkdir(name.constData(), S_IRWXU) != 0 && errno != EEXIST) {
        problem = QStringLiteral("cannot make %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat info {};
    if (lstat(name.constData(), &info) != 0) {
        problem = QStringLiteral("cannot read %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        problem = QStringLiteral("%1 is a link, not a folder of this user's own").arg(path);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        problem = QStringLiteral("%1 is not a folder").arg(path);
        return false;
    }
    if (info.st_uid != getuid()) {
        problem = QStringLiteral("%1 belongs to user %2, not to this user (%3)").arg(path).arg(info.st_uid).arg(getuid());
        return false;
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0 && chmod(name.constData(), S_IRWXU) != 0) {
        problem = QStringLiteral("cannot make %1 private: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
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

// Binds a listening socket at `path`, readable and writable by this user
// only: made in a private folder beside it and moved into place, so nobody
// can reach it before its mode is set.
int listenAt(const QByteArray &path)
{
    sockaddr_un address {};
    const QByteArray folder = path.left(path.lastIndexOf('/') + 1) + ".nopi-socket.XXXXXX";
    QByteArray privateFolder = folder;
    if (!SingleInstance::socketAddress(folder + "/s", address) || !mkdtemp(privateFolder.data()))
        return -1;
    const QByteArray inside = privateFolder + "/s";
    SingleInstance::socketAddress(inside, address);
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

// One connection to the running copy, read without ever waiting for it:
// the screen's thread answers it between other events.
class Caller : public QObject
{
public:
    Caller(int fd, const SingleInstance::Answers &answers, QObject *parent)
        : QObject(parent), m_fd(fd), m_notifier(fd, QSocketNotifier::Read), m_answers(answers)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { read(); });
        m_timeout.setSingleShot(true);
        connect(&m_timeout, &QTimer::timeout, this, [this] { hangUp(); });
        m_timeout.start(CallerTimeoutMs);
    }
    ~Caller() override { close(m_fd); }

private:
    void read()
    {
        char buffer[4096];
        while (!m_done) {
            const ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
            if (got > 0) {
                m_received.append(buffer, got);
                takeRequest();
            } else if (got == 0) {
                // An older caller only connects: that is its whole request.
                if (!m_heard && m_received.isEmpty() && m_answers.comeForward)
                    m_answers.comeForward();
                hangUp();
            } else if (errno != EINTR) {
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    hangUp();
                return;
            }
        }
    }

    void takeRequest()
    {
        if (m_textBytes < 0) {
            const qsizetype end = m_received.indexOf('\n');
            if (end < 0) {
                if (m_received.size() > LongestRequestLine)
                    hangUp();
                return;
            }
            m_heard = true;
            const QByteArray line = m_received.left(end);
            m_received.remove(0, end + 1);
            if (line == "forward") {
                if (m_answers.comeForward)
                    m_answers.comeForward();
                hangUp();
                return;
            }
            const QByteArray count = line.mid(int(sizeof "new-note ") - 1);
            bool number = line.startsWith("new-note ") && !count.isEmpty() && count.size() <= 9;
            for (const char c : count)
                number = number && c >= '0' && c <= '9';
            if (!number || !m_answers.newNote) {
                hangUp();
                return;
            }
            m_textBytes = count.toLongLong();
            if (m_textBytes > SingleInstance::MaxTextBytes) {
                answer("too-long");
                return;
            }
        }
        if (m_received.size() < m_textBytes)
            return;
        if (m_received.size() > m_textBytes) {
            hangUp();
            return;
        }
        switch (m_answers.newNote(QString::fromUtf8(m_received))) {
        case SingleInstance::NewNoteAnswer::Opened:
            answer("opened");
            break;
        case SingleInstance::NewNoteAnswer::EditScreenOpen:
            answer("editing");
            break;
        case SingleInstance::NewNoteAnswer::NoFreeSlot:
            answer("full");
            break;
        default:
            hangUp();
            break;
        }
    }

    void answer(const char *word)
    {
        const QByteArray line = QByteArray(word) + '\n';
        // A few bytes into an empty socket: they never wait.
        send(m_fd, line.constData(), size_t(line.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        hangUp();
    }

    void hangUp()
    {
        m_done = true;
        m_notifier.setEnabled(false);
        m_timeout.stop();
        deleteLater();
    }

    const int m_fd;
    QSocketNotifier m_notifier;
    QTimer m_timeout;
    const SingleInstance::Answers m_answers;
    QByteArray m_received;
    qsizetype m_textBytes = -1;
    bool m_heard = false;
    bool m_done = false;
};

}

bool SingleInstance::socketAddress(const QByteArray &path, sockaddr_un &address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return true;
}

SingleInstance::SingleInstance() = default;

SingleInstance::~SingleInstance()
{
    m_server.reset();
    if (m_serverFd >= 0) {
        close(m_serverFd);
        // A clean end leaves no socket behind to be called in vain.
        unlink(QFile::encodeName(socketPathFor(m_lockPath)).constData());
    }
    if (m_lockFd >= 0)
        close(m_lockFd);
}

QString SingleInstance::folder(QString *problem)
{
    const QString runtime = runtimeFolder();
    if (!runtime.isEmpty())
        return runtime;
    // Without the session's runtime folder, a folder of this user's own: the
    // shared temp folder is open to every user, who could put a file or a
    // link of theirs under a name we would use.
    QStringList reasons;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString tmp = QDir::tempPath() + QStringLiteral("/nopi-%1").arg(getuid());
    for (const QString &candidate : {cache.isEmpty() ? QString() : cache + QStringLiteral("/nopi"), tmp}) {
        QString reason;
        if (candidate.isEmpty())
            continue;
        if (candidate == tmp || QDir().mkpath(QFileInfo(candidate).path())) {
            sockaddr_un address {};
            if (privateFolder(candidate, reason)
                && socketAddress(QFile::encodeName(socketPathFor(lockPathIn(candidate))), address))
                return candidate;
            if (reason.isEmpty())
                reason = QStringLiteral("%1: its path is too long for a socket").arg(candidate);
        } else {
            reason = QStringLiteral("cannot make %1").arg(QFileInfo(candidate).path());
        }
        reasons << reason;
    }
    if (problem)
        *problem = reasons.join(QStringLiteral("; "));
    return QString();
}

QString SingleInstance::lockPathIn(const QString &folder)
{
    if (folder == runtimeFolder())
        return folder + QStringLiteral("/nopi.lock");
    // A cache folder may be shared by machines that share a home folder.
    return folder + QStringLiteral("/nopi-%1.lock").arg(QSysInfo::machineHostName());
}

QString SingleInstance::socketPathFor(const QString &lockPath)
{
    QString path = lockPath;
    path.chop(qsizetype(sizeof(".lock") - 1));
    return path + QStringLiteral(".socket");
}

bool SingleInstance::acquire()
{
    if (m_lockFd >= 0)
        return true;
    QString problem;
    const QString where = folder(&problem);
    if (where.isEmpty()) {
        qWarning("nopi: no private folder for the single-copy lock (%s); a second copy would not be noticed",
                 qPrintable(problem));
        return true;
    }
    const QString path = lockPathIn(where);
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
    qWarning("nopi: the lock file %s cannot be used; a second copy would not be noticed", qPrintable(path));
    m_lockPath.clear();
    return true;
}

void SingleInstance::listen(Answers answers)
{
    if (m_lockFd < 0 || m_server)
        return;
    const QByteArray path = QFile::encodeName(socketPathFor(m_lockPath));
    // Whatever is there was left by a copy that no longer runs: this one
    // holds the lock.
    unlink(path.constData());
    m_serverFd = listenAt(path);
    if (m_serverFd < 0) {
        qWarning("nopi: a later start cannot reach this copy: %s", std::strerror(errno));
        return;
    }
    m_server = std::make_unique<QSocketNotifier>(m_serverFd, QSocketNotifier::Read);
    QSocketNotifier *server = m_server.get();
    const int serverFd = m_serverFd;
    QObject::connect(server, &QSocketNotifier::activated, server, [server, serverFd, answers] {
        int caller;
        while ((caller = accept4(serverFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0) {
            if (server->children().size() >= MostCallers)
                close(caller);
            else
                new Caller(caller, answers, server);
        }
    });
}
