#pragma once

#include <QRect>
#include <QString>

class QMouseEvent;
class QWidget;

// Windows keep their places in twips (1/1440 inch); the screen works in pixels.
int TwipsPerPixelX();
int TwipsPerPixelY();
// Twips rounded to whole (halves to even), then divided, dropping the remainder.
int PixelsFromTwips(double twips, int twipsPerPixel);
// A control's place in a window definition, in pixels of this screen.
QRect PixelsFromTwips(int left, int top, int width, int height);
template <typename TwipsRect>
QRect PixelsFromTwips(const TwipsRect &twips)
{
    return PixelsFromTwips(twips.left, twips.top, twips.width, twips.height);
}

// 1 puts the window into the always-on-top band, 0 takes it out (and shows it);
// any other mode does nothing and gives 0.
int SetTopmost(QWidget *window, int mode);

// The visible part of each frameless window: the launcher keeps its client
// strip, a note most of its sizing frame cut away. Right and bottom edges are
// exclusive, so (3, 3)–(173, 67) is 170 × 64 pixels.
QRect LauncherRegion(int widthPx, int heightPx);
QRect NoteRegion(int widthPx, int heightPx);
void ApplyLauncherRegion(QWidget *launcher);
void ApplyNoteRegion(QWidget *note);

// Moves the window with the mouse from a left press until the release. The
// window manager's own move is not used: its grab swallows the second click
// of a double-click.
void StartWindowDrag(QWidget *window, const QMouseEvent *press);

// Resizes the window from a press on its frame: the window manager's resize
// where there is one, our own loop where there is none.
void StartWindowResize(QWidget *window, const QMouseEvent *press, Qt::Edges edges);

// A window whose visible part (in window coordinates) lies wholly off every
// screen is moved to the nearest place on the nearest screen. True when it
// moved the window.
bool KeepOnAScreen(QWidget *window, const QRect &visible);

// Tells the places and sizes the user gives a window from those the window
// manager picks on its own (at mapping, or by a tiling or cascading policy).
// The user's are: our own drag and resize loops, the window manager's resize
// we start, and a move or resize through the window manager's keys, menu or
// mouse bindings, seen as its grab of the keyboard or pointer or as a button
// held when the new place arrives.
void WatchUserPlacement(QWidget *window);
// Counts the window's present place and size as the user's (the program
// pulling an unreachable window back, or mending an impossible size).
void MarkUserPlacement(QWidget *window);
// Whether the user has moved or resized the window since the last call.
bool TakeUserPlacement(QWidget *window);

// Shows the window if it was hidden or minimised, raises it and makes it the
// active window.
void BringForward(QWidget *window);

// Names a top-level window after its definition (objectName and X11 role),
// so tests and accessibility tools can find it.
void NameWindow(QWidget *window, const QString &name);

// Keeps a window out of the taskbar and pager. Call before its first show().
void KeepOutOfTaskbar(QWidget *window);

// Leaves the X window with an empty caption and no icon. Qt would put the
// program's name in place of an empty title and give every window the
// program's icon. Call after the window exists, before its first show().
void ClearCaptionAndIcon(QWidget *window);
