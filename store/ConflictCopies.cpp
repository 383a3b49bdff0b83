// SPDX-License-Identifier: MIT
#include "store/ConflictCopies.h"

#include "store/FileAccess.h"
#include "store/FileSave.h"

#include <QCryptographicHash>
#include <QDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ConflictCopies {

namespace {

// "nopi.ini" is "nopi" and ".ini"; a name without a dot has no extension.
std::pair<std::string_view, std::string_view> stemAndExtension(std::string_view name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {name, std::string_view()};
    return {name.substr(0, dot), name.substr(dot)};
}

bool allOf(std::string_view text, size_t count, int (*kind)(int))
{
    return text.size() == count
            && std::all_of(text.begin(), text.end(), [kind](char c) { return kind(static_cast<unsigned char>(c)) != 0; });
}

void removeOlderThan(const std::string &folder, int keepDays)
{
    DIR *directory = opendir(folder.c_str());
    if (!directory)
        return;
    const time_t oldest = time(nullptr) - time_t(keepDays) * 24 * 60 * 60;
    while (const dirent *entry = readdir(directory)) {
        struct stat info;
        if (fstatat(dirfd(directory), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)
            && info.st_mtime < oldest)
            unlinkat(dirfd(directory), entry->d_name, 0);
    }
    closedir(directory);
}

}

bool isCopyName(std::string_view name, std::string_view live)
{
    const auto [stem, extension] = stemAndExtension(live);
    if (name.size() <= stem.size() + extension.size() || !name.starts_with(stem) || !name.ends_with(extension))
        return false;
    const std::string_view middle = name.substr(stem.size(), name.size() - stem.size() - extension.size());
    // Syncthing: ".sync-conflict-" date "-" time "-" the device's short name.
    constexpr std::string_view Syncthing = ".sync-conflict-";
    if (middle.starts_with(Syncthing)) {
        const std::string_view rest = middle.substr(Syncthing.size());
        return rest.size() == 8 + 1 + 6 + 1 + 7 && allOf(rest.substr(0, 8), 8, isdigit) && rest[8] == '-'
                && allOf(rest.substr(9, 6), 6, isdigit) && rest[15] == '-' && allOf(rest.substr(16), 7, isalnum);
    }
    // Nextcloud and Dropbox: " (" ... "conflicted copy" ... ")".
    return middle.starts_with(" (") && middle.ends_with(")")
            && middle.find("conflicted copy") != std::string_view::npos;
}

bool isSyncTemporary(std::string_view name, std::string_view live)
{
    constexpr std::string_view Syncthing = ".syncthing.";
    if (name.starts_with(Syncthing) && name.ends_with(".tmp"))
        name = name.substr(Syncthing.size(), name.size() - Syncthing.size() - 4);
    else if (name.starts_with('.') && name.find(".~") != std::string_view::npos)
        name = name.substr(1, name.find(".~") - 1);
    else
        return false;
    return name == live || isCopyName(name, live);
}

std::vector<Copy> find(const std::string &path, std::vector<std::string> &unreadable, bool &arriving,
                       int settleSeconds)
{
    arriving = false;
    const time_t settled = time(nullptr) - settleSeconds;
    const std::string target = FileAccess::resolveLinks(path);
    const std::string folder = FileAccess::directoryOf(target);
    const std::string live = FileAccess::nameOf(target);
    std::vector<std::string> names;
    if (DIR *directory = opendir(folder.c_str())) {
        while (const dirent *entry = readdir(directory)) {
            if (isCopyName(entry->d_name, live))
                names.emplace_back(entry->d_name);
        }
        closedir(directory);
    }
    std::sort(names.begin(), names.end());
    std::vector<Copy> copies;
    for (const std::string &name : names) {
        Copy copy{folder + '/' + name, std::string()};
        struct stat info;
        if (stat(copy.path.c_str(), &info) == 0 && std::max(info.st_mtime, info.st_ctime) > settled) {
            arriving = true;
            continue;
        }
        if (FileAccess::readFile(copy.path, copy.content) != FileAccess::ReadResult::Ok || IsDamaged(copy.content))
            unreadable.push_back(copy.path);
        else
            copies.push_back(std::move(copy));
    }
    return copies;
}

bool putAway(const std::string &copyPath, const std::string &folder, int keepDays)
{
    if (!QDir().mkpath(QString::fromLocal8Bit(folder.c_str())))
        return false;
    chmod(folder.c_str(), S_IRWXU);
    removeOlderThan(folder, keepDays);
    std::string target = folder + '/' + FileAccess::nameOf(copyPath);
    for (int n = 1; access(target.c_str(), F_OK) == 0 && n < 1000; ++n)
        target = folder + '/' + FileAccess::nameOf(copyPath) + '.' + std::to_string(n);
    if (std::rename(copyPath.c_str(), target.c_str()) != 0) {
        // Another file system: copied, then deleted.
        std::string content;
        FileAccess::Problem problem;
        if (errno != EXDEV || FileAccess::readFile(copyPath, content) != FileAccess::ReadResult::Ok
            || !FileAccess::replaceFile(target, content, &problem) || unlink(copyPath.c_str()) != 0)
            return false;
    }
    // Kept for `keepDays` from now, not from when the sync program made it.
    utimensat(AT_FDCWD, target.c_str(), nullptr, 0);
    return true;
}

std::string keepVersion(const std::string &path, std::string_view content)
{
    const std::string target = FileAccess::resolveLinks(path);
    const auto [stem, extension] = stemAndExtension(FileAccess::nameOf(target));
    char when[32];
    const time_t now = time(nullptr);
    struct tm utc;
    gmtime_r(&now, &utc);
    strftime(when, sizeof when, "%Y%m%d-%H%M%S", &utc);
    const QByteArray hash = QCryptographicHash::hash(QByteArrayView(content.data(), qsizetype(content.size())),
                                                     QCryptographicHash::Sha1)
                                    .toHex()
                                    .toUpper()
                                    .left(7);
    const std::string name = std::string(stem) + ".sync-conflict-" + when + '-' + hash.toStdString() + std::string(extension);
    const std::string copy = FileAccess::directoryOf(target) + '/' + name;
    FileAccess::Problem problem;
    return FileAccess::replaceFile(copy, content, &problem) ? copy : std::string();
}

}
