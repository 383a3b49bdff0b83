// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The alarm's sound: starts without waiting, plays once, plays nothing when
// the file cannot be played, and never interrupts a sound already playing.
namespace AlarmSound {

void play(const QString &path);
// The alarm sound "BEEP": beside the program, else in ../share/nopi/ from
// the program's folder, else in nopi/ of the data folders; when none exists,
// the path beside the program, which then plays nothing.
QString soundFile();
void stop();
// The sound module: beside the program in the build tree, else in the
// installed module folder relative to the program's; empty when neither.
QString moduleFile();

// How many times play() was asked, for tests that must know whether an alarm
// sounded without an audio device to hear it.
int playRequests();

}
