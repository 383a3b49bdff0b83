// SPDX-License-Identifier: MIT
#pragma once

// How the program ends when the session ends rather than through its quit
// mark: the desktop's SIGTERM at logout, a hang-up, Ctrl+C in a terminal, or
// the X connection closing under it. Each ends the program as the quit mark
// does, after the writer has finished what it was handed (at most 5 s).
namespace Session {

// Call once QApplication exists.
void endCleanlyOnSignals();

// Gives the writer at most 5 s to finish what it was handed.
void finishSaves();
// The same on any way out through exit(), which Qt takes when the X
// connection breaks.
void finishSavesAtExit();

}
