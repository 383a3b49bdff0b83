// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>

#include <functional>

class QKeyEvent;
class QMouseEvent;
class QWidget;

// How the user moves and resizes the frameless windows, and how the places
// the user makes are told from those the window manager picks on its own
// (at mapping, or by a tiling or cascading policy).

// Moves the window with the mouse from a left press until the release. The
// window manager's own move is not used: its grab swallows the second click
// of a double-click.
void StartWindowDrag(QWidget *window, const QMouseEvent *press);

// Resizes the window from a press on its frame: the window manager's resize
// where there is one, our own loop where there is none.
void StartWindowResize(QWidget *window, const QMouseEvent *press, Qt::Edges edges);

// Watches the window for places the user gives it: our own drag and resize
// loops, the window manager's resize we start, and a move or resize through
// the window manager's keys, menu or mouse bindings (seen as its grab of the
// keyboard or pointer, or as a button held when the new place arrives).
// `placed` is called once the user has finished such a move or resize and the
// window system has settled, never while the user is still at it.
void WatchUserPlacement(QWidget *window, std::function<void()> placed);
// Alt+arrows move the window 10 pixels and, where it may be resized,
// Ctrl+Shift+arrows make it 10 pixels wider, narrower, taller or shorter,
// within its smallest and largest size; a move that would take it wholly off
// every screen is not made. None of the desktops' own keys is one of these:
// GNOME, KDE Plasma, Xfce and openbox bind Ctrl+Alt, Super, Shift+Alt and
// Ctrl+Shift+Alt with the arrows. True when the key was one of them. The
// place counts as the user's once the keys have rested a second, so a run of
// presses is one move.
bool PlaceByKey(QWidget *window, const QKeyEvent *key, bool resizable);
// Counts the window's present place and size as the user's (the program
// pulling an unreachable window back, or mending an impossible size).
void MarkUserPlacement(QWidget *window);
// Whether the user has moved or resized the window since the last call, and
// is done with it. A move the window manager refused, or one that ended where
// it began, is none.
bool TakeUserPlacement(QWidget *window);

// Whether the user is moving or resizing the window, or has done so and the
// place is not yet taken: nothing may move the window meanwhile.
bool UserIsPlacing(QWidget *window);

// Where the window really is on the screen, and its size, as the X server
// reports them now; Qt's own idea can be a place the window manager refused.
// Qt's geometry where there is no X server.
QRect PlaceOnScreen(QWidget *window);
