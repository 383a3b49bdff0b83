// SPDX-License-Identifier: MIT
#pragma once

#include "store/SyncStamp.h"

#include <QString>

#include <cstdint>
#include <string>

// This copy of Nopi's name in the stamps of the changes it makes, and the
// times it gives them.
namespace Sync {

// A random name made once and kept in the state folder
// ($XDG_STATE_HOME/nopi/machine, else ~/.local/state/nopi/machine). A home
// folder copied to another computer keeps the file, so the file also holds a
// digest of /etc/machine-id, and a computer that is not the one the name was
// made on makes a name of its own.
const std::string &ThisMachine();
// Tests name the machine themselves; an empty name makes the next call to
// ThisMachine() find it again.
void SetThisMachine(const std::string &name);

// $XDG_STATE_HOME/nopi, else ~/.local/state/nopi: this computer's own files,
// which no sync program should carry.
QString StateFolder();

// A change this machine makes now: later than the clock's now and than every
// change of this machine seen so far, so a clock set back never gives a new
// change an older time.
Dot NewChange();
// A stamp read from the file may hold changes this machine made in an
// earlier run, with times ahead of this run's clock.
void SeenStamp(const Stamp &stamp);

}
