// SPDX-License-Identifier: MIT
#include "desktop/UserPlacement.h"

#include "desktop/X11.h"

#include <QAbstractNativeEventFilter>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

// The window manager's word on a place the user made can come a little after
// the drag or the grab that made it.
constexpr int LateNoticeMs = 1000;
// How long the place must stand still after the user's action before it is
// taken: the window manager's last configure follows our last request.
constexpr int SettleMs = 150;
// A grab that moved nothing for this long is taken as over.
constexpr int ForgottenGrabMs = 30000;
// Keys that move or resize a window are one action until they rest this long.
constexpr int KeysRestMs = 1000;
// A step of those keys, and the largest window X11 can make.
constexpr int KeyStepPx = 10;
constexpr int LargestWindowPx = 32767;

// How the user is placing one watched window, kept on the window itself.
class PlacementState : public QObject
{
public:
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

    // Our loop started, or the window manager took the pointer or keyboard.
    void actionStarted()
    {
        // Several actions before the place is taken compare with the first.
        if (!placedByUser && !m_startKnown) {
            m_start = PlaceOnScreen(m_window);
            m_startKnown = true;
        }
        // A grab is new, not forgotten, however long ago the last one moved
        // anything: a move by keys tells nothing until it ends.
        m_lastAct.setRemainingTime(ForgottenGrabMs);
    }

    // A step of the user's move or resize.
    void acted()
    {
        placedByUser = true;
        m_lateNotices.setRemainingTime(LateNoticeMs);
        m_lastAct.setRemainingTime(ForgottenGrabMs);
        m_settle.start();
    }

    void actionEnded()
    {
        m_lateNotices.setRemainingTime(LateNoticeMs);
        m_settle.start();
    }

    // A step of a move or resize by the program's own keys, made by `step`.
    void keyed(const std::function<void()> &step)
    {
        actionStarted();
        keying = true;
        step();
        m_keys.start();
        acted();
    }

    bool userActive() const
    {
        return placing() || !m_lateNotices.hasExpired();
    }

    bool placing() const { return looping || pointerGrabbed || keyboardGrabbed || keying; }

    bool take()
    {
        if (!placedByUser || placing())
            return false;
        placedByUser = false;
        const bool startKnown = std::exchange(m_startKnown, false);
        return !startKnown || PlaceOnScreen(m_window) != m_start;
    }

    void mark()
    {
        placedByUser = true;
        m_startKnown = false;
    }

    std::function<void()> placed;
    bool placedByUser = false;
    bool looping = false;          // our own drag or resize loop runs
    bool pointerGrabbed = false;   // the window manager holds the pointer (a move or resize of its own)
    bool keyboardGrabbed = false;  // it holds the keyboard taken from this window (a move by keys or menu)
    bool keying = false;           // our own keys move or resize it

private:
    explicit PlacementState(QWidget *window) : QObject(window), m_window(window)
    {
        m_settle.setSingleShot(true);
        m_settle.setInterval(SettleMs);
        connect(&m_settle, &QTimer::timeout, this, [this] { settled(); });
        m_keys.setSingleShot(true);
        m_keys.setInterval(KeysRestMs);
        connect(&m_keys, &QTimer::timeout, this, [this] {
            keying = false;
            actionEnded();
        });
    }

    void settled()
    {
        // The end of the window manager's grab is told to whichever window
        // the pointer is over then, often not ours. A move or resize by the
        // mouse holds a button; without one, the grab is over.
        if (pointerGrabbed && !X11::pointerButtonHeld())
            pointerGrabbed = false;
        // A grab whose end was never told is not waited for without end.
        if (placing() && !looping && m_lastAct.hasExpired()) {
            pointerGrabbed = false;
            keyboardGrabbed = false;
        }
        if (!placedByUser) {
            // An action that placed nothing (a menu closed, a switch of
            // windows) leaves no start to compare a later one with.
            if (!placing())
                m_startKnown = false;
            return;
        }
        if (placing())
            m_settle.start();
        else if (placed)
            placed();
    }

