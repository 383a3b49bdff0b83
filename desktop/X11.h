// SPDX-License-Identifier: MIT
#pragma once

#include <xcb/xcb.h>

class QWidget;

// The few X11 requests Qt has no word for. Every one is a no-op (or false)
// on a platform without an X connection, such as the offscreen tests.
namespace X11 {

// The program's X connection, or null.
xcb_connection_t *connection();
// The root window of the first screen, or 0.
xcb_window_t root();

// An atom stands for the life of the connection, so each is asked of the X
// server once rather than in a round trip per window.
xcb_atom_t atom(const char *name);

// Whether the window manager lists the atom in _NET_SUPPORTED.
bool windowManagerSupports(xcb_atom_t wanted);

// Whether a mouse button is held down anywhere, as the server sees it now.
bool pointerButtonHeld();

// Asks the window manager to make the window the active one, as a desktop
// tool does on the user's behalf. Window managers that keep programs from
// taking the focus (mutter, kwin) honour such a request; openbox takes either.
void askToActivate(QWidget *window);

// Whether an X display can be reached before QApplication exists.
bool displayReachable();

}
