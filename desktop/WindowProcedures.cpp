// SPDX-License-Identifier: MIT
#include "desktop/WindowProcedures.h"

#include "desktop/X11.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr int DefaultTwipsPerPixel = 15;

int twipsPerPixel(qreal dotsPerInch)
{
    if (dotsPerInch <= 0)
        return DefaultTwipsPerPixel;
    return qMax(1, qRound(1440.0 / dotsPerInch));
}

// A window keeps its shape until its size changes: asked again for the same
// one, it sends nothing and draws nothing.
void applyShape(QWidget *window, const QRect &visible)
{
    if (window->mask() == QRegion(visible))
        return;
    window->setMask(visible);
    // The shape request would wait in the connection's buffer until some
    // later request; cutting a window's edges needs no repaint.
    if (xcb_connection_t *connection = X11::connection())
        xcb_flush(connection);
}

int distanceBetween(const QRect &a, const QRect &b)
{
    const int dx = qMax(0, qMax(a.left() - b.right(), b.left() - a.right()));
    const int dy = qMax(0, qMax(a.top() - b.bottom(), b.top() - a.bottom()));
    return dx + dy;
}

}

int TwipsPerPixelX()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? twipsPerPixel(screen->logicalDotsPerInchX()) : DefaultTwipsPerPixel;
}

int TwipsPerPixelY()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? twipsPerPixel(screen->logicalDotsPerInchY()) : DefaultTwipsPerPixel;
}

int PixelsFromTwips(double twips, int twipsPerPixel)
{
    const double whole = std::nearbyint(twips);
    const long long clamped = static_cast<long long>(std::clamp(whole, -2147483648.0, 2147483647.0));
    return int(clamped / qMax(1, twipsPerPixel));
}

QRect PixelsFromTwips(int left, int top, int width, int height)
{
    const int tppX = TwipsPerPixelX();
    const int tppY = TwipsPerPixelY();
    return QRect(PixelsFromTwips(left, tppX), PixelsFromTwips(top, tppY), PixelsFromTwips(width, tppX),
                 PixelsFromTwips(height, tppY));
}

int SetTopmost(QWidget *window, int mode)
{
    if (mode != 0 && mode != 1)
        return 0;
    QWindow *handle = window->windowHandle();
    if (!handle)
        return 0;
    // The QWindow's flags, not the widget's: changing the widget's flags would
    // recreate the X window and lose its state.
    if (mode == 1) {
        handle->setFlags(handle->flags() | Qt::WindowStaysOnTopHint);
        window->raise();
    } else {
        handle->setFlags(handle->flags() & ~Qt::WindowStaysOnTopHint);
        window->show();
    }
    return 1;
}

QRect LauncherRegion(int widthPx, int heightPx)
{
    return QRect(QPoint(3, heightPx - 46), QPoint(widthPx - 3 - 1, heightPx - 3 - 1));
}

QRect NoteRegion(int widthPx, int heightPx)
{
    return QRect(QPoint(3, 3), QPoint(widthPx - 2 - 1, heightPx - 2 - 1));
}

void ApplyLauncherRegion(QWidget *launcher)
{
    applyShape(launcher, LauncherRegion(launcher->width(), launcher->height()));
}

void ApplyNoteRegion(QWidget *note)
{
    applyShape(note, NoteRegion(note->width(), note->height()));
}

bool KeepOnAScreen(QWidget *window, const QRect &visible)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    const QRect onDesktop = visible.translated(window->pos());
    QScreen *nearest = nullptr;
    int nearestDistance = INT_MAX;
    for (QScreen *screen : screens) {
        const QRect area = screen->geometry();
        if (area.intersects(onDesktop))
            return false;
        const int distance = distanceBetween(area, onDesktop);
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = screen;
        }
    }
    if (!nearest)
        return false;
    const QRect area = nearest->geometry();
    const int x = qBound(area.left(), onDesktop.left(), qMax(area.left(), area.right() + 1 - onDesktop.width()));
    const int y = qBound(area.top(), onDesktop.top(), qMax(area.top(), area.bottom() + 1 - onDesktop.height()));
    window->move(QPoint(x, y) - visible.topLeft());
    return true;
}

int WindowTabStep(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return 0;
    const auto *key = static_cast<const QKeyEvent *>(event);
    if ((key->modifiers() & ~Qt::ShiftModifier) != Qt::NoModifier)
        return 0;
    if (key->key() == Qt::Key_Backtab || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier)))
        return -1;
    return key->key() == Qt::Key_Tab ? 1 : 0;
}

void BringForward(QWidget *window)
{
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

void NameWindow(QWidget *window, const QString &name)
{
    window->setObjectName(name);
    window->setWindowRole(name);
}

void KeepOutOfTaskbar(QWidget *window)
{
    xcb_connection_t *connection = X11::connection();
    if (!connection)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = X11::atom("_NET_WM_STATE");
    const xcb_atom_t atoms[] = {
        X11::atom("_NET_WM_STATE_SKIP_TASKBAR"),
        X11::atom("_NET_WM_STATE_SKIP_PAGER"),
    };
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 2, atoms);
    xcb_flush(connection);
}

void ClearCaptionAndIcon(QWidget *window)
{
    xcb_connection_t *connection = X11::connection();
    if (!connection)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t utf8 = X11::atom("UTF8_STRING");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, X11::atom("_NET_WM_NAME"), utf8, 8, 0, "");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, "");
    xcb_delete_property(connection, id, X11::atom("_NET_WM_ICON"));
    xcb_flush(connection);
}