    static QHash<const QWidget *, PlacementState *> &states()
    {
        static QHash<const QWidget *, PlacementState *> byWindow;
        return byWindow;
    }

    QWidget *m_window;
    QRect m_start;
    bool m_startKnown = false;
    QDeadlineTimer m_lateNotices;
    QDeadlineTimer m_lastAct;
    QTimer m_settle;
    QTimer m_keys;
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
        loop->finish();
        loop->m_window = window;
        loop->m_kind = kind;
        loop->m_edges = edges;
        loop->m_startPointer = press->globalPosition().toPoint();
        if (PlacementState *state = PlacementState::of(window)) {
            state->actionStarted();
            state->looping = true;
        }
        // From where the window really is: Qt's own idea may be a place the
        // window manager never granted.
        loop->m_startGeometry = PlaceOnScreen(window);
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
            finish();
            return false;
        }
        // A move reaches the window and then each widget it propagates
        // through; following it is idempotent, so any of them will do.
        if (move && watched->isWidgetType()) {
            follow(mouse->globalPosition().toPoint() - m_startPointer);
            if (PlacementState *state = PlacementState::of(m_window))
                state->acted();
        }
        return false;
    }

private:
    using QObject::QObject;

    void finish()
    {
        qApp->removeEventFilter(this);
        if (PlacementState *state = PlacementState::of(m_window); state && state->looping) {
            state->looping = false;
            state->actionEnded();
        }
        m_window = nullptr;
    }

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

// Watches the X events of watched windows for the window manager's grabs and
// for new places, and marks a new place as the user's while the user acts.
// The events are seen here in the order the server sent them, before Qt
// turns them into move and resize events, so a grab and the places made
// under it stay together. The application owns it and deletes it at its end.
class PlacementFilter : public QObject, public QAbstractNativeEventFilter
{
public:
    using QObject::QObject;

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

    static void placeChanged(xcb_window_t window)
    {
        PlacementState *state = stateOf(window);
        if (state && (state->userActive() || X11::pointerButtonHeld()))
            state->acted();
    }

    static void crossed(const xcb_enter_notify_event_t *crossing)
    {
        PlacementState *state = stateOf(crossing->event);
        if (!state)
            return;
        const bool leaving = (crossing->response_type & ~0x80) == XCB_LEAVE_NOTIFY;
        if (leaving && crossing->mode == XCB_NOTIFY_MODE_GRAB) {
            state->actionStarted();
            state->pointerGrabbed = true;
        } else if (state->pointerGrabbed && crossing->mode != XCB_NOTIFY_MODE_GRAB) {
            state->pointerGrabbed = false;
            state->actionEnded();
        }
    }

    static void focusChanged(const xcb_focus_in_event_t *focus)
    {
        PlacementState *state = stateOf(focus->event);
        if (!state || focus->detail == XCB_NOTIFY_DETAIL_POINTER)
            return;
        const bool leaving = (focus->response_type & ~0x80) == XCB_FOCUS_OUT;
        if (leaving && focus->mode == XCB_NOTIFY_MODE_GRAB) {
            state->actionStarted();
            state->keyboardGrabbed = true;
        } else if (state->keyboardGrabbed && (!leaving || focus->mode != XCB_NOTIFY_MODE_GRAB)) {
            // Ungrabbed, or the focus went elsewhere under the grab (a window
            // switcher): no move by keys of this window is going on.
            state->keyboardGrabbed = false;
            state->actionEnded();
        }
    }
};

uint32_t moveResizeDirection(Qt::Edges edges)
{
    const Qt::Edges corners[] = {
        Qt::TopEdge | Qt::LeftEdge, Qt::TopEdge,    Qt::TopEdge | Qt::RightEdge,    Qt::RightEdge,
        Qt::RightEdge | Qt::BottomEdge, Qt::BottomEdge, Qt::BottomEdge | Qt::LeftEdge, Qt::LeftEdge,
    };
    return uint32_t(std::find(std::begin(corners), std::end(corners), edges) - std::begin(corners));
}

