// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The copies a sync program leaves beside a file that two machines changed
// at once, found by the names Syncthing, Nextcloud and Dropbox give them:
//   nopi.sync-conflict-20261207-101500-ABCDEF7.ini          (Syncthing)
//   nopi (conflicted copy 2026-12-07 101500).ini            (Nextcloud)
//   nopi (laptop's conflicted copy 2026-12-07).ini          (Dropbox)
// Once merged into the file, a copy is put away in this computer's state
// folder, so that it does not travel to every machine again.
namespace ConflictCopies {

// Whether `name` is a conflict copy's name for the file named `live`.
bool isCopyName(std::string_view name, std::string_view live);
// Whether `name` is a file a sync program writes before it puts a new
// version of `live` or of one of its conflict copies in place (Syncthing's
// ".syncthing.NAME.tmp", Nextcloud's ".NAME.~XXXX", Dropbox's cache).
bool isSyncTemporary(std::string_view name, std::string_view live);

struct Copy
{
    std::string path;
    std::string content;
};
// The conflict copies of the file at `path` (where its links lead), read.
// Those that cannot be read, or hold none of our sections, are named in
// `unreadable` and left where they are. A copy changed less than
// `settleSeconds` ago is left for later (`arriving`): the sync program may
// still be handing it to the other machines, which fail to fetch a copy put
// away meanwhile and then wait a long while before they try anything again.
std::vector<Copy> find(const std::string &path, std::vector<std::string> &unreadable, bool &arriving,
                       int settleSeconds = 2);

// Moves a merged copy into `folder` (made when missing) with the time of
// now, and deletes what has lain there longer than `keepDays`.
bool putAway(const std::string &copyPath, const std::string &folder, int keepDays = 30);

// Writes `content`, a version of the file holding a note that could not be
// merged, beside the file under a Syncthing conflict copy's name, so that
// it travels to the other machines and is merged once a slot is free.
// Returns the path, or empty.
std::string keepVersion(const std::string &path, std::string_view content);

}
