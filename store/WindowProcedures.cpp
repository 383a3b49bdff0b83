#include "store/WindowProcedures.h"

#include <QAbstractNativeEventFilter>
#include <QDeadlineTimer>
#include <QHash>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>
#include <xcb/xcb.h>

namespace {

constexpr int DefaultTwipsPerPixel = 15;
// The window manager's word on a place the user made can come a little after
// the drag or the grab that made it.
constexpr int LateNoticeMs = 1000;

// The X connection, or null on a platform without one (offscreen tests).
xcb_connection_t *xcbConnection()
{
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

int twipsPerPixel(qreal dotsPerInch)
{
    if (dotsPerInch <= 0)
        return DefaultTwipsPerPixel;
    return qMax(1, qRound(1440.0 / dotsPerInch));
}

// How the user is placing one watched window, kept on the window itself.
class PlacementState : public QObject
{
public:
    // Asked by every note's tick: a lookup, not a search of the children.
    static PlacementState *of(const QWidget *window)
    {
        return window ? states().value(window) : nullptr;
    }

    static PlacementState *create(QWidget *window)
    {
        if (PlacementState *state = of(window))
            return state;
        auto *state = new PlacementState(window);
        state->setObjectName(QStringLiteral("userPlacement"));
        states().insert(window, state);
        return state;
    }

    ~PlacementState() override
    {
        states().remove(m_window);
    }

    void userActed()
    {
        placedByUser = true;
        m_lateNotices.setRemainingTime(LateNoticeMs);
    }

    void grabEnded()
    {
        m_lateNotices.setRemainingTime(LateNoticeMs);
    }

    bool userActive() const
    {
        return pointerGrabbed || keyboardGrabbed || !m_lateNotices.hasExpired();
    }

    bool placedByUser = false;
    bool pointerGrabbed = false;  // the window manager holds the pointer (a move or resize of its own)
    bool keyboardGrabbed = false; // it holds the keyboard taken from this window (a move by keys or menu)

private:
    explicit PlacementState(QWidget *window) : QObject(window), m_window(window) { }

    static QHash<const QWidget *, PlacementState *> &states()
    {
        static QHash<const QWidget *, PlacementState *> byWindow;
        return byWindow;
    }

    const QWidget *m_window;
    QDeadlineTimer m_lateNotices;
};

// Follows the pointer with a left button held, application-wide, until the
// button is released. One loop runs at a time.
class PointerLoop : public QObject
{
public:
    enum class Kind { Move, Resize };

    static void start(QWidget *window, const QMouseEvent *press, Kind kind, Qt::Edges edges = {})
    {
        static PointerLoop *loop = new PointerLoop(qApp);
        loop->m_window = window;
        loop->m_kind = kind;
        loop->m_edges = edges;
        loop->m_startPointer = press->globalPosition().toPoint();
        loop->m_startGeometry = window->geometry();
        qApp->removeEventFilter(loop);
        qApp->installEventFilter(loop);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const bool move = event->type() == QEvent::MouseMove;
        if (!move && event->type() != QEvent::MouseButtonRelease)
            return QObject::eventFilter(watched, event);
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const bool released = move ? !(mouse->buttons() & Qt::LeftButton) : mouse->button() == Qt::LeftButton;
        if (!m_window || released) {
            qApp->removeEventFilter(this);
            return false;
        }
        // A move reaches the window and then each widget it propagates
        // through; following it is idempotent, so any of them will do.
        if (move && watched->isWidgetType()) {
            follow(mouse->globalPosition().toPoint() - m_startPointer);
            if (PlacementState *state = PlacementState::of(m_window))
                state->userActed();
        }
        return false;
    }

private:
    using QObject::QObject;

    void follow(QPoint delta)
    {
        if (m_kind == Kind::Move) {
            m_window->move(m_startGeometry.topLeft() + delta);
            return;
        }
        QRect geometry = m_startGeometry;
        const QSize minimum = m_window->minimumSize();
        if (m_edges & Qt::LeftEdge)
            geometry.setLeft(qMin(geometry.left() + delta.x(), geometry.right() + 1 - minimum.width()));
        if (m_edges & Qt::RightEdge)
            geometry.setRight(qMax(geometry.right() + delta.x(), geometry.left() + minimum.width() - 1));
        if (m_edges & Qt::TopEdge)
            geometry.setTop(qMin(geometry.top() + delta.y(), geometry.bottom() + 1 - minimum.height()));
        if (m_edges & Qt::BottomEdge)
            geometry.setBottom(qMax(geometry.bottom() + delta.y(), geometry.top() + minimum.height() - 1));
        m_window->setGeometry(geometry);
    }

    QPointer<QWidget> m_window;
    Kind m_kind = Kind::Move;
    Qt::Edges m_edges;
    QPoint m_startPointer;
    QRect m_startGeometry;
};

int distanceBetween(const QRect &a, const QRect &b)
{
    const int dx = qMax(0, qMax(a.left() - b.right(), b.left() - a.right()));
    const int dy = qMax(0, qMax(a.top() - b.bottom(), b.top() - a.bottom()));
    return dx + dy;
}

// An atom stands for the life of the connection, so each is asked of the X
// server once rather than in a round trip per window.
xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    static xcb_connection_t *askedOf = nullptr;
    static std::vector<std::pair<QByteArray, xcb_atom_t>> known;
    if (connection != askedOf) {
        known.clear();
        askedOf = connection;
    }
    for (const auto &[knownName, atom] : known) {
        if (knownName == name)
            return atom;
    }
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    free(reply);
    known.emplace_back(QByteArray(name), atom);
    return atom;
}

bool windowManagerSupports(xcb_connection_t *connection, xcb_window_t root, xcb_atom_t wanted)
{
    const xcb_atom_t supported = internAtom(connection, "_NET_SUPPORTED");
    const xcb_get_property_cookie_t cookie =
            xcb_get_property(connection, 0, root, supported, XCB_ATOM_ATOM, 0, 4096);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, cookie, nullptr);
    if (!reply)
        return false;
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
    const int count = xcb_get_property_value_length(reply) / int(sizeof(xcb_atom_t));
    const bool found = std::find(atoms, atoms + count, wanted) != atoms + count;
    free(reply);
    return found;
}

