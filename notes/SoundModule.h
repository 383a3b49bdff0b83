// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The alarm sound's player lives in a module of its own (nopi-sound.so), so
// that Qt Multimedia and the audio and codec libraries behind it are loaded
// at the first alarm rather than at every start. These are its entry points,
// looked up by name.
namespace SoundModule {

// Plays the file once, unless a sound is playing already.
using Play = void (*)(const QString &path);
using Stop = void (*)();

inline constexpr char PlaySymbol[] = "nopi_sound_play";
inline constexpr char StopSymbol[] = "nopi_sound_stop";

}
