#pragma once

#include <QString>

// The alarm's sound: starts without waiting, plays once, plays nothing when
// the file cannot be played, and never interrupts a sound already playing.
namespace AlarmSound {

void play(const QString &path);
// The alarm sound "BEEP": beside the program, else where it is installed.
QString soundFile();
void stop();

// How many times play() was asked, for tests that must know whether an alarm
// sounded without an audio device to hear it.
int playRequests();

}
