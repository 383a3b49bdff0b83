// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

// Tells when the settings file became another version than the one this run
// last read or wrote: another machine's save arriving through a synced
// folder, an editor, a file deleted or damaged. The kernel says so (inotify on
// the file, its folder, and the folder of the file a link points to), so the
// program sleeps meanwhile. Where inotify does not see other machines' writes
// (NFS, SMB, FUSE and the like), or the folder does not exist yet, the file is
// looked at every two seconds instead.
//
// `changed` is called on the screen's thread, a moment after the last event of
// a burst, never for this run's own saves.
void WatchSettingsFile(std::function<void()> changed);

// The settings file's path changed: watch the new one.
void RewatchSettingsFile();

// This run wrote the file with more than its own changes (versions made
// elsewhere merged in): the listener is told, as for a change made
// elsewhere.
void TellMergedIntoSettingsFile();

// Whether the file's folder is on a file system whose changes made elsewhere
// inotify cannot see. `magic` is statfs()'s f_type.
bool IsRemoteFileSystem(long magic);