uint32_t moveResizeDirection(Qt::Edges edges)
{
    const Qt::Edges corners[] = {
        Qt::TopEdge | Qt::LeftEdge, Qt::TopEdge,    Qt::TopEdge | Qt::RightEdge,    Qt::RightEdge,
        Qt::RightEdge | Qt::BottomEdge, Qt::BottomEdge, Qt::BottomEdge | Qt::LeftEdge, Qt::LeftEdge,
    };
    return uint32_t(std::find(std::begin(corners), std::end(corners), edges) - std::begin(corners));
}

bool pointerButtonHeld(xcb_connection_t *connection)
{
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return false;
    xcb_query_pointer_reply_t *reply =
            xcb_query_pointer_reply(connection, xcb_query_pointer(connection, screen->root), nullptr);
    if (!reply)
        return false;
    constexpr uint16_t buttons = XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3
            | XCB_BUTTON_MASK_4 | XCB_BUTTON_MASK_5;
    const bool held = reply->mask & buttons;
    free(reply);
    return held;
}

// Watches the X events of watched windows for the window manager's grabs and
// for new places, and marks a new place as the user's while the user acts.
// The events are seen here in the order the server sent them, before Qt
// turns them into move and resize events, so a grab and the places made
// under it stay together. The application owns it and deletes it at its end.
class PlacementFilter : public QObject, public QAbstractNativeEventFilter
{
public:
    PlacementFilter(xcb_connection_t *connection, QObject *application)
        : QObject(application), m_connection(connection)
    {
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        switch (event->response_type & ~0x80) {
        case XCB_CONFIGURE_NOTIFY:
            placeChanged(reinterpret_cast<const xcb_configure_notify_event_t *>(event)->window);
            break;
        case XCB_ENTER_NOTIFY:
        case XCB_LEAVE_NOTIFY:
            crossed(reinterpret_cast<const xcb_enter_notify_event_t *>(event));
            break;
        case XCB_FOCUS_IN:
        case XCB_FOCUS_OUT:
            focusChanged(reinterpret_cast<const xcb_focus_in_event_t *>(event));
            break;
        default:
            break;
        }
        return false;
    }

private:
    static PlacementState *stateOf(xcb_window_t window)
    {
        return PlacementState::of(QWidget::find(WId(window)));
    }

    void placeChanged(xcb_window_t window)
    {
        PlacementState *state = stateOf(window);
        if (state && (state->userActive() || pointerButtonHeld(m_connection)))
            state->placedByUser = true;
    }