// Hands the resize to the window manager with the pointer's place as the X
// server reported it. Qt's own startSystemResize works it out from a cached
// window position that is at times still the origin, and the note then grows
// by its distance from the screen's corner.
bool startWindowManagerResize(QWidget *window, QPoint globalPointer, Qt::Edges edges)
{
    xcb_connection_t *x = X11::connection();
    const xcb_atom_t moveResize = X11::atom("_NET_WM_MOVERESIZE");
    if (!x || !window->windowHandle() || !X11::windowManagerSupports(moveResize))
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
    if (PlacementState *state = PlacementState::of(window)) {
        state->actionStarted();
        state->acted();
    }
    xcb_ungrab_pointer(x, XCB_CURRENT_TIME);
    xcb_send_event(x, 0, X11::root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(x);
    return true;
}

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

bool PlaceByKey(QWidget *window, const QKeyEvent *key, bool resizable)
{
    QPoint step;
    switch (key->key()) {
    case Qt::Key_Left: step = {-KeyStepPx, 0}; break;
    case Qt::Key_Right: step = {KeyStepPx, 0}; break;
    case Qt::Key_Up: step = {0, -KeyStepPx}; break;
    case Qt::Key_Down: step = {0, KeyStepPx}; break;
    default: return false;
    }
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    QRect place = window->geometry();
    if (modifiers == Qt::AltModifier) {
        place.translate(step);
        // What shows of the window stays on some screen.
        const QRect shown = (window->mask().isEmpty() ? window->rect() : window->mask().boundingRect())
                                    .translated(place.topLeft());
        const QList<QScreen *> screens = QGuiApplication::screens();
        if (std::none_of(screens.begin(), screens.end(),
                         [&shown](const QScreen *screen) { return screen->geometry().intersects(shown); }))
            return true;
    } else if (resizable && modifiers == (Qt::ControlModifier | Qt::ShiftModifier)) {
        place.setSize((place.size() + QSize(step.x(), step.y()))
                              .expandedTo(window->minimumSize())
                              .boundedTo(window->maximumSize())
                              .boundedTo(QSize(LargestWindowPx, LargestWindowPx)));
    } else {
        return false;
    }
    if (place == window->geometry())
        return true;
    const auto placeWindow = [window, place] { window->setGeometry(place); };
    if (PlacementState *state = PlacementState::of(window))
        state->keyed(placeWindow);
    else
        placeWindow();
    return true;
}

void WatchUserPlacement(QWidget *window, std::function<void()> placed)
{
    PlacementState::create(window)->placed = std::move(placed);
    static bool filtering = false;
    if (filtering || !X11::connection())
        return;
    filtering = true;
    qApp->installNativeEventFilter(new PlacementFilter(qApp));
}

void MarkUserPlacement(QWidget *window)
{
    PlacementState::create(window)->mark();
}

bool TakeUserPlacement(QWidget *window)
{
    PlacementState *state = PlacementState::of(window);
    return state && state->take();
}

bool UserIsPlacing(QWidget *window)
{
    const PlacementState *state = PlacementState::of(window);
    return state && (state->placing() || state->placedByUser);
}

QRect PlaceOnScreen(QWidget *window)
{
    xcb_connection_t *x = X11::connection();
    if (!x || !window->testAttribute(Qt::WA_WState_Created))
        return window->geometry();
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_translate_coordinates_cookie_t origin = xcb_translate_coordinates(x, id, X11::root(), 0, 0);
    const xcb_get_geometry_cookie_t size = xcb_get_geometry(x, id);
    xcb_translate_coordinates_reply_t *place = xcb_translate_coordinates_reply(x, origin, nullptr);
    xcb_get_geometry_reply_t *extent = xcb_get_geometry_reply(x, size, nullptr);
    QRect result = window->geometry();
    if (place && extent)
        result = QRect(place->dst_x, place->dst_y, extent->width, extent->height);
    free(place);
    free(extent);
    return result;
}
