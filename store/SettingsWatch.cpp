// SPDX-License-Identifier: MIT
#include "store/SettingsWatch.h"

#include "store/ConflictCopies.h"
#include "store/FileAccess.h"
#include "store/Module1.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace {

// Editors and sync engines change a file in several steps (write a
// temporary, rename it over, set its times); the burst is looked at once.
constexpr int SettleMs = 30;
constexpr int PollMs = 2000;

class Watch : public QObject
{
public:
    // Made with the first listener, owned by the application.
    static Watch *instance(bool create)
    {
        static QPointer<Watch> watch;
        if (!watch && create && QCoreApplication::instance())
            watch = new Watch(QCoreApplication::instance());
        return watch;
    }

    void setListener(std::function<void()> changed)
    {
        m_changed = std::move(changed);
        arm();
    }

    void tell()
    {
        if (m_changed)
            m_changed();
    }

    void arm()
    {
        if (!m_changed)
            return;
        const std::string path = QFile::encodeName(SettingsFilePath()).toStdString();
        const std::string target = FileAccess::resolveLinks(path);
        std::vector<int> wanted;
        bool watched = m_fd >= 0;
        m_names.clear();
        // The folders see a file replaced, created or deleted; the file itself
        // (through a link, its target) sees a write in place and new times.
        // Adding a watch again is harmless: the kernel keeps one per inode.
        std::vector<int> folders;
        for (const std::string &file : {path, target}) {
            watched = addWatch(FileAccess::directoryOf(file), IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CLOSE_WRITE
                                                       | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR,
                               folders)
                    && watched;
            m_names.push_back(FileAccess::nameOf(file));
        }
        // A folder watched from now on (at start, another file, a folder
        // that appeared) may already hold conflict copies nobody told of.
        const bool newFolder = std::any_of(folders.begin(), folders.end(), [this](int wd) {
            return std::find(m_folders.begin(), m_folders.end(), wd) == m_folders.end();
        });
        m_folders = folders;
        wanted = std::move(folders);
        addWatch(path, IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF, wanted);
        // Only watches of a path no longer ours go; removing one still wanted
        // would lose what happens until it is added back.
        for (const int wd : m_watches) {
            if (std::find(wanted.begin(), wanted.end(), wd) == wanted.end())
                inotify_rm_watch(m_fd, wd);
        }
        m_watches = std::move(wanted);
        if (newFolder)
            OtherVersionsArriving(true);
        struct statfs info {};
        const bool remote = statfs(FileAccess::directoryOf(target).c_str(), &info) == 0 && IsRemoteFileSystem(long(info.f_type));
        if (!watched || remote)
            m_poll.start();
        else
            m_poll.stop();
    }

private:
    explicit Watch(QObject *parent) : QObject(parent)
    {
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd >= 0) {
            m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
            connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
        }
        m_settle.setSingleShot(true);
        m_settle.setInterval(SettleMs);
        connect(&m_settle, &QTimer::timeout, this, [this] { look(); });
        m_poll.setInterval(PollMs);
        connect(&m_poll, &QTimer::timeout, this, [this] {
            // A folder that appeared (a share mounted again) can be watched now.
            arm();
            look();
        });
    }

    ~Watch() override
    {
        m_notifier.reset();
        if (m_fd >= 0)
            close(m_fd);
    }

    bool addWatch(const std::string &path, uint32_t mask, std::vector<int> &wanted)
    {
        return FileAccess::addWatch(m_fd, path, mask, wanted);
    }

    void readEvents()
    {
        bool relevant = false;
        bool rearm = false;
        bool copies = false;
        bool syncing = false;
        FileAccess::readWatchEvents(m_fd, [&](std::uint32_t mask, std::string_view name) {
            // In a folder, only our file's name counts: a synced folder holds
            // other files, and our own temporaries come and go.
            if (!name.empty()) {
                for (const std::string &ours : m_names) {
                    relevant = relevant || name == ours;
                    copies = copies || ConflictCopies::isCopyName(name, ours);
                    syncing = syncing || ConflictCopies::isSyncTemporary(name, ours);
                }
            } else {
                relevant = true;
            }
            rearm = rearm || (mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_CREATE | IN_MOVED_TO));
        });
        // The file was replaced: the watch on it followed the old one.
        if (rearm)
            arm();
        if (relevant)
            m_settle.start();
        // A sync program at work here: what it brings is merged once it has
        // done.
        if (copies || syncing)
            OtherVersionsArriving(copies);
    }

    void look()
    {
        // Our own save is told by the writer, not by the file.
        if (SavesUnderWay()) {
            m_settle.start();
            return;
        }
        if (m_changed && SettingsFileChanged())
            m_changed();
    }

    std::function<void()> m_changed;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::vector<int> m_watches;
    std::vector<int> m_folders;
    std::vector<std::string> m_names;
    QTimer m_settle;
    QTimer m_poll;
};

}

void WatchSettingsFile(std::function<void()> changed)
{
    if (Watch *watch = Watch::instance(true))
        watch->setListener(std::move(changed));
}

void TellMergedIntoSettingsFile()
{
    if (Watch *watch = Watch::instance(false))
        watch->tell();
}

void RewatchSettingsFile()
{
    if (Watch *watch = Watch::instance(false))
        watch->arm();
}

bool IsRemoteFileSystem(long magic)
{
    switch (static_cast<unsigned long>(magic) & 0xFFFFFFFFUL) {
    case 0x6969:     // NFS
    case 0x517B:     // SMB
    case 0xFF534D42: // CIFS
    case 0xFE534D42: // SMB2
    case 0x65735546: // FUSE: sshfs, rclone, and the like
    case 0x01021997: // 9P
    case 0x73757245: // Coda
    case 0x5346414F: // AFS
    case 0x00C36400: // Ceph
    case 0x564C:     // NCP
    case 0x7461636F: // OCFS2
    case 0x01161970: // GFS2
        return true;
    default:
        return false;
    }
}
