// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>
#include <QString>

class QEvent;
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

// A window whose visible part (in window coordinates) lies wholly off every
// screen is moved to the nearest place on the nearest screen. True when it
// moved the window.
bool KeepOnAScreen(QWidget *window, const QRect &visible);

// Tab and Shift+Tab lead from one of the program's windows to the next or
// the previous: 1 or -1 for such a key press, 0 for any other event.
int WindowTabStep(const QEvent *event);

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
