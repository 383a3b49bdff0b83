// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <string_view>

// Whatever a nopi.ini holds, the program must be able to read every section,
// write each back as it read it, and read the same again: every tick saves
// what it loaded, so a value that drifts on a round trip drifts for good.
//
// Shared by the libFuzzer target (clang, sanitizers) and the replay test in
// the ordinary build, so both check one and the same property.
namespace StoreRoundTrip {

// Writes `fileBytes` to `settingsPath`, points the store at it and checks:
// - loading, saving and loading again gives every section unchanged;
// - a save of one section changes no other section;
// - no save fails;
// - saving the same values a second time leaves every byte as it was;
// - other values saved into each section then read back as saved.
// Returns an empty string when all of that holds, else what broke.
QString check(std::string_view fileBytes, const QString &settingsPath);

// A directory for scratch files: $TMPDIR when the caller chose one, else
// /dev/shm when it is there (a save fsyncs, and on tmpfs that costs nothing),
// else the system's temporary directory.
QString scratchBase();

}