    static void crossed(const xcb_enter_notify_event_t *crossing)
    {
        PlacementState *state = stateOf(crossing->event);
        if (!state)
            return;
        const bool leaving = (crossing->response_type & ~0x80) == XCB_LEAVE_NOTIFY;
        if (leaving && crossing->mode == XCB_NOTIFY_MODE_GRAB) {
            state->pointerGrabbed = true;
        } else if (state->pointerGrabbed && crossing->mode != XCB_NOTIFY_MODE_GRAB) {
            state->pointerGrabbed = false;
            state->grabEnded();
        }
    }

    static void focusChanged(const xcb_focus_in_event_t *focus)
    {
        PlacementState *state = stateOf(focus->event);
        if (!state || focus->detail == XCB_NOTIFY_DETAIL_POINTER)
            return;
        const bool leaving = (focus->response_type & ~0x80) == XCB_FOCUS_OUT;
        if (leaving && focus->mode == XCB_NOTIFY_MODE_GRAB) {
            state->keyboardGrabbed = true;
        } else if (state->keyboardGrabbed && (!leaving || focus->mode != XCB_NOTIFY_MODE_GRAB)) {
            // Ungrabbed, or the focus went elsewhere under the grab (a window
            // switcher): no move by keys of this window is going on.
            state->keyboardGrabbed = false;
            state->grabEnded();
        }
    }

    xcb_connection_t *m_connection;
};

// Hands the resize to the window manager with the pointer's place as the X
// server reported it. Qt's own startSystemResize works it out from a cached
// window position that is at times still the origin, and the note then grows
// by its distance from the screen's corner.
bool startWindowManagerResize(QWidget *window, QPoint globalPointer, Qt::Edges edges)
{
    xcb_connection_t *connection = xcbConnection();
    if (!connection || !window->windowHandle())
        return false;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_atom_t moveResize = internAtom(connection, "_NET_WM_MOVERESIZE");
    if (!screen || !windowManagerSupports(connection, screen->root, moveResize))
        return false;

    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.window = static_cast<xcb_window_t>(window->winId());
    message.type = moveResize;
    message.format = 32;
    message.data.data32[0] = uint32_t(globalPointer.x());
    message.data.data32[1] = uint32_t(globalPointer.y());
    message.data.data32[2] = moveResizeDirection(edges);
    message.data.data32[3] = XCB_BUTTON_INDEX_1;
    message.data.data32[4] = 1; // a normal application
    xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
    xcb_send_event(connection, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
    if (PlacementState *state = PlacementState::of(window))
        state->userActed();
    return true;
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
    launcher->setMask(LauncherRegion(launcher->width(), launcher->height()));
    // Without a repaint the shape request waits in Qt's buffer until some later event.
    launcher->update();
}

void ApplyNoteRegion(QWidget *note)
{
    note->setMask(NoteRegion(note->width(), note->height()));
    note->update();
}

void StartWindowDrag(QWidget *window, const QMouseEvent *press)
{
    if (!(press->buttons() & Qt::LeftButton))
        return;
    PointerLoop::start(window, press, PointerLoop::Kind::Move);
}

void StartWindowResize(QWidget *window, const QMouseEvent *press, Qt::Edges edges)
{
    if (!(press->buttons() & Qt::LeftButton) || !edges)
        return;
    if (startWindowManagerResize(window, press->globalPosition().toPoint(), edges))
        return;
    PointerLoop::start(window, press, PointerLoop::Kind::Resize, edges);
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

void WatchUserPlacement(QWidget *window)
{
    PlacementState::create(window);
    static bool filtering = false;
    xcb_connection_t *connection = xcbConnection();
    if (filtering || !connection)
        return;
    filtering = true;
    qApp->installNativeEventFilter(new PlacementFilter(connection, qApp));
}

void MarkUserPlacement(QWidget *window)
{
    PlacementState::create(window)->placedByUser = true;
}

bool TakeUserPlacement(QWidget *window)
{
    PlacementState *state = PlacementState::of(window);
    return state && std::exchange(state->placedByUser, false);
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
    xcb_connection_t *connection = xcbConnection();
    if (!connection)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t atoms[] = {
        internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
        internAtom(connection, "_NET_WM_STATE_SKIP_PAGER"),
    };
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 2, atoms);
    xcb_flush(connection);
}

void ClearCaptionAndIcon(QWidget *window)
{
    xcb_connection_t *connection = xcbConnection();
    if (!connection)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t utf8 = internAtom(connection, "UTF8_STRING");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, internAtom(connection, "_NET_WM_NAME"), utf8, 8, 0, "");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, "");
    xcb_delete_property(connection, id, internAtom(connection, "_NET_WM_ICON"));
    xcb_flush(connection);
}
