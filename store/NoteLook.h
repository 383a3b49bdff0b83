// SPDX-License-Identifier: MIT
#pragma once

#include "store/NoteSettings.h"

#include <QColor>
#include <QFont>

// How a note section looks on the screen, so no window parses the stored
// forms itself.

// B_Color holds red in its low byte: 0x00BBGGRR.
QColor ColorFromBgr(qint32 value);
// The note's font as its section describes it; sizes outside 1–400 points
// are shown at the nearest of those.
QFont NoteFont(const NoteSettings &record);
