// SPDX-License-Identifier: MIT
#pragma once

// What a screen reader hears when the active window changes. Qt's AT-SPI
// bridge tells it once, from the windows' activation: the window reached
// activated, the one left deactivated, then the focus. Qt also tells it from
// each window's focus change, before the change is made, when the bridge reads
// the old window as still active: each key that led to another window then
// sounded as a flip-flop of window:activate, the old window first. Those are
// left out from here on. Install once, before the first window shows.
void AnnounceActiveWindowOnce();
